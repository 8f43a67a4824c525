// NG_Report: how many questions were marked wrong in each attempt at the test, attempt after
// attempt, for as long as the user asks.
#pragma once

#include <cstdint>

#include "core/workbook/kanji_module.h"

namespace tessarin::reports {

// Runs ReportWrongCount from the first attempt.
void NG_Report(workbook::KanjiModule& module);

// Counts the wrong marks ("X", "Ｘ", any case) of attempt `attempt` (0 = column F ... 9 = O) over
// the question rows of the question sheet, up to the first empty question cell, and shows the
// total. Then, below attempt 10 and with a total above 0, asks whether to go on and, on Yes,
// reports the next attempt the same way (at most ten deep); a total of 0 ends the chain with
// "これで終了します。". Stops after its message when there is no single question sheet. Stores
// the sheet's name in module.QSheetName. Throws the host's HostError.
void ReportWrongCount(workbook::KanjiModule& module, const int32_t& attempt);

}  // namespace tessarin::reports
