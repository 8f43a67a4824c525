// Sizes of a sheet's rows and columns in points, the one place the window converts host units.
#pragma once

#include <cstdint>

#include "core/host/worksheet.h"

namespace tessarin::desktop {

// Width of column `col` in points (0 when hidden), as the host shows it: characters of the
// default font's digit width, snapped to whole pixels with the cell padding.
double ColumnPoints(const host::Worksheet& sheet, int32_t col);
// Height of row `row` in points (0 when hidden).
double RowPoints(const host::Worksheet& sheet, int32_t row);

}  // namespace tessarin::desktop
