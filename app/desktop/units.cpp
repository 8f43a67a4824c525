// Row and column sizes through the file layer's digit-width conversion.
#include "app/desktop/units.h"

#include <cmath>

#include "core/host/workbook.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::desktop {

double ColumnPoints(const host::Worksheet& sheet, int32_t col) {
  const host::ColumnInfo* info = sheet.Column(col);
  if (info != nullptr && info->hidden) return 0;
  const double chars = sheet.ColumnWidth(col);
  if (chars <= 0) return 0;
  const int mdw = ooxml::MaxDigitWidth(sheet.workbook().default_font());
  const double pixels = chars >= 1 ? std::round(chars * mdw + 5) : std::round(chars * (mdw + 5));
  return pixels * 0.75;
}

double RowPoints(const host::Worksheet& sheet, int32_t row) {
  const host::RowData* data = sheet.cells().FindRow(row);
  if (data != nullptr && data->hidden) return 0;
  return sheet.RowHeight(row);
}

}  // namespace tessarin::desktop
