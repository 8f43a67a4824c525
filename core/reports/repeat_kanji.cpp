// RepeatKanji and its report text.
#include "core/reports/repeat_kanji.h"

#include <charconv>
#include <string_view>
#include <unordered_map>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::reports {

namespace {

constexpr std::string_view kLineBreak = "\r\n";

void AppendLine(std::string& out, const AnswerColumn& rows, size_t index,
                std::string_view line_break = kLineBreak) {
  char number[24];
  out.append(number, std::to_chars(number, number + sizeof number, index + 1).ptr);
  out += " 行目：";
  out += rows.answers[index];
  out += "( ";
  out += rows.questions[index];
  out += " )";
  out += line_break;
}

}  // namespace

void WriteDuplicateReport(const AnswerColumn& rows, std::string_view line_break,
                          const std::function<void(std::string_view group)>& write) {
  const size_t n = rows.answers.size();
  constexpr size_t kNone = static_cast<size_t>(-1);
  // next[i] is the next row with row i's answer: a row's group is the chain from it onwards.
  std::vector<size_t> next(n, kNone);
  std::unordered_map<std::string_view, size_t> last_row_of;
  last_row_of.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    auto [it, first] = last_row_of.try_emplace(rows.answers[i], i);
    if (!first) {
      next[it->second] = i;
      it->second = i;
    }
  }
  std::string group;
  for (size_t i = 0; i < n; ++i) {
    if (next[i] == kNone) continue;
    group.clear();
    for (size_t k = i; k != kNone; k = next[k]) AppendLine(group, rows, k, line_break);
    write(group);
  }
}

std::string DuplicateReport(const AnswerColumn& rows) {
  std::string report;
  WriteDuplicateReport(rows, kLineBreak, [&](std::string_view group) {
    report += group;
    report += kLineBreak;
  });
  return report;
}

std::string DuplicateReportPairwise(const AnswerColumn& rows) {
  const size_t n = rows.answers.size();
  std::string report;
  for (size_t i = 0; i < n; ++i) {
    std::string group;
    AppendLine(group, rows, i);
    bool repeated = false;
    for (size_t j = i + 1; j < n; ++j) {
      if (rows.answers[j] == rows.answers[i]) {
        AppendLine(group, rows, j);
        repeated = true;
      }
    }
    if (repeated) report += group + std::string(kLineBreak);
  }
  return report;
}

AnswerColumn ReadAnswerColumn(const host::Sheet& sheet) {
  AnswerColumn rows;
  // A column filled to the last row ends at the sheet's end, not one row past it.
  for (int32_t row = 1; row <= host::kMaxRows; ++row) {
    std::string question = workbook::CellText(sheet, row, workbook::kQuestionColumn);
    if (question.empty()) break;
    rows.questions.push_back(std::move(question));
    rows.answers.push_back(workbook::CellText(sheet, row, workbook::kAnswerColumn));
  }
  return rows;
}

void RepeatKanji(workbook::KanjiModule& module) {
  host::Application& app = module.App();
  const host::Sheet sheet = app.ActiveSheet();
  const std::string name = sheet.Name();
  if (!workbook::IsQuestionSheetName(name)) {
    module.Dialogs().MsgBox("シート名「ミラトス」を選択して下さい。");
    return;
  }
  module.TestTitle = name;
  module.QSheetName = name;

  const AnswerColumn rows = ReadAnswerColumn(sheet);
  const std::string report = DuplicateReport(rows);
  if (!report.empty()) {
    module.Dialogs().MsgBox(report);
  } else {
    module.Dialogs().MsgBox("重複なし", "ミラトス");
  }
}

}  // namespace tessarin::reports
