// ClassRecord: the records of a class of learners side by side: per learner the tests taken and
// the mistakes, per kanji how many learners missed it. Each learner keeps one question workbook;
// this reads their question sheets and changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::reports {

struct LearnerSummary {
  std::string name;
  int32_t questions = 0;  // rows of the question sheet, down to the first empty question
  int32_t tests = 0;      // the largest times-set count (column Q): the tests the record has seen
  int32_t mistakes = 0;   // wrong-answer marks ("X") in the mark cells F to O
};

struct MissedKanji {
  std::string kanji;     // one character, UTF-8
  int32_t learners = 0;  // learners with a wrong mark on a question whose answer holds it
};

class ClassRecord {
 public:
  // Adds the learner `name` from their question sheet: mistakes are counted per question row,
  // and every kanji of the answer (column E) of a row with a wrong mark counts the learner
  // once, however often they missed it.
  void AddLearner(std::string name, const host::Worksheet& questions);

  // The learners in the order they were added.
  const std::vector<LearnerSummary>& learners() const { return learners_; }

  // Every kanji some learner missed, most learners first; ties in character order.
  std::vector<MissedKanji> MostMissed() const;

 private:
  std::vector<LearnerSummary> learners_;
  std::vector<std::pair<char32_t, int32_t>> missed_;  // kanji and learners, unsorted
};

// The one question sheet of `book` (its name begins with the product word), else the only sheet
// of a one-sheet book; nullptr when there is none or there are several.
const host::Worksheet* FindQuestionSheetIn(const host::Workbook& book);

}  // namespace tessarin::reports
