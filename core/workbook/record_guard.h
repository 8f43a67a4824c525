// The learner's record a workbook holds (marks in F to O, times set in Q, must-appear markers in
// R of its question sheets) and the guard that keeps a save from replacing a record with content
// that does not hold it.
//
// How the front ends use it: each installs MakeRecordGuard() on the ooxml::WorkbookFiles it
// saves through (the command line in its script runner and command session, the desktop window
// where it makes its file service), so every save of every command and of the window passes it.
// A refused save throws RecordConflict out of WorkbookFiles::Save before anything is written; the
// window shows its description (or builds its own text from target() and record()) and offers
// nothing to force it: the user saves under another name instead. Saving the workbook one is
// editing over its own unchanged file is never checked, so marks removed on purpose are saved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/host/host_error.h"
#include "core/host/save_guard.h"
#include "core/host/workbook.h"

namespace tessarin::workbook {

struct RecordSummary {
  int64_t marks = 0;  // filled mark cells F..O (wrong answers and exclusion markers)
  int64_t tests = 0;  // the largest times-set count in Q: how many tests the record has seen
  int64_t must = 0;   // must-appear markers in R
  bool Empty() const { return marks == 0 && tests == 0 && must == 0; }
};

// The record of every question sheet of `book`, summed.
RecordSummary CountRecord(const host::Workbook& book);

// "3 marks, 2 tests", with ", 1 must-appear mark" when there are any: the record in words.
std::string DescribeRecord(const RecordSummary& record);

// True when `content` holds the record of `record_book`: every row of a question sheet of
// `record_book` that carries marks, a times-set count or a must-appear marker has, on the
// question sheet of the same name in `content`, a row with the same question and answer (the
// same row number first, else the first such row) with at least as many marks, a count at least
// as high and the marker. A reordered sheet holds its record; a sheet renamed, removed or
// replaced does not.
bool HoldsRecord(const host::Workbook& content, const host::Workbook& record_book);

// The refusal: HostError 1004 naming the file and what it holds.
class RecordConflict : public host::HostError {
 public:
  RecordConflict(std::string target, RecordSummary record);
  const std::string& target() const { return target_; }
  const RecordSummary& record() const { return record_; }

 private:
  std::string target_;
  RecordSummary record_;
};

// The save guard: refuses (RecordConflict) to replace a file whose record the new content does
// not hold; a file without a record may be replaced.
class RecordGuard : public host::SaveGuard {
 public:
  void CheckReplace(const host::Workbook& content, const host::Workbook& on_disk,
                    const std::string& target) const override;
};

std::shared_ptr<const host::SaveGuard> MakeRecordGuard();

}  // namespace tessarin::workbook
