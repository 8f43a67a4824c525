// Column widths and row heights: conversions between characters, file widths, pixels and points.
#include "core/host/units.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

// Widths are kept to two decimals, so a product like 6.4 * 8 may land a hair below the pixel.
constexpr double kPixelSlack = 1e-6;

}  // namespace

int MaxDigitWidth(const Font& font) {
  const std::string& n = font.name;
  // Japanese UI fonts have wider digits than the Latin ones at the same size.
  static constexpr std::string_view kWide[] = {"ＭＳ", "MS ",      "メイリオ", "Meiryo", "游",
                                               "Yu ",  "ヒラギノ", "Osaka",    "BIZ"};
  bool wide = false;
  for (std::string_view w : kWide) wide = wide || n.find(w) != std::string::npos;
  const double factor = wide ? 8.0 / 11.0 : 7.0 / 11.0;
  return std::max(1, static_cast<int>(std::lround(font.size * factor)));
}

int ColumnWidthPixels(double chars, int mdw) {
  if (!(chars > 0)) return 0;
  if (chars < 1) return static_cast<int>(std::floor(chars * (mdw + 5) + 0.5 + kPixelSlack));
  return static_cast<int>(std::floor(chars * mdw + 5 + 0.5 + kPixelSlack));
}

double ColumnWidthPoints(double chars, int mdw) { return ColumnWidthPixels(chars, mdw) * 0.75; }

int RowHeightPixels(double points) {
  if (!(points > 0)) return 0;
  return static_cast<int>(std::floor(points * 96.0 / 72.0 + 0.5 + kPixelSlack));
}

double FileWidthToChars(double width, int mdw) {
  if (width <= 0) return 0;
  // One pixel rule for every file width, narrow ones included: the width is a count of digits
  // with their padding, truncated to pixels.
  const double px = std::floor((256 * width + std::floor(128.0 / mdw)) / 256 * mdw);
  if (px < mdw + 5) return std::floor(px / (mdw + 5) * 100 + 0.5) / 100;
  return std::floor((px - 5) / mdw * 100 + 0.5) / 100;
}

double CharsToFileWidth(double chars, int mdw) {
  if (chars <= 0) return 0;
  if (chars < 1) {
    // A narrow column is written as its pixels in digits, as the host writes it; one that has
    // grown to the pixels of one character is written as one character.
    const double px = std::round(chars * (mdw + 5));
    if (px < mdw + 5) return std::floor(px / mdw * 256 + 1e-6) / 256;
    chars = 1;
  }
  return std::floor((chars * mdw + 5) / mdw * 256 + 1e-6) / 256;
}

double DefaultWidthFromBase(int base, int mdw) {
  const double px = std::ceil((base * mdw + 5) / 8.0) * 8;
  return std::floor((px - 5) / mdw * 100 + 0.5) / 100;
}

double ColumnPoints(const Worksheet& sheet, int32_t col) {
  const ColumnInfo* info = sheet.Column(col);
  if (info && info->hidden) return 0;
  return ColumnWidthPoints(sheet.ColumnWidth(col), MaxDigitWidth(sheet.workbook().default_font()));
}

double RowPoints(const Worksheet& sheet, int32_t row) {
  const RowData* data = sheet.cells().FindRow(row);
  if (data && data->hidden) return 0;
  return std::max(0.0, sheet.RowHeight(row));
}

}  // namespace tessarin::host
