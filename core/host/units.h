// Column widths and row heights: the host's character units, file widths, pixels and points.
//
// The contract every layer relies on (file reader and writer, print layout, the window):
// - A column width is held in characters: how many digits of the workbook's default font fit in
//   the cell. The conversion to pixels depends only on that font's maximum digit width (MDW),
//   whole pixels at 96 dpi, from MaxDigitWidth.
// - A column of w >= 1 characters is w * MDW + 5 pixels wide (two pixels of padding on each side
//   and the gridline), rounded to whole pixels; a narrower one shrinks its padding with it:
//   round(w * (MDW + 5)) pixels. Zero characters (or less) is zero pixels, a hidden column.
// - Pixels are 1/96 inch and points 1/72 inch: a column's width in points is its pixels * 0.75,
//   on screen and on paper alike.
// - Row heights are held in points; on screen a row takes round(points * 96 / 72) pixels, on
//   paper exactly its points.
// - The .xlsx <col width> is characters plus padding in 1/256 of a character, whole pixels being
//   trunc((256 * width + trunc(128 / MDW)) / 256 * MDW) for narrow columns too; reading and
//   writing snap it to whole pixels as the host does, so a width survives a save and a reload
//   exactly, and a narrow one is written as the host writes it (its pixels / MDW).
// All functions are pure and never throw.
#pragma once

#include <cstdint>

#include "core/host/style.h"

namespace tessarin::host {

class Worksheet;

// Maximum digit width of `font` in pixels at 96 dpi; at least 1.
int MaxDigitWidth(const Font& font);

// Pixels of a column `chars` characters wide (see above).
int ColumnWidthPixels(double chars, int max_digit_width);
// Points of a column `chars` characters wide: its pixels * 0.75.
double ColumnWidthPoints(double chars, int max_digit_width);
// Pixels of a row `points` high on screen.
int RowHeightPixels(double points);

// The file's column width (characters plus padding) as characters, and back; both snap to pixels.
double FileWidthToChars(double file_width, int max_digit_width);
double CharsToFileWidth(double chars, int max_digit_width);
// A sheet's default width in characters from the file's base width (<sheetFormatPr
// baseColWidth>): base digits plus padding, rounded up to a multiple of 8 pixels.
double DefaultWidthFromBase(int base_col_width, int max_digit_width);

// The sheet's own measures in points, from its workbook's default font: a hidden column or row
// is 0. `col` and `row` are 1-based.
double ColumnPoints(const Worksheet& sheet, int32_t col);
double RowPoints(const Worksheet& sheet, int32_t row);

}  // namespace tessarin::host
