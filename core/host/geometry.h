// Cell coordinates and rectangular areas of a sheet (1-based rows and columns).
#pragma once

#include <algorithm>
#include <cstdint>

namespace tessarin::host {

inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxColumns = 16384;
// The most characters a cell holds.
inline constexpr int32_t kMaxCellChars = 32767;

struct CellRef {
  int32_t row = 1;
  int32_t col = 1;
  friend bool operator==(const CellRef&, const CellRef&) = default;
};

// An inclusive rectangle: rows top..bottom, columns left..right.
struct Area {
  int32_t top = 1;
  int32_t left = 1;
  int32_t bottom = 1;
  int32_t right = 1;

  static Area Cell(int32_t row, int32_t col) { return {row, col, row, col}; }
  int32_t Rows() const { return bottom - top + 1; }
  int32_t Columns() const { return right - left + 1; }
  int64_t CellCount() const { return int64_t{Rows()} * Columns(); }
  bool Contains(int32_t row, int32_t col) const {
    return row >= top && row <= bottom && col >= left && col <= right;
  }
  bool Intersects(const Area& o) const {
    return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right;
  }
  bool IsWholeRows() const { return left == 1 && right == kMaxColumns; }
  bool IsWholeColumns() const { return top == 1 && bottom == kMaxRows; }
  friend bool operator==(const Area&, const Area&) = default;
};

inline bool IsValidCell(int64_t row, int64_t col) {
  return row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxColumns;
}

}  // namespace tessarin::host
