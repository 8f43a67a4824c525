// InPutAns and ANS_DEL.
#include "core/marking/answers.h"

#include <optional>
#include <string>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/marking/question_index.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::marking {

using host::Application;

using testgen::TestSheetLayout;

namespace {

constexpr int kLastQuestionColumn = TestSheetLayout::kLastQuestionColumn;

// Sets Is40Sheet from the active sheet; false after the message when it is no test sheet.
bool TakeActiveTestSheet(workbook::KanjiModule& module) {
  const std::string& name = module.App().ActiveSheet().Name();
  if (name == workbook::kTestSheet40) {
    module.Is40Sheet = true;
  } else if (name == workbook::kTestSheet20) {
    module.Is40Sheet = false;
  } else {
    module.Dialogs().MsgBox(kChooseTestSheet, "テスト用紙選択");
    return false;
  }
  return true;
}

enum class AnswerForm { kDisplayedText, kStoredValue };

// Fills the answer row below question row `row`; false once an empty question cell ends the test.
bool FillAnswerRow(const host::Sheet& test, const host::Sheet& questions,
                   const QuestionIndex& index, int32_t row, AnswerForm form) {
  for (int col = kLastQuestionColumn; col >= 1; --col) {
    const std::string text = test.Cells(row, col).Text();
    if (text.empty()) return false;
    // Only the question list above its first empty cell is searched.
    const std::optional<int32_t> question_row = index.FirstRow(text, index.first_empty_row() - 1);
    if (!question_row) continue;
    const host::Range answer = questions.Cells(*question_row, workbook::kAnswerColumn);
    if (form == AnswerForm::kDisplayedText) {
      test.Cells(row + 1, col).SetText(answer.Text());
    } else {
      test.Cells(row + 1, col).SetValue(answer.Value());
    }
  }
  return true;
}

}  // namespace

void InPutAns(workbook::KanjiModule& module) {
  Application& app = module.App();
  app.SetScreenUpdating(false);
  const std::string question_sheet = workbook::FindQuestionSheet(module);
  if (question_sheet.empty()) return;
  module.QSheetName = question_sheet;
  if (!TakeActiveTestSheet(module)) return;

  const TestSheetLayout& layout = testgen::CurrentLayout(module);
  const host::Sheet test = app.Sheets().Item(layout.sheet_name);
  const host::Sheet questions = app.Sheets().Item(question_sheet);
  const QuestionIndex index(questions);
  const int32_t height = layout.rows_per_page;
  // The page count divides by 8 on both sheets; the first empty question cell ends the loop
  // long before the 20-question sheet would run short of pages.
  const int64_t pages = app.ActiveSheet().Rows().Count() / 8;
  for (int64_t page = 1; page <= pages; ++page) {
    const int32_t base = static_cast<int32_t>((page - 1) * height);
    if (!FillAnswerRow(test, questions, index, base + 2, AnswerForm::kDisplayedText)) return;
    if (!FillAnswerRow(test, questions, index, base + 6, AnswerForm::kStoredValue)) return;
  }
}

void ANS_DEL(workbook::KanjiModule& module) {
  Application& app = module.App();
  app.SetScreenUpdating(false);
  const std::string start_sheet = app.ActiveSheet().Name();
  const host::Range selection = app.Selection();
  const int32_t start_row = selection.Row(), start_col = selection.Column();
  if (!TakeActiveTestSheet(module)) return;

  const TestSheetLayout& layout = testgen::CurrentLayout(module);
  app.Sheets().Item(layout.sheet_name).Select();
  const int32_t height = layout.rows_per_page;
  for (int32_t base = 0;; base += height) {
    if (workbook::CellText(app.ActiveSheet(), base + 2, kLastQuestionColumn).empty()) {
      app.Sheets().Item(start_sheet).Select();
      app.Cells(start_row, start_col).Select();
      return;
    }
    for (int32_t row : {base + 3, base + 7}) {
      app.Range("A" + std::to_string(row) + ":T" + std::to_string(row)).Select();
      app.Selection().ClearContents();
    }
  }
}

}  // namespace tessarin::marking
