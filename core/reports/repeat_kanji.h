// RepeatKanji: the questions that share the same answer, so that the user can find duplicates.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/application.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::reports {

// The question rows of a sheet as the report reads them: answers[i] and questions[i] are the
// texts of columns E and D of row i + 1.
struct AnswerColumn {
  std::vector<std::string> answers;
  std::vector<std::string> questions;
};

// The question rows of `sheet` as RepeatKanji reads them: from row 1 up to the first empty
// question cell.
AnswerColumn ReadAnswerColumn(const host::Sheet& sheet);

// Writes the duplicate report as it is made, one group at a time: `write` receives each group's
// lines, each ending in `line_break`, in row order (see DuplicateReport for the groups). A group
// is at most as long as the rows' texts, so a sheet with one answer repeated thousands of times
// reports in little memory however long the whole report grows. Nothing is written when no two
// answers are equal.
void WriteDuplicateReport(const AnswerColumn& rows, std::string_view line_break,
                          const std::function<void(std::string_view group)>& write);

// The report text: for each row with an equal answer (exact comparison) further down, a group
// of lines "ROW 行目：ANSWER( QUESTION )" for that row and every later equal one, each line and
// a closing blank line ending in CR LF; groups in row order. "" when no two answers are equal.
// One pass over a hash map, so a sheet of 100,000 rows is reported at once.
std::string DuplicateReport(const AnswerColumn& rows);

// The same text by comparing every pair of rows, as the report was first defined; kept to
// check DuplicateReport against. Quadratic.
std::string DuplicateReportPairwise(const AnswerColumn& rows);

// The command: with a question sheet active (its name begins with "ミラトス"), stores its name
// in module.TestTitle and module.QSheetName and shows DuplicateReport of its question rows (up
// to the first empty question cell), or "重複なし". Any other active sheet gets
// "シート名「ミラトス」を選択して下さい。" and nothing changes. Throws the host's HostError.
void RepeatKanji(workbook::KanjiModule& module);

}  // namespace tessarin::reports
