// NG_Report and ReportWrongCount.
#include "core/reports/mistake_report.h"

#include <string>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::reports {

namespace {

constexpr int32_t kLastAttempt = 9;  // column O

}  // namespace

int32_t CountWrongMarks(const host::Sheet& questions, int32_t attempt) {
  int32_t count = 0;
  // A column filled to the last row ends at the sheet's end, not one row past it.
  for (int32_t row = 1; row <= host::kMaxRows &&
                        !workbook::CellText(questions, row, workbook::kQuestionColumn).empty();
       ++row) {
    if (workbook::IsWrongAnswerMark(
            workbook::CellText(questions, row, workbook::kFirstMarkColumn + attempt))) {
      ++count;
    }
  }
  return count;
}

std::vector<int32_t> WrongMarksByAttempt(const host::Sheet& questions) {
  std::vector<int32_t> totals;
  for (int32_t attempt = 0; attempt <= kLastAttempt; ++attempt)
    totals.push_back(CountWrongMarks(questions, attempt));
  return totals;
}

void NG_Report(workbook::KanjiModule& module) { ReportWrongCount(module, 0); }

void ReportWrongCount(workbook::KanjiModule& module, const int32_t& attempt) {
  const std::string name = workbook::FindQuestionSheet(module);
  if (name.empty()) return;
  module.QSheetName = name;
  const int32_t count = CountWrongMarks(module.App().Sheets().Item(name), attempt);

  forms::Ui& ui = module.Dialogs();
  ui.MsgBox("第 " + std::to_string(attempt + 1) + " 回目の間違い総数は、 " + std::to_string(count) +
            " 問です。 ");
  if (attempt == kLastAttempt) return;
  if (count == 0) {
    ui.MsgBox("これで終了します。", "終了");
    return;
  }
  const forms::MsgBoxResult go_on =
      ui.MsgBox("続けて第 " + std::to_string(attempt + 2) + " 回目の間違い総数を調べますか？",
                "確認", forms::MsgBoxButtons::kYesNo);
  if (go_on == forms::MsgBoxResult::kYes) ReportWrongCount(module, attempt + 1);
}

}  // namespace tessarin::reports
