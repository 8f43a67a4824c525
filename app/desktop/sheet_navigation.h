// Moving over a sheet's data as Ctrl+arrow does, without widgets.
#pragma once

#include "core/host/geometry.h"
#include "core/host/worksheet.h"

namespace tessarin::desktop {

// Where Ctrl+arrow goes from `from` in the direction (drow, dcol) (one of them -1 or 1, the
// other 0): inside a block of filled cells, to its last filled cell; else to the next filled
// cell; with none ahead, to the sheet's edge (the last row or column going down or right, row
// or column 1 going up or left).
host::CellRef DataEdge(const host::Worksheet& sheet, host::CellRef from, int drow, int dcol);

}  // namespace tessarin::desktop
