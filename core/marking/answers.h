// Answers on and off the test sheet: InPutAns fills every answer cell of the active test sheet
// from the question sheet so that the printed sheet is its own answer key; ANS_DEL empties them.
#pragma once

#include "core/workbook/kanji_module.h"

namespace tessarin::marking {

// The message both commands show, captioned "テスト用紙選択", when no test sheet is active.
inline constexpr std::string_view kChooseTestSheet =
    "表示させたいテスト用紙を選んでから実行して下さい。";

// Stores the question sheet's name in module.QSheetName, sets module.Is40Sheet from the active
// test sheet, and writes below each question of the test (up to the first empty question cell)
// the answer of the first question-sheet row with the same text: the displayed text in the
// first strip of each page, the stored value in the second. A question not found above the
// first empty column-D cell keeps its answer cell as it was. Selection and active sheet stay.
// Stops after a message when there is no single question sheet or the active sheet is not a
// test sheet. Throws the host's HostError, with nothing undone.
void InPutAns(workbook::KanjiModule& module);

// Sets module.Is40Sheet from the active test sheet, clears the answer rows of every page whose
// first question cell (column T of its first question row) is filled, and selects the sheet
// and cell that were selected before. Stops after a message when the active sheet is not a
// test sheet. Throws the host's HostError, with nothing undone.
void ANS_DEL(workbook::KanjiModule& module);

}  // namespace tessarin::marking
