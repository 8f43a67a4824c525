// Counting a workbook's record and comparing it row by row with the content about to replace it.
#include "core/workbook/record_guard.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/host/constants.h"
#include "core/host/runtime.h"
#include "core/host/worksheet.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::workbook {
namespace {

// What one question row records.
struct RowRecord {
  int64_t marks = 0;
  int64_t times_set = 0;
  bool must = false;
  bool Empty() const { return marks == 0 && times_set == 0 && !must; }
};

bool Filled(const host::Worksheet& sheet, int32_t row, int col) {
  const host::Cell* cell = sheet.cells().Find(row, col);
  return cell != nullptr && cell->type != host::ValueType::kEmpty;
}

// A times-set count as the selection reads it: a number, or text that reads as one.
int64_t TimesSet(const host::Worksheet& sheet, int32_t row) {
  const host::CellValue value = sheet.Value(row, kTimesSetColumn);
  std::optional<double> number;
  if (value.type == host::ValueType::kNumber) number = value.number;
  if (value.type == host::ValueType::kText) number = host::ParseNumber(value.text);
  return number && *number > 0 ? static_cast<int64_t>(*number) : 0;
}

RowRecord RecordOf(const host::Worksheet& sheet, int32_t row) {
  RowRecord record;
  for (int col = kFirstMarkColumn; col <= kLastMarkColumn; ++col) {
    if (Filled(sheet, row, col)) ++record.marks;
  }
  record.times_set = TimesSet(sheet, row);
  record.must = sheet.TextView(row, kMustAppearColumn) == kMustAppearMarker;
  return record;
}

bool Holds(const RowRecord& kept, const RowRecord& wanted) {
  return kept.marks >= wanted.marks && kept.times_set >= wanted.times_set &&
         (kept.must || !wanted.must);
}

// The question and answer that identify a row when rows have moved.
std::pair<host::CellValue, host::CellValue> Key(const host::Worksheet& sheet, int32_t row) {
  return {sheet.Value(row, kQuestionColumn), sheet.Value(row, kAnswerColumn)};
}

int32_t LastRow(const host::Worksheet& sheet) {
  const host::Area used = sheet.UsedArea();
  return used.bottom >= used.top ? used.bottom : 0;
}

// Rows of `content` by question and answer, made the first time a row has moved.
class RowFinder {
 public:
  explicit RowFinder(const host::Worksheet& content) : content_(content) {}
  std::optional<int32_t> Find(const std::pair<host::CellValue, host::CellValue>& key) {
    if (!built_) {
      for (int32_t row = LastRow(content_); row >= 1; --row) {
        auto k = Key(content_, row);
        rows_[ValueKey(k.first) + '\x1f' + ValueKey(k.second)] = row;
      }
      built_ = true;
    }
    auto it = rows_.find(ValueKey(key.first) + '\x1f' + ValueKey(key.second));
    if (it == rows_.end()) return std::nullopt;
    return it->second;
  }

 private:
  static std::string ValueKey(const host::CellValue& v) {
    switch (v.type) {
      case host::ValueType::kEmpty:
        return "e";
      case host::ValueType::kNumber:
        return "n" + std::to_string(v.number);
      case host::ValueType::kText:
        return "t" + v.text;
      case host::ValueType::kBoolean:
        return v.boolean ? "b1" : "b0";
      case host::ValueType::kError:
        return "x" + std::to_string(static_cast<int>(v.error));
    }
    return "";
  }
  const host::Worksheet& content_;
  bool built_ = false;
  std::map<std::string, int32_t> rows_;
};

// `content` is null when the content has no question sheet of that name.
bool SheetHolds(const host::Worksheet* content, const host::Worksheet& record) {
  std::optional<RowFinder> finder;
  for (int32_t row = 1, last = LastRow(record); row <= last; ++row) {
    const RowRecord wanted = RecordOf(record, row);
    if (wanted.Empty()) continue;
    if (content == nullptr) return false;
    const auto key = Key(record, row);
    if (Key(*content, row) == key && Holds(RecordOf(*content, row), wanted)) continue;
    if (!finder) finder.emplace(*content);
    const std::optional<int32_t> moved = finder->Find(key);
    if (!moved || !Holds(RecordOf(*content, *moved), wanted)) return false;
  }
  return true;
}

std::string Plural(int64_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

RecordSummary CountRecord(const host::Workbook& book) {
  RecordSummary summary;
  for (int i = 1; i <= book.SheetCount(); ++i) {
    const host::Worksheet& sheet = book.Sheet(i);
    if (!IsQuestionSheetName(sheet.name())) continue;
    for (int32_t row = 1, last = LastRow(sheet); row <= last; ++row) {
      const RowRecord record = RecordOf(sheet, row);
      summary.marks += record.marks;
      summary.tests = std::max(summary.tests, record.times_set);
      if (record.must) ++summary.must;
    }
  }
  return summary;
}

std::string DescribeRecord(const RecordSummary& record) {
  std::string text =
      Plural(record.marks, "mark", "marks") + ", " + Plural(record.tests, "test", "tests");
  if (record.must > 0) text += ", " + Plural(record.must, "must-appear mark", "must-appear marks");
  return text;
}

bool HoldsRecord(const host::Workbook& content, const host::Workbook& record_book) {
  for (int i = 1; i <= record_book.SheetCount(); ++i) {
    const host::Worksheet& sheet = record_book.Sheet(i);
    if (!IsQuestionSheetName(sheet.name())) continue;
    const host::Worksheet* kept = content.FindSheet(sheet.name());
    if (kept != nullptr && !IsQuestionSheetName(kept->name())) kept = nullptr;
    if (!SheetHolds(kept, sheet)) return false;
  }
  return true;
}

RecordConflict::RecordConflict(std::string target, RecordSummary record)
    : HostError(host::kErrApplicationDefined,
                "Cannot save " + target + ": it holds a learner's record (" +
                    DescribeRecord(record) +
                    ") that the workbook being saved does not hold, and saving would lose it. "
                    "Nothing was changed; save under another name, or open " +
                    target + " and work on it."),
      target_(std::move(target)),
      record_(record) {}

void RecordGuard::CheckReplace(const host::Workbook& content, const host::Workbook& on_disk,
                               const std::string& target) const {
  if (HoldsRecord(content, on_disk)) return;
  throw RecordConflict(target, CountRecord(on_disk));
}

std::shared_ptr<const host::SaveGuard> MakeRecordGuard() { return std::make_shared<RecordGuard>(); }

}  // namespace tessarin::workbook
