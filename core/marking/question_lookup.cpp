// Looking questions up by text.
#include "core/marking/question_lookup.h"

#include <algorithm>

#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::marking {

std::optional<int32_t> FindQuestionRow(const host::Sheet& question_sheet, std::string_view text,
                                       int32_t last_row) {
  // Rows below the last stored one are empty and cannot equal a non-empty text, so the scan
  // stops there instead of walking a million empty rows.
  last_row = std::min(last_row, question_sheet.worksheet().UsedArea().bottom);
  for (int32_t row = 1; row <= last_row; ++row) {
    if (workbook::CellText(question_sheet, row, workbook::kQuestionColumn) == text) return row;
  }
  return std::nullopt;
}

}  // namespace tessarin::marking
