// The duplicate report: its exact text, and the one-pass grouping against the pairwise rule.
#include "core/reports/repeat_kanji.h"

#include <gtest/gtest.h>

#include <random>

#include "core/host/application.h"
#include "core/reports/mistake_report.h"
#include "tests/workbook/test_env.h"

namespace tessarin::reports {
namespace {

AnswerColumn Rows(std::vector<std::string> answers) {
  AnswerColumn rows;
  for (size_t i = 0; i < answers.size(); ++i) rows.questions.push_back("q" + std::to_string(i + 1));
  rows.answers = std::move(answers);
  return rows;
}

TEST(DuplicateReport, TripleGivesAGroupForItsFirstAndSecondRow) {
  EXPECT_EQ(DuplicateReport(Rows({"山", "川", "山", "山"})),
            "1 行目：山( q1 )\r\n3 行目：山( q3 )\r\n4 行目：山( q4 )\r\n\r\n"
            "3 行目：山( q3 )\r\n4 行目：山( q4 )\r\n\r\n");
}

TEST(DuplicateReport, EmptyAnswersPairAndWidthAndCaseCount) {
  EXPECT_EQ(DuplicateReport(Rows({"", "a", "A", "ａ", ""})),
            "1 行目：( q1 )\r\n5 行目：( q5 )\r\n\r\n");
  EXPECT_EQ(DuplicateReport(Rows({"山", "川"})), "");
  EXPECT_EQ(DuplicateReport(Rows({})), "");
}

// Random sheets with few distinct answers, so that pairs, triples and longer runs all occur.
TEST(DuplicateReport, SameTextAsThePairwiseRuleOnRandomSheets) {
  std::mt19937 random(20261208);
  for (int sheet = 0; sheet < 300; ++sheet) {
    const int rows = std::uniform_int_distribution<int>(0, 60)(random);
    const int distinct = std::uniform_int_distribution<int>(1, 40)(random);
    std::vector<std::string> answers;
    for (int i = 0; i < rows; ++i) {
      const int pick = std::uniform_int_distribution<int>(0, distinct)(random);
      answers.push_back(pick == 0 ? "" : "答" + std::to_string(pick));
    }
    const AnswerColumn column = Rows(answers);
    ASSERT_EQ(DuplicateReport(column), DuplicateReportPairwise(column)) << "sheet " << sheet;
  }
}

TEST(WriteDuplicateReport, HandsOverOneGroupAtATimeWithTheLineBreakAsked) {
  std::vector<std::string> groups;
  WriteDuplicateReport(Rows({"山", "川", "山", "川", "山"}), "\n",
                       [&](std::string_view group) { groups.emplace_back(group); });
  EXPECT_EQ(groups,
            (std::vector<std::string>{"1 行目：山( q1 )\n3 行目：山( q3 )\n5 行目：山( q5 )\n",
                                      "2 行目：川( q2 )\n4 行目：川( q4 )\n",
                                      "3 行目：山( q3 )\n5 行目：山( q5 )\n"}));
  WriteDuplicateReport(Rows({"山", "川"}), "\n", [](std::string_view) { ADD_FAILURE(); });
}

TEST(RepeatKanji, ReadsTheActiveQuestionSheetUpToTheFirstEmptyQuestion) {
  testing::ScriptedHost host;
  host.app.Workbooks().Add();
  host.app.ActiveSheet().SetName("ミラトス単語");
  const char* cells[][2] = {{"やま", "山"}, {"やま2", "山"}, {"", "山"}, {"やま3", "山"}};
  for (int row = 1; row <= 4; ++row) {
    if (*cells[row - 1][0]) host.app.Cells(row, 4).SetText(cells[row - 1][0]);
    host.app.Cells(row, 5).SetText(cells[row - 1][1]);
  }
  RepeatKanji(host.module);
  EXPECT_EQ(host.Messages(),
            std::vector<std::string>{"ミラトス|1 行目：山( やま )\r\n2 行目：山( やま2 )\r\n\r\n"});
  EXPECT_EQ(host.module.TestTitle, "ミラトス単語");
}

// A question column filled to the sheet's last row ends there: no cell past the sheet is read.
TEST(RepeatKanji, AQuestionColumnFilledToTheLastRowIsReadToItsEnd) {
  testing::ScriptedHost host;
  host.app.Workbooks().Add();
  host.app.ActiveSheet().SetName("ミラトス単語");
  host::Worksheet& sheet = host.app.ActiveSheet().worksheet();
  for (int32_t row = 1; row <= host::kMaxRows; ++row) {
    sheet.SetText(row, 4, "q");
    sheet.SetNumber(row, 5, row);  // every answer differs ...
  }
  sheet.SetText(1, 5, "山");  // ... but the first and the last
  sheet.SetText(host::kMaxRows, 5, "山");
  sheet.SetText(host::kMaxRows, 6, "X");
  RepeatKanji(host.module);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_NE(host.Messages()[0].find("1048576 行目：山"), std::string::npos);
  EXPECT_EQ(CountWrongMarks(host.app.ActiveSheet(), 0), 1);
}

}  // namespace
}  // namespace tessarin::reports
