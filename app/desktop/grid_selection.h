// GridSelection: the selection of the sheet view as a spreadsheet keeps it, without widgets:
// its areas (several with Ctrl), the active cell, the anchor an extension starts from and the
// cursor that moves while extending, areas of whole rows or columns. The grid turns mouse and
// keys into these calls and hands the result to the host.
#pragma once

#include <cstdint>
#include <vector>

#include "core/host/geometry.h"

namespace tessarin::desktop {

class GridSelection {
 public:
  // What an area spans from its anchor to its cursor: the cells between, or whole rows or
  // columns (a drag over the headings).
  enum class Span { kCells, kRows, kColumns };

  const std::vector<host::Area>& areas() const { return areas_; }
  host::CellRef active() const { return active_; }
  host::CellRef cursor() const { return cursor_; }

  // Takes a selection from the host: `areas` (none: the active cell alone) and the active cell,
  // which becomes anchor and cursor too unless `keep_ends` (an extension in progress).
  void Load(const std::vector<host::Area>& areas, host::CellRef active, bool keep_ends);
  // A new area at `cell`, which becomes active: the only one, or added to the others (Ctrl).
  void Select(host::CellRef cell, Span span, bool add);
  // The last area from the anchor to `cursor`; the active cell stays.
  void ExtendTo(host::CellRef cursor, Span span);
  // The whole sheet, with `active` (the top-left cell in view) active.
  void SelectAll(host::CellRef active);
  // The active area's rows made whole rows (Shift+Space).
  void WholeRows();
  // The cell `drow` rows and `dcol` columns from the active cell (from the cursor when
  // `extend`), kept inside the sheet.
  host::CellRef Step(int drow, int dcol, bool extend) const;

  bool Contains(host::CellRef cell) const;
  bool RowSelected(int32_t row) const;
  bool ColumnSelected(int32_t col) const;
  // More than the active cell alone.
  bool SeveralCells() const;

 private:
  host::Area AreaOf(host::CellRef a, host::CellRef b, Span span) const;

  std::vector<host::Area> areas_{host::Area::Cell(1, 1)};
  host::CellRef active_{1, 1}, anchor_{1, 1}, cursor_{1, 1};
};

}  // namespace tessarin::desktop
