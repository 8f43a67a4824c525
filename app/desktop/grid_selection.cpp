// GridSelection: areas, the active cell, anchor and cursor.
#include "app/desktop/grid_selection.h"

#include <algorithm>

#include "core/host/geometry.h"

namespace tessarin::desktop {

void GridSelection::Load(const std::vector<host::Area>& areas, host::CellRef active,
                         bool keep_ends) {
  areas_ = areas;
  if (areas_.empty()) areas_.push_back(host::Area::Cell(active.row, active.col));
  if (active_ != active || !keep_ends) anchor_ = cursor_ = active;
  active_ = active;
}

host::Area GridSelection::AreaOf(host::CellRef a, host::CellRef b, Span span) const {
  host::Area area{std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row),
                  std::max(a.col, b.col)};
  if (span == Span::kRows) area.left = 1, area.right = host::kMaxColumns;
  if (span == Span::kColumns) area.top = 1, area.bottom = host::kMaxRows;
  return area;
}

void GridSelection::Select(host::CellRef cell, Span span, bool add) {
  anchor_ = cursor_ = active_ = cell;
  const host::Area area = AreaOf(cell, cell, span);
  if (add) {
    areas_.push_back(area);
  } else {
    areas_.assign(1, area);
  }
}

void GridSelection::ExtendTo(host::CellRef cursor, Span span) {
  cursor_ = cursor;
  areas_.back() = AreaOf(anchor_, cursor_, span);
}

void GridSelection::SelectAll(host::CellRef active) {
  areas_.assign(1, host::Area{1, 1, host::kMaxRows, host::kMaxColumns});
  active_ = anchor_ = cursor_ = active;
}

void GridSelection::WholeRows() { areas_.back() = AreaOf(active_, active_, Span::kRows); }

host::CellRef GridSelection::Step(int drow, int dcol, bool extend) const {
  const host::CellRef from = extend ? cursor_ : active_;
  return {std::clamp(from.row + drow, 1, host::kMaxRows),
          std::clamp(from.col + dcol, 1, host::kMaxColumns)};
}

bool GridSelection::Contains(host::CellRef cell) const {
  return std::any_of(areas_.begin(), areas_.end(),
                     [&](const host::Area& a) { return a.Contains(cell.row, cell.col); });
}

bool GridSelection::RowSelected(int32_t row) const {
  return std::any_of(areas_.begin(), areas_.end(),
                     [&](const host::Area& a) { return row >= a.top && row <= a.bottom; });
}

bool GridSelection::ColumnSelected(int32_t col) const {
  return std::any_of(areas_.begin(), areas_.end(),
                     [&](const host::Area& a) { return col >= a.left && col <= a.right; });
}

bool GridSelection::SeveralCells() const {
  return areas_.size() > 1 || areas_.front().CellCount() > 1;
}

}  // namespace tessarin::desktop
