// The answer key of a test: each question of a test sheet with its number and its answer from
// the question sheet, page by page, as an answer key printed apart from the sheet needs them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/application.h"

namespace tessarin::marking {

struct KeyQuestion {
  int32_t number = 0;    // the number printed above the question (0 when that cell holds none)
  std::string question;  // the displayed text of the question cell
  std::string answer;    // the displayed answer (column E) of the first question-sheet row with
                         // the same text; "" when no row above the first empty question has it
};

// One entry per test page that holds questions, in page order; within a page the questions in
// the order of their numbers (strip by strip, column T to A), ending at the first empty question
// cell as the answer display does. `rows_per_page` is 8 on the 40-question sheet, 4 on the
// 20-question one. Reads only; throws the host's HostError.
std::vector<std::vector<KeyQuestion>> ReadAnswerKey(const host::Sheet& test,
                                                    const host::Sheet& questions,
                                                    int32_t rows_per_page);

// The same for the active workbook's test sheet `test_sheet` (a test sheet's name), its answers
// from the workbook's one question sheet, whose name goes to `title`. Throws HostError 1004
// when there is no such test sheet, or not exactly one question sheet.
std::vector<std::vector<KeyQuestion>> ReadAnswerKey(host::Application& app,
                                                    std::string_view test_sheet,
                                                    std::string* title);

}  // namespace tessarin::marking
