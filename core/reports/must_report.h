// HITU_Report: how many questions carry the must-appear marker "必出".
#pragma once

#include "core/workbook/kanji_module.h"

namespace tessarin::reports {

// Counts the question rows (up to the first empty question cell) of the question sheet whose
// column R holds exactly "必出" and shows the total under "必出総数". Stops after its message
// when there is no single question sheet. Stores the sheet's name in module.QSheetName.
// Throws the host's HostError.
void HITU_Report(workbook::KanjiModule& module);

}  // namespace tessarin::reports
