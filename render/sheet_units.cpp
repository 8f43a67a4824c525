// Column and row sizes in points through the file layer's pixel rules.
#include "render/sheet_units.h"

#include <cmath>

#include "core/host/workbook.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::render {
namespace {

int DigitWidthPixels(const host::Worksheet& sheet) {
  return ooxml::MaxDigitWidth(sheet.styles().Get(host::kDefaultStyle).font);
}

}  // namespace

double ColumnWidthPoints(const host::Worksheet& sheet, int32_t col) {
  if (const host::ColumnInfo* info = sheet.Column(col); info && info->hidden) return 0;
  const double chars = sheet.ColumnWidth(col);
  if (chars <= 0) return 0;
  // The file width counts the cell padding; whole pixels of it are what the host draws.
  const int mdw = DigitWidthPixels(sheet);
  const double pixels = std::floor(ooxml::CharsToFileWidth(chars, mdw) * mdw + 1e-6);
  return pixels * kPointsPerPixel;
}

double RowHeightPoints(const host::Worksheet& sheet, int32_t row) {
  return std::max(0.0, sheet.RowHeight(row));
}

double IndentPoints(const host::Worksheet& sheet) { return 3 * DigitWidthPixels(sheet) * kPointsPerPixel; }

}  // namespace tessarin::render
