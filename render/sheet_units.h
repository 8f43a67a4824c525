// Sizes of a sheet's rows and columns in points: the one place render/ converts column widths.
#pragma once

#include <cstdint>

#include "core/host/worksheet.h"

namespace tessarin::render {

// Screen pixels are 1/96 inch; the host snaps column widths to whole pixels.
inline constexpr double kPointsPerPixel = 0.75;

// Width of a column in points: its width in characters of the default font's digit width,
// snapped to pixels as the host shows it, padding included. Hidden columns are 0 wide.
double ColumnWidthPoints(const host::Worksheet& sheet, int32_t col);
// Height of a row in points (0 for a hidden row).
double RowHeightPoints(const host::Worksheet& sheet, int32_t row);
// The width of one indent level in points (three digits of the default font).
double IndentPoints(const host::Worksheet& sheet);

}  // namespace tessarin::render
