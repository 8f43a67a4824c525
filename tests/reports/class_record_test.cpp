// Tests of a class's records side by side: counts per learner and the most missed kanji.
#include "core/reports/class_record.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "core/host/range.h"

namespace tessarin::reports {
namespace {

class ClassRecordTest : public ::testing::Test {
 protected:
  // A learner's question sheet: rows of question, answer, marks (F on) and times set (Q).
  struct Row {
    std::string question, answer;
    std::vector<std::string> marks;
    int times = 0;
  };
  const host::Worksheet& Sheet(const std::vector<Row>& rows) {
    host::Workbook& book = app_.Workbooks().Add();
    host::Worksheet& sheet = book.Sheet(1);
    for (size_t i = 0; i < rows.size(); ++i) {
      const int32_t r = static_cast<int32_t>(i) + 1;
      sheet.SetText(r, 4, rows[i].question);
      sheet.SetText(r, 5, rows[i].answer);
      for (size_t m = 0; m < rows[i].marks.size(); ++m)
        sheet.SetText(r, 6 + static_cast<int32_t>(m), rows[i].marks[m]);
      if (rows[i].times > 0) sheet.SetNumber(r, 17, rows[i].times);
    }
    return sheet;
  }
  host::Application app_;
};

TEST_F(ClassRecordTest, MistakesTestsAndEachLearnerCountedOncePerKanji) {
  ClassRecord record;
  record.AddLearner("佐藤", Sheet({{"ヤマ", "山", {"X", "x"}, 3},
                                   {"ヤマミチ", "山道", {"Ｘ"}, 2},
                                   {"カワ", "川", {"S"}, 5},  // excluded, not a mistake
                                   {"ソラ", "空", {}, 1},
                                   {"", "", {}, 0},
                                   {"ウミ", "海", {"X"}, 9}}));  // below the list's end
  record.AddLearner("田中", Sheet({{"カワ", "川", {"X"}, 1}, {"ミチ", "道", {"X"}, 1}}));
  ASSERT_EQ(record.learners().size(), 2u);
  const LearnerSummary& sato = record.learners()[0];
  EXPECT_EQ(sato.questions, 4);
  EXPECT_EQ(sato.tests, 5);
  EXPECT_EQ(sato.mistakes, 3);
  // 道 by both learners, then 山 and 川 by one each, in character order.
  const std::vector<MissedKanji> missed = record.MostMissed();
  ASSERT_EQ(missed.size(), 3u);
  EXPECT_EQ(missed[0].kanji, "道");
  EXPECT_EQ(missed[0].learners, 2);
  EXPECT_EQ(missed[1].kanji, "山");  // U+5C71, before 川 U+5DDD
  EXPECT_EQ(missed[2].kanji, "川");
  EXPECT_EQ(missed[2].learners, 1);
}

TEST_F(ClassRecordTest, TheQuestionSheetOfABook) {
  host::Workbook& book = app_.Workbooks().Add();
  EXPECT_EQ(FindQuestionSheetIn(book), &book.Sheet(1));  // a one-sheet book's only sheet
  book.AddSheet("メモ", 2);
  EXPECT_EQ(FindQuestionSheetIn(book), nullptr);
  book.RenameSheet(book.Sheet(1), "ミラトス");
  EXPECT_EQ(FindQuestionSheetIn(book), &book.Sheet(1));
}

}  // namespace
}  // namespace tessarin::reports
