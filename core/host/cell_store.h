// CellStore: the sparse cells of one sheet, rows in fixed-size blocks, cells sorted by column.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/host/cell.h"
#include "core/host/geometry.h"

namespace tessarin::host {

inline constexpr double kDefaultRowHeight = 13.5;  // points, for ＭＳ Ｐゴシック 11

struct RowData {
  std::vector<Cell> cells;  // sorted by col
  float height = -1;        // points; negative: the sheet's default height
  StyleId style = kDefaultStyle;
  bool has_style = false;  // a whole-row format
  bool hidden = false;
  FileExtrasRef file_extras;  // other row attributes from a file (outline level, ...)
  bool Empty() const {
    return cells.empty() && height < 0 && !has_style && !hidden && !file_extras;
  }
};

// Rows are kept in blocks of 1024 that are made on first use, so a sheet of 1,048,576 rows costs
// nothing until it is written, and access by row number is constant time.
class CellStore {
 public:
  static constexpr int32_t kBlockRows = 1024;

  const RowData* FindRow(int32_t row) const { return const_cast<CellStore*>(this)->FindRow(row); }
  RowData* FindRow(int32_t row) {
    const size_t b = static_cast<size_t>(row - 1) / kBlockRows;
    if (row < 1 || b >= blocks_.size() || !blocks_[b]) return nullptr;
    return &(*blocks_[b])[static_cast<size_t>(row - 1) % kBlockRows];
  }
  RowData& ObtainRow(int32_t row) {
    const size_t b = static_cast<size_t>(row - 1) / kBlockRows;
    if (b >= blocks_.size() || !blocks_[b]) MakeBlock(b);
    return (*blocks_[b])[static_cast<size_t>(row - 1) % kBlockRows];
  }

  const Cell* Find(int32_t row, int32_t col) const;
  Cell* Find(int32_t row, int32_t col);
  // Returns the cell, inserting an empty one with style `style` when missing.
  Cell& Obtain(int32_t row, int32_t col, StyleId style);
  // As Obtain, for `rd` = the row `row` that the caller already holds.
  Cell& ObtainInRow(RowData& rd, int32_t row, int32_t col, StyleId style);
  void Erase(int32_t row, int32_t col);

  // Highest row that holds data or row properties (0 when none).
  int32_t MaxRow() const;
  // Calls f(row, RowData&) for every existing row in [top, bottom], ascending.
  template <typename F>
  void ForEachRow(int32_t top, int32_t bottom, F&& f);
  template <typename F>
  void ForEachRow(int32_t top, int32_t bottom, F&& f) const;
  // Calls f(row, Cell&) for every stored cell inside `area`, row by row, columns ascending.
  template <typename F>
  void ForEachCell(const Area& area, F&& f);
  template <typename F>
  void ForEachCell(const Area& area, F&& f) const;

  size_t CellCount() const;
  size_t MemoryBytes() const;

 private:
  using Block = std::array<RowData, kBlockRows>;
  // Makes room for one more cell in a full row.
  void GrowRow(int32_t row, RowData& rd);
  [[gnu::cold]] void MakeBlock(size_t block);
  std::vector<std::unique_ptr<Block>> blocks_;
};

// Finds the first cell with col >= `col` in a sorted row.
inline std::vector<Cell>::iterator LowerBoundCol(std::vector<Cell>& cells, int32_t col) {
  auto it = cells.begin(), end = cells.end();
  size_t n = cells.size();
  while (n > 0) {
    size_t half = n / 2;
    if (it[half].col < col) {
      it += half + 1;
      n -= half + 1;
    } else {
      n = half;
    }
  }
  (void)end;
  return it;
}

// The cell of column `col` in the row `rd`, or null.
inline const Cell* FindInRow(const RowData& rd, int32_t col) {
  const std::vector<Cell>& cells = rd.cells;
  if (cells.empty()) return nullptr;
  // Appends and reads in column order hit the last cell; check it before searching.
  if (cells.back().col == col) return &cells.back();
  // A row filled from its first column on holds the cell at its offset from there.
  const size_t offset = static_cast<size_t>(col) - static_cast<size_t>(cells.front().col);
  if (offset < cells.size() && cells[offset].col == col) return &cells[offset];
  const auto it = std::lower_bound(cells.begin(), cells.end(), col,
                                   [](const Cell& c, int32_t wanted) { return c.col < wanted; });
  return it != cells.end() && it->col == col ? &*it : nullptr;
}

template <typename F>
void CellStore::ForEachRow(int32_t top, int32_t bottom, F&& f) {
  if (top < 1) top = 1;
  const int32_t last_block = (bottom - 1) / kBlockRows;
  for (int32_t b = (top - 1) / kBlockRows;
       b <= last_block && b < static_cast<int32_t>(blocks_.size()); ++b) {
    if (!blocks_[b]) continue;
    const int32_t first_row = b * kBlockRows + 1;
    const int32_t lo = std::max(top, first_row), hi = std::min(bottom, first_row + kBlockRows - 1);
    for (int32_t r = lo; r <= hi; ++r) {
      RowData& rd = (*blocks_[b])[r - first_row];
      if (!rd.Empty()) f(r, rd);
    }
  }
}

template <typename F>
void CellStore::ForEachRow(int32_t top, int32_t bottom, F&& f) const {
  const_cast<CellStore*>(this)->ForEachRow(
      top, bottom, [&](int32_t r, RowData& rd) { f(r, static_cast<const RowData&>(rd)); });
}

template <typename F>
void CellStore::ForEachCell(const Area& area, F&& f) {
  ForEachRow(area.top, area.bottom, [&](int32_t r, RowData& rd) {
    for (auto it = LowerBoundCol(rd.cells, area.left);
         it != rd.cells.end() && it->col <= area.right; ++it) {
      f(r, *it);
    }
  });
}

template <typename F>
void CellStore::ForEachCell(const Area& area, F&& f) const {
  const_cast<CellStore*>(this)->ForEachCell(
      area, [&](int32_t r, Cell& c) { f(r, static_cast<const Cell&>(c)); });
}

}  // namespace tessarin::host
