// QuestionIndex: one pass over column D.
#include "core/marking/question_index.h"

#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::marking {

QuestionIndex::QuestionIndex(const host::Sheet& sheet) : sheet_name_(sheet.Name()) {
  const int32_t last_row = sheet.worksheet().UsedArea().bottom;
  first_row_of_.reserve(static_cast<size_t>(std::max(last_row, 0)));
  bool list_ended = false;
  for (int32_t row = 1; row <= last_row; ++row) {
    std::string text = workbook::CellText(sheet, row, workbook::kQuestionColumn);
    if (text.empty()) {
      if (!list_ended) first_empty_row_ = row;
      list_ended = true;
      continue;
    }
    // The first row wins: the upper of two equal questions is the one every lookup finds.
    first_row_of_.try_emplace(std::move(text), row);
  }
  if (!list_ended) first_empty_row_ = std::max(last_row, 0) + 1;
}

std::optional<int32_t> QuestionIndex::FirstRow(std::string_view text, int32_t last_row) const {
  if (text.empty()) return std::nullopt;
  const auto it = first_row_of_.find(text);
  if (it == first_row_of_.end() || it->second > last_row) return std::nullopt;
  return it->second;
}

}  // namespace tessarin::marking
