// ThisQSisNG, ThisQSisHITU and GoJUMP.
#include "core/marking/marking.h"

#include <optional>
#include <string>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::marking {

using host::Application;
using testgen::TestSheetLayout;
using workbook::KanjiModule;

namespace {

constexpr int kLastQuestionColumn = TestSheetLayout::kLastQuestionColumn;
constexpr std::string_view kWrongMark = "X";

// What every command starts with: the question sheet and the selection's top-left cell.
struct Start {
  std::string question_sheet;
  int32_t row = 0;
  int32_t col = 0;
};

std::optional<Start> CommonStart(KanjiModule& module) {
  std::string name = workbook::FindQuestionSheet(module);
  if (name.empty()) return std::nullopt;
  module.QSheetName = name;
  const host::Range selection = module.App().Selection();
  return Start{std::move(name), selection.Row(), selection.Column()};
}

bool RefuseSeveralCells(KanjiModule& module) {
  if (module.App().Selection().CellsCount() <= 1) return false;
  module.Dialogs().MsgBox(kSeveralCells, "注意");
  return true;
}

// Writes "X" into the first empty mark cell of `row`; false when all ten are filled.
bool AddWrongMark(const host::Sheet& questions, int32_t row) {
  for (int col = workbook::kFirstMarkColumn; col <= workbook::kLastMarkColumn; ++col) {
    if (workbook::CellText(questions, row, col).empty()) {
      questions.Cells(row, col).SetText(kWrongMark);
      return true;
    }
  }
  return false;
}

void ShowQuestion(Application& app, const std::string& question_sheet, int32_t row) {
  app.Sheets().Item(question_sheet).Activate();
  app.Cells(row, workbook::kQuestionColumn).Select();
}

// The question-sheet row of the question in the selected strip of the active test sheet.
// nullopt without a message for an empty question cell; nullopt after `caption`'s message when
// the text is not in the question sheet.
// `index`, when it is of the question sheet, saves reading that sheet again.
std::optional<int32_t> QuestionOfTestCell(KanjiModule& module, const Start& start,
                                          std::string_view caption, const QuestionIndex* index) {
  Application& app = module.App();
  const host::Sheet active = app.ActiveSheet();
  const std::string text =
      workbook::CellText(active, TestSheetLayout::QuestionRowOf(start.row), start.col);
  if (text.empty()) return std::nullopt;
  const int32_t last_row = static_cast<int32_t>(active.Rows().Count() - 1);
  std::optional<QuestionIndex> own;
  if (index == nullptr || index->sheet_name() != start.question_sheet) {
    index = &own.emplace(app.Sheets().Item(start.question_sheet));
  }
  std::optional<int32_t> row = index->FirstRow(text, last_row);
  if (!row) module.Dialogs().MsgBox(kNoSuchQuestion, caption);
  return row;
}

enum class Mark { kWrong, kMustAppear };

void MarkQuestion(KanjiModule& module, Mark mark, const QuestionIndex* index) {
  const std::optional<Start> start = CommonStart(module);
  if (!start || RefuseSeveralCells(module)) return;
  Application& app = module.App();
  const std::string active = app.ActiveSheet().Name();
  const host::Sheet questions = app.Sheets().Item(start->question_sheet);

  if (active == start->question_sheet) {
    if (mark == Mark::kWrong) {
      AddWrongMark(questions, start->row);
    } else {
      questions.Cells(start->row, workbook::kMustAppearColumn).SetText(workbook::kMustAppearMarker);
    }
    return;
  }
  if (testgen::LayoutOfSheet(active) == nullptr || start->col > kLastQuestionColumn) return;

  const std::optional<int32_t> row = QuestionOfTestCell(module, *start, "メッセージ", index);
  if (!row) return;
  if (mark == Mark::kWrong) {
    // With all ten cells filled the user is shown the question instead.
    if (!AddWrongMark(questions, *row)) ShowQuestion(app, start->question_sheet, *row);
    return;
  }
  questions.Cells(*row, workbook::kMustAppearColumn).SetText(workbook::kMustAppearMarker);
  ShowQuestion(app, start->question_sheet, *row);
}

// Looks for `text` on test sheet `test`, question row by question row from T2 leftwards; the
// first empty question cell ends the test. Selects the cell found, else shows the message.
void JumpToTestCell(KanjiModule& module, const std::string& test, const std::string& text) {
  Application& app = module.App();
  const host::Sheet sheet = app.Sheets().Item(test);
  const int64_t row_count = app.ActiveSheet().Rows().Count();
  for (int32_t row = TestSheetLayout::QuestionCell(1).row;; row += TestSheetLayout::kStripRows) {
    for (int col = kLastQuestionColumn; col >= 1; --col) {
      const std::string cell = workbook::CellText(sheet, row, col);
      if (cell == text) {
        sheet.Activate();
        app.Cells(row, col).Select();
        return;
      }
      if (cell.empty()) {
        module.Dialogs().MsgBox(kNoSuchQuestion, test);
        return;
      }
    }
    if (row + TestSheetLayout::kStripRows >= row_count) {
      module.Dialogs().MsgBox(kNoSuchQuestion, test);
      return;
    }
  }
}

}  // namespace

void ThisQSisNG(KanjiModule& module, const QuestionIndex* index) {
  MarkQuestion(module, Mark::kWrong, index);
}

void ThisQSisHITU(KanjiModule& module, const QuestionIndex* index) {
  MarkQuestion(module, Mark::kMustAppear, index);
}

void GoJUMP(KanjiModule& module) {
  const std::optional<Start> start = CommonStart(module);
  if (!start) return;
  Application& app = module.App();
  const std::string active = app.ActiveSheet().Name();
  if (active == workbook::kTestSheet40) {
    module.Is40Sheet = true;
  } else if (active == workbook::kTestSheet20) {
    module.Is40Sheet = false;
  }
  const bool has20 = testgen::SheetExists(app.Sheets(), workbook::kTestSheet20);
  const bool has40 = testgen::SheetExists(app.Sheets(), workbook::kTestSheet40);
  if (has20 != has40) {
    module.Is40Sheet = has40;
  } else if (!has20 && active == start->question_sheet) {
    module.Dialogs().MsgBox(kNoTestSheet, "エラー");
    return;
  }
  const std::string test(testgen::CurrentLayout(module).sheet_name);
  if (RefuseSeveralCells(module)) return;

  if (active != test) {
    if (active != start->question_sheet) return;
    const std::string text =
        workbook::CellText(app.ActiveSheet(), start->row, workbook::kQuestionColumn);
    if (text.empty()) return;
    JumpToTestCell(module, test, text);
    return;
  }
  if (start->col > kLastQuestionColumn) return;
  const std::optional<int32_t> row = QuestionOfTestCell(module, *start, test, nullptr);
  if (row) ShowQuestion(app, start->question_sheet, *row);
}

}  // namespace tessarin::marking
