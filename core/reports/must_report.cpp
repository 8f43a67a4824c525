// HITU_Report.
#include "core/reports/must_report.h"

#include <string>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::reports {

void HITU_Report(workbook::KanjiModule& module) {
  const std::string name = workbook::FindQuestionSheet(module);
  if (name.empty()) return;
  module.QSheetName = name;
  host::Application& app = module.App();
  const int64_t rows = app.ActiveSheet().Rows().Count();
  const host::Sheet questions = app.Sheets().Item(name);
  int32_t count = 0;
  for (int64_t row = 1; row <= rows; ++row) {
    if (workbook::CellText(questions, row, workbook::kQuestionColumn).empty()) break;
    if (workbook::CellText(questions, row, workbook::kMustAppearColumn) ==
        workbook::kMustAppearMarker)
      ++count;
  }
  module.Dialogs().MsgBox("必出に設定している問題数は、" + std::to_string(count) + " 題です。",
                          "必出総数");
}

}  // namespace tessarin::reports
