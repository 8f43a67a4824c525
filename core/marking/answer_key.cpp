// ReadAnswerKey: the test's questions with their answers, page by page.
#include "core/marking/answer_key.h"

#include <unordered_map>

#include "core/host/host_error.h"
#include "core/marking/test_sheet_cells.h"
#include "core/testgen/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::marking {
namespace {

constexpr int kLastQuestionColumn = 20;  // T

// The first row of every question text, from row 1 to the row above the first empty question.
std::unordered_map<std::string, int32_t> QuestionRows(const host::Sheet& questions) {
  std::unordered_map<std::string, int32_t> rows;
  const int32_t last = questions.worksheet().UsedArea().bottom;
  for (int32_t row = 1; row <= last; ++row) {
    std::string text = testgen::CellText(questions, row, workbook::kQuestionColumn);
    if (text.empty()) break;
    rows.emplace(std::move(text), row);
  }
  return rows;
}

}  // namespace

std::vector<std::vector<KeyQuestion>> ReadAnswerKey(const host::Sheet& test,
                                                    const host::Sheet& questions,
                                                    int32_t rows_per_page) {
  const std::unordered_map<std::string, int32_t> rows = QuestionRows(questions);
  const int32_t last_row = test.worksheet().UsedArea().bottom;
  std::vector<std::vector<KeyQuestion>> pages;
  for (int32_t base = 0; base + 2 <= last_row; base += rows_per_page) {
    std::vector<KeyQuestion> page;
    // A page is made of strips of four rows: number row, question row, answer row, spacing.
    for (int32_t row = base + 2; row < base + 2 + rows_per_page; row += 4) {
      for (int col = kLastQuestionColumn; col >= 1; --col) {
        KeyQuestion q;
        q.question = test.Cells(row, col).Text();
        if (q.question.empty()) {
          if (!page.empty()) pages.push_back(std::move(page));
          return pages;
        }
        const host::CellValue number = test.Cells(row - 1, col).Value();
        if (number.type == host::ValueType::kNumber) q.number = static_cast<int32_t>(number.number);
        if (auto it = rows.find(q.question); it != rows.end())
          q.answer = questions.Cells(it->second, workbook::kAnswerColumn).Text();
        page.push_back(std::move(q));
      }
    }
    pages.push_back(std::move(page));
  }
  return pages;
}

std::vector<std::vector<KeyQuestion>> ReadAnswerKey(host::Application& app,
                                                    std::string_view test_sheet,
                                                    std::string* title) {
  host::Workbook& book = app.ActiveWorkbook();
  if (book.FindSheet(test_sheet) == nullptr || !IsTestSheetName(test_sheet)) {
    throw host::HostError(host::kErrApplicationDefined,
                          "the workbook has no test sheet \"" + std::string(test_sheet) + "\"");
  }
  std::string questions;
  for (int i = 1; i <= app.Sheets().Count(); ++i) {
    const std::string& name = app.Sheets().Item(i).Name();
    if (!workbook::IsQuestionSheetName(name)) continue;
    if (!questions.empty()) {
      throw host::HostError(host::kErrApplicationDefined,
                            "the workbook has several question sheets");
    }
    questions = name;
  }
  if (questions.empty())
    throw host::HostError(host::kErrApplicationDefined, "the workbook has no question sheet");
  *title = questions;
  const int32_t rows = test_sheet == workbook::kTestSheet40 ? 8 : 4;
  return ReadAnswerKey(app.Sheets().Item(test_sheet), app.Sheets().Item(questions), rows);
}

}  // namespace tessarin::marking
