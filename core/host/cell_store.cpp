// CellStore and cell error texts.
#include "core/host/cell_store.h"

#include <algorithm>

namespace tessarin::host {

std::string_view CellErrorText(CellError e) {
  switch (e) {
    case CellError::kNull:
      return "#NULL!";
    case CellError::kDiv0:
      return "#DIV/0!";
    case CellError::kValue:
      return "#VALUE!";
    case CellError::kRef:
      return "#REF!";
    case CellError::kName:
      return "#NAME?";
    case CellError::kNum:
      return "#NUM!";
    case CellError::kNA:
      return "#N/A";
    case CellError::kGettingData:
      return "#GETTING_DATA";
  }
  return "#N/A";
}

std::optional<CellError> ParseCellError(std::string_view text) {
  for (int i = 1; i <= 8; ++i) {
    auto e = static_cast<CellError>(i);
    if (CellErrorText(e) == text) return e;
  }
  return std::nullopt;
}

void CellStore::MakeBlock(size_t block) {
  if (block >= blocks_.size()) blocks_.resize(block + 1);
  if (!blocks_[block]) blocks_[block] = std::make_unique<Block>();
}

const Cell* CellStore::Find(int32_t row, int32_t col) const {
  return const_cast<CellStore*>(this)->Find(row, col);
}

Cell* CellStore::Find(int32_t row, int32_t col) {
  const RowData* rd = FindRow(row);
  return rd ? const_cast<Cell*>(FindInRow(*rd, col)) : nullptr;
}

void CellStore::GrowRow(int32_t row, RowData& rd) {
  // Rows of a sheet tend to have the same shape: size a new row like the row above it, so a
  // sheet typed row by row allocates each row once and wastes no capacity.
  size_t want = rd.cells.size() + rd.cells.size() / 2 + 2;
  if (rd.cells.empty() && row > 1) {
    if (const RowData* above = FindRow(row - 1); above && above->cells.size() > 1) {
      want = above->cells.size();
    }
  }
  rd.cells.reserve(want);
}

Cell& CellStore::Obtain(int32_t row, int32_t col, StyleId style) {
  return ObtainInRow(ObtainRow(row), row, col, style);
}

Cell& CellStore::ObtainInRow(RowData& rd, int32_t row, int32_t col, StyleId style) {
  if (rd.cells.size() == rd.cells.capacity()) GrowRow(row, rd);
  if (rd.cells.empty() || rd.cells.back().col < col) {
    Cell& c = rd.cells.emplace_back();
    c.col = static_cast<uint16_t>(col);
    c.style = style;
    return c;
  }
  auto it = LowerBoundCol(rd.cells, col);
  if (it != rd.cells.end() && it->col == col) return *it;
  Cell c;
  c.col = static_cast<uint16_t>(col);
  c.style = style;
  return *rd.cells.insert(it, c);
}

void CellStore::Erase(int32_t row, int32_t col) {
  RowData* rd = FindRow(row);
  if (!rd) return;
  auto it = LowerBoundCol(rd->cells, col);
  if (it != rd->cells.end() && it->col == col) rd->cells.erase(it);
}

int32_t CellStore::MaxRow() const {
  for (int32_t b = static_cast<int32_t>(blocks_.size()) - 1; b >= 0; --b) {
    if (!blocks_[b]) continue;
    for (int32_t i = kBlockRows - 1; i >= 0; --i) {
      if (!(*blocks_[b])[i].Empty()) return b * kBlockRows + i + 1;
    }
  }
  return 0;
}

size_t CellStore::CellCount() const {
  size_t n = 0;
  for (const auto& b : blocks_) {
    if (!b) continue;
    for (const RowData& rd : *b) n += rd.cells.size();
  }
  return n;
}

size_t CellStore::MemoryBytes() const {
  size_t n = blocks_.capacity() * sizeof(void*);
  for (const auto& b : blocks_) {
    if (!b) continue;
    n += sizeof(Block);
    for (const RowData& rd : *b) n += rd.cells.capacity() * sizeof(Cell);
  }
  return n;
}

}  // namespace tessarin::host
