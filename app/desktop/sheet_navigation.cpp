// DataEdge: Ctrl+arrow over filled and empty cells.
#include "app/desktop/sheet_navigation.h"

#include <algorithm>

namespace tessarin::desktop {
namespace {

bool IsEmptyCell(const host::Worksheet& sheet, int32_t row, int32_t col) {
  const host::Cell* cell = sheet.cells().Find(row, col);
  return cell == nullptr || cell->type == host::ValueType::kEmpty;
}

}  // namespace

host::CellRef DataEdge(const host::Worksheet& sheet, host::CellRef from, int drow, int dcol) {
  // Past the used area nothing is filled: the walk stops there instead of at the sheet's end.
  const host::Area used = sheet.UsedArea();
  const int32_t last_row = drow > 0 ? std::max(used.bottom, from.row) : 1;
  const int32_t last_col = dcol > 0 ? std::max(used.right, from.col) : 1;
  auto step = [&](host::CellRef c) { return host::CellRef{c.row + drow, c.col + dcol}; };
  auto inside = [&](host::CellRef c) {
    return c.row >= 1 && c.col >= 1 && (drow <= 0 || c.row <= last_row) &&
           (dcol <= 0 || c.col <= last_col);
  };
  host::CellRef at = from, next = step(from);
  if (!inside(next)) {
    return drow > 0   ? host::CellRef{host::kMaxRows, from.col}
           : dcol > 0 ? host::CellRef{from.row, host::kMaxColumns}
                      : at;
  }
  if (!IsEmptyCell(sheet, at.row, at.col) && !IsEmptyCell(sheet, next.row, next.col)) {
    // To the last filled cell of this block.
    while (inside(next) && !IsEmptyCell(sheet, next.row, next.col)) at = next, next = step(next);
    return at;
  }
  // To the next filled cell, or the edge of the sheet when there is none.
  at = next;
  while (inside(at) && IsEmptyCell(sheet, at.row, at.col)) at = step(at);
  if (inside(at)) return at;
  if (drow > 0) return {host::kMaxRows, from.col};
  if (dcol > 0) return {from.row, host::kMaxColumns};
  return {std::max(1, at.row - drow), std::max(1, at.col - dcol)};
}

}  // namespace tessarin::desktop
