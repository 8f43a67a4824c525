// ClassRecord: summing the learners' question sheets.
#include "core/reports/class_record.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/host/runtime.h"
#include "core/host/text_encoding.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::reports {
namespace {

bool IsKanji(char32_t c) {
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// The cell as text, whatever it holds.
std::string TextAt(const host::Worksheet& sheet, int32_t row, int32_t col) {
  const host::CellValue value = sheet.Value(row, col);
  return value.type == host::ValueType::kText ? value.text : host::ValueToText(value);
}

}  // namespace

void ClassRecord::AddLearner(std::string name, const host::Worksheet& questions) {
  LearnerSummary learner{std::move(name)};
  std::unordered_set<char32_t> missed;
  const int32_t last = questions.UsedArea().bottom;
  for (int32_t row = 1; row <= last; ++row) {
    if (TextAt(questions, row, workbook::kQuestionColumn).empty()) break;
    ++learner.questions;
    const host::CellValue times = questions.Value(row, workbook::kTimesSetColumn);
    if (times.type == host::ValueType::kNumber && times.number > learner.tests)
      learner.tests = static_cast<int32_t>(times.number);
    int32_t wrong = 0;
    for (int col = workbook::kFirstMarkColumn; col <= workbook::kLastMarkColumn; ++col) {
      wrong += workbook::IsWrongAnswerMark(questions.TextView(row, col));
    }
    learner.mistakes += wrong;
    if (wrong == 0) continue;
    for (char32_t c : host::CodePoints(TextAt(questions, row, workbook::kAnswerColumn))) {
      if (IsKanji(c)) missed.insert(c);
    }
  }
  std::unordered_map<char32_t, size_t> at;
  for (size_t i = 0; i < missed_.size(); ++i) at[missed_[i].first] = i;
  for (char32_t c : missed) {
    if (auto it = at.find(c); it != at.end()) {
      ++missed_[it->second].second;
    } else {
      missed_.emplace_back(c, 1);
    }
  }
  learners_.push_back(std::move(learner));
}

std::vector<MissedKanji> ClassRecord::MostMissed() const {
  std::vector<std::pair<char32_t, int32_t>> sorted = missed_;
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  std::vector<MissedKanji> out;
  for (const auto& [c, learners] : sorted) {
    std::string kanji;
    host::AppendUtf8(kanji, c);
    out.push_back({std::move(kanji), learners});
  }
  return out;
}

const host::Worksheet* FindQuestionSheetIn(const host::Workbook& book) {
  const host::Worksheet* found = nullptr;
  for (int i = 1; i <= book.SheetCount(); ++i) {
    const host::Worksheet& sheet = book.Sheet(i);
    if (!workbook::IsQuestionSheetName(sheet.name())) continue;
    if (found != nullptr) return nullptr;
    found = &sheet;
  }
  if (found == nullptr && book.SheetCount() == 1) found = &book.Sheet(1);
  return found;
}

}  // namespace tessarin::reports
