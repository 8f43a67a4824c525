// QuestionIndex: the lookups a scan of column D would give, and where the question list ends.
#include "core/marking/question_index.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/marking/marking.h"
#include "tests/workbook/test_env.h"

namespace tessarin::marking {
namespace {

// A question sheet whose column D holds `questions` from row 1 ("" leaves the cell empty).
host::Sheet QuestionSheet(testing::ScriptedHost& host, std::vector<std::string> questions) {
  host.app.Workbooks().Add();
  host.app.ActiveSheet().SetName("ミラトス");
  for (size_t i = 0; i < questions.size(); ++i) {
    if (!questions[i].empty()) host.app.Cells(int32_t(i + 1), 4).SetText(questions[i]);
  }
  return host.app.ActiveSheet();
}

TEST(QuestionIndex, UpperOfTwoEqualQuestionsAndRowsBelowAGapAreFound) {
  testing::ScriptedHost host;
  const QuestionIndex index(QuestionSheet(host, {"山", "川", "", "山", "田"}));
  EXPECT_EQ(index.FirstRow("山"), 1);
  EXPECT_EQ(index.FirstRow("田"), 5);
  EXPECT_EQ(index.first_empty_row(), 3);
  EXPECT_EQ(index.FirstRow("田", 4), std::nullopt);  // below the last row asked for
  EXPECT_EQ(index.FirstRow("木"), std::nullopt);
  EXPECT_EQ(index.FirstRow(""), std::nullopt);  // empty cells are never a question
  EXPECT_EQ(index.sheet_name(), "ミラトス");
}

TEST(QuestionIndex, NumbersAreFoundByTheirTextAndAFullListEndsBelowItsLastRow) {
  testing::ScriptedHost host;
  const host::Sheet sheet = QuestionSheet(host, {"山"});
  sheet.Cells(2, 4).SetValue(host::CellValue::Number(12));
  const QuestionIndex index(sheet);
  EXPECT_EQ(index.FirstRow("12"), 2);
  EXPECT_EQ(index.first_empty_row(), 3);
  EXPECT_EQ(QuestionIndex(QuestionSheet(host, {})).first_empty_row(), 1);
}

// Enough questions to grow the table several times, with repeats, numbers and gaps: every
// lookup gives what a scan from the top would.
TEST(QuestionIndex, ManyQuestionsAgreeWithAScanFromTheTop) {
  testing::ScriptedHost host;
  const host::Sheet sheet = QuestionSheet(host, {});
  std::vector<std::string> texts(5000);
  for (int32_t row = 1; row <= 5000; ++row) {
    if (row % 97 == 0) continue;  // a gap
    if (row % 11 == 0) {
      sheet.Cells(row, 4).SetValue(host::CellValue::Number(row % 300));
      texts[row - 1] = std::to_string(row % 300);
    } else {
      texts[row - 1] = "問" + std::to_string(row % 1700);  // each text three times or so
      sheet.Cells(row, 4).SetText(texts[row - 1]);
    }
  }
  const QuestionIndex index(sheet);
  EXPECT_EQ(index.first_empty_row(), 97);
  for (int32_t row = 1; row <= 5000; ++row) {
    if (texts[row - 1].empty()) continue;
    const auto first = std::find(texts.begin(), texts.end(), texts[row - 1]) - texts.begin() + 1;
    ASSERT_EQ(index.FirstRow(texts[row - 1]), first) << texts[row - 1];
    EXPECT_EQ(index.FirstRow(texts[row - 1], first - 1), std::nullopt);
  }
  EXPECT_EQ(index.FirstRow("問1700"), std::nullopt);
  EXPECT_EQ(index.FirstRow("300"), std::nullopt);
}

// A run of marks through one index marks the question the selected strip names, and an index
// of another sheet is not trusted.
TEST(QuestionIndex, MarkingThroughAnIndexWritesTheFoundRow) {
  testing::ScriptedHost host;
  const host::Sheet questions = QuestionSheet(host, {"山", "川"});
  const QuestionIndex index(questions);
  host.app.Sheets().Add();  // becomes the active sheet
  host.app.ActiveSheet().SetName("テスト用紙 【40】");
  host.app.Cells(2, 20).SetText("川");
  host.app.Cells(3, 20).Select();
  ThisQSisNG(host.module, &index);
  EXPECT_EQ(questions.Cells(2, 6).Text(), "X");

  // Renamed and rewritten: the index no longer names the question sheet and is not used.
  questions.SetName("ミラトス2");
  questions.Cells(1, 4).SetText("木");
  questions.Cells(2, 4).SetText("山");
  host.app.Cells(2, 19).SetText("山");
  host.app.Cells(2, 19).Select();
  ThisQSisNG(host.module, &index);
  EXPECT_EQ(questions.Cells(2, 7).Text(), "X");
  EXPECT_EQ(questions.Cells(1, 6).Text(), "");
  EXPECT_TRUE(host.Messages().empty());
}

}  // namespace
}  // namespace tessarin::marking
