// Question selection and numbering.
#include "core/testgen/selection.h"

#include <algorithm>
#include <optional>

#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/runtime.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::testgen {

using host::Application;
using host::HostError;
using workbook::KanjiModule;

namespace {

// RateRow for the row `cells` has been moved to.
RowRating RateCells(workbook::RowReader& cells, const RatingOptions& options) {
  // Q is read before R, so an already-set must-appear row is left out under ExcludeAsked.
  const std::optional<double> times = cells.Number(workbook::kTimesSetColumn);
  const int32_t t = times ? host::ToLong(*times) : 0;
  const bool must_appear = cells.Text(workbook::kMustAppearColumn) == workbook::kMustAppearMarker;
  if (must_appear && !options.consider_must_appear)
    return {kExcludedWeight, LeftOutBy::kMustAppearOff};
  if (options.exclude_asked && t > 0) return {kExcludedWeight, LeftOutBy::kAlreadySet};
  int32_t w = must_appear ? kMustAppearWeight : 0;
  // The marks run from F rightwards and end at the first empty cell or after O.
  int c = workbook::kFirstMarkColumn;
  std::string_view m = cells.Text(c);
  while (!m.empty() && c != workbook::kRemarkColumn) {
    if (workbook::IsExclusionMarker(m)) return {kExcludedWeight, LeftOutBy::kExclusionMark};
    if (options.ignore_wrong_count && w == 0) break;
    if (workbook::IsWrongAnswerMark(m)) w += kWrongAnswerWeight;
    ++c;
    m = c != workbook::kRemarkColumn ? cells.Text(c) : std::string_view();
  }
  return {w, LeftOutBy::kNothing};
}

}  // namespace

RowRating RateRow(const host::Sheet& sheet, int32_t row, const RatingOptions& options) {
  workbook::RowReader cells(sheet);
  cells.Seek(row);
  return RateCells(cells, options);
}

void RateQuestions(KanjiModule& module) {
  host::Sheet sheet = module.App().Sheets().Item(module.QSheetName);
  const int64_t last_row = sheet.Rows().Count();
  const RatingOptions options{module.ConsiderMustAppear, module.ExcludeAsked,
                              module.IgnoreWrongCount};
  workbook::RowReader cells(sheet);
  std::vector<int32_t> weights{0};
  int32_t i = 1;
  // The list ends above the first question whose value reads as no text (CellText, not the
  // displayed text: a value hidden by its format still counts).
  for (; i <= last_row; ++i) {
    cells.Seek(i);
    if (cells.NoText(workbook::kQuestionColumn)) break;
    weights.push_back(RateCells(cells, options).weight);
  }
  if (weights.size() < 2) weights.push_back(0);
  module.QuestionWeight = std::move(weights);
  module.QuestionRowCount = i - 1;
}

int32_t CountQuestions(KanjiModule& module) {
  host::Sheet sheet = module.App().Sheets().Item(module.QSheetName);
  const int64_t last_row = sheet.Rows().Count();
  int32_t i = 1;
  // Whether each cell's displayed text (Cells(i, D).Text) is empty, read where it is stored.
  while (i <= last_row && !host::ShowsNothing(sheet.worksheet(), i, workbook::kQuestionColumn)) ++i;
  return i - 1;
}

TestLimits LimitRange(const KanjiModule& module, int32_t start, int32_t end, int32_t requested) {
  if (end < start) std::swap(start, end);
  if (module.QuestionRowCount < requested) requested = module.QuestionRowCount;
  if (module.QuestionRowCount < end) end = module.QuestionRowCount;
  // 64-bit, so that a range of the whole 32-bit span cannot overflow.
  const int64_t span = int64_t{end} - start + 1;
  if (span < requested) requested = static_cast<int32_t>(span);
  const int32_t per_page = module.QuestionsPerPage;
  if (per_page <= 0) throw HostError(11, "Division by zero: no page size chosen.");
  // Integer division truncates like the runtime's Mod; the floor keeps the formula's Int().
  int32_t pages = requested / per_page;
  if (requested % per_page != 0 && requested < 0) --pages;
  if (requested % per_page != 0) ++pages;
  return {start, end, requested, pages};
}

TestLimits LimitRange(const KanjiModule& module, std::string_view start_text,
                      std::string_view end_text, std::string_view count_text) {
  return LimitRange(module, host::TextToLong(start_text), host::TextToLong(end_text),
                    host::TextToLong(count_text));
}

std::string TestIdentification(std::string_view code, int32_t start, int32_t end, int32_t count) {
  std::string id(code);
  id += "[" + std::to_string(start) + "-" + std::to_string(end) + "]" + std::to_string(count);
  return id;
}

void NumberTestPages(KanjiModule& module, const int32_t& start, const int32_t& end) {
  Application& app = module.App();
  const TestSheetLayout& layout = CurrentLayout(module);
  app.Sheets().Item(layout.sheet_name).Select();
  const std::string id =
      TestIdentification(module.GetIniValue("RND", "1234"), start, end, module.RequestedCount);
  app.Range(layout.identification_cell).SetText(id);
  app.Range(TestSheetLayout::kPageNumberCell).SetNumber(1);
  for (int32_t k = 2; k <= module.PageCount; ++k) {
    app.Range(layout.page_block).Select();
    app.Selection().Copy();
    const int64_t first_row = layout.FirstRowOfPage(k);
    app.Cells(first_row, 1).Select();
    app.ActiveSheet().Paste();
    app.Cells(first_row, TestSheetLayout::kHeaderColumn).SetNumber(k);
  }
  const std::string last_row = std::to_string(int64_t{module.PageCount} * layout.rows_per_page);
  app.Range("A1:U" + last_row).Select();
  app.SetCutCopyMode(false);
  app.ActiveSheet().PageSetup().SetPrintArea("A1:U" + last_row);
}

}  // namespace tessarin::testgen
