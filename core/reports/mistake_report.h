// NG_Report: how many questions were marked wrong in each attempt at the test, attempt after
// attempt, for as long as the user asks.
#pragma once

#include <cstdint>
#include <vector>

#include "core/workbook/kanji_module.h"

namespace tessarin::host {
class Sheet;
}  // namespace tessarin::host

namespace tessarin::reports {

// The wrong marks of attempt `attempt` (0 = column F ... 9 = O) on the question rows of
// `questions`: rows 1 downwards up to the first empty question cell. Throws the host's HostError.
int32_t CountWrongMarks(const host::Sheet& questions, int32_t attempt);
// The totals of attempts 1 to 10 as CountWrongMarks counts them (ten entries).
std::vector<int32_t> WrongMarksByAttempt(const host::Sheet& questions);

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
