// Marking and navigation while a test is corrected: ThisQSisNG records a wrong answer,
// ThisQSisHITU a must-appear question, GoJUMP jumps between a test cell and its question row.
// On a test sheet any cell of a question's four-row strip stands for that question, which is
// found in the question sheet by its text (the upper row when two rows hold the same text).
#pragma once

#include <string_view>

#include "core/marking/question_index.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::marking {

inline constexpr std::string_view kSeveralCells = "複数セル選択では実行出来ません。";
inline constexpr std::string_view kNoSuchQuestion = "該当する問題がありません。";
inline constexpr std::string_view kNoTestSheet = "テスト用紙が作成されていません。";

// Each of the three first finds the single question sheet (stopping after its message when
// there is none) and stores its name in module.QSheetName. Each throws the host's HostError,
// with nothing undone; nothing is written before the checks pass.

// Writes "X" into the first empty mark cell (F to O) of the question's row: the selected row on
// the question sheet, or the row found by the text of the selected strip's question cell on a
// test sheet (columns A to T). From a test sheet whose question has all ten cells filled, the
// question sheet is activated at the question's text instead. Refuses a selection of several
// cells ("注意"); a text not in the question sheet is reported under "メッセージ".
// `index`, when given and made of the question sheet (by name) since its column D last changed,
// is used instead of reading the sheet: a run of marks reads it once.
void ThisQSisNG(workbook::KanjiModule& module, const QuestionIndex* index = nullptr);

// As ThisQSisNG, but writes "必出" into column R whatever it held; from a test sheet it then
// activates the question sheet at the question's text.
void ThisQSisHITU(workbook::KanjiModule& module, const QuestionIndex* index = nullptr);

// From the question sheet: selects the selected row's question on the current test sheet
// (when exactly one test sheet exists, that one). From the current test sheet: selects the
// question's text in the question sheet. Sets module.Is40Sheet from the active test sheet, or
// to the only test sheet there is.
void GoJUMP(workbook::KanjiModule& module);

}  // namespace tessarin::marking
