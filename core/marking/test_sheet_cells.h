// How the marking commands read the test sheets and find a question in the question sheet.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/host/application.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::marking {

// The current test sheet: "テスト用紙 【40】" when module.Is40Sheet, else "テスト用紙 【20】".
std::string_view CurrentTestSheet(const workbook::KanjiModule& module);
// 8 on the 40-question sheet, 4 on the 20-question sheet.
int32_t RowsPerPage(const workbook::KanjiModule& module);
// True for the two test sheet names (exact).
bool IsTestSheetName(std::string_view name);

// The question row of the four-row strip holding `row`: rows 1-4 give 2, rows 5-8 give 6.
inline int32_t QuestionRowOf(int32_t row) { return 4 * ((row - 1) / 4) + 2; }

}  // namespace tessarin::marking
