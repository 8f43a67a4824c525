// The question sheet: markers, finding the sheet, the blank template.
#include "core/workbook/question_sheet.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "tests/workbook/test_env.h"

namespace tessarin::workbook {
namespace {

using testing::ScriptedHost;
using testing::TempHome;

TEST(Markers, LatinLettersIgnoreCaseOthersExact) {
  for (const char* mark : {"X", "x", "Ｘ", "ｘ"}) EXPECT_TRUE(IsWrongAnswerMark(mark)) << mark;
  for (const char* mark : {"", "XX", " X", "×", "1", "X "})
    EXPECT_FALSE(IsWrongAnswerMark(mark)) << mark;
  for (const char* mark : {"S", "s", "Ｓ", "ｓ", "E", "e", "Ｅ", "ｅ", "除", "止", "修", "外"}) {
    EXPECT_TRUE(IsExclusionMarker(mark)) << mark;
  }
  for (const char* mark : {"", "X", "除外", "SS", "0"})
    EXPECT_FALSE(IsExclusionMarker(mark)) << mark;
}

TEST(Markers, QuestionSheetNameIsAPrefixTest) {
  EXPECT_TRUE(IsQuestionSheetName("ミラトス"));
  EXPECT_TRUE(IsQuestionSheetName("ミラトス2"));
  EXPECT_FALSE(IsQuestionSheetName("新ミラトス"));
  EXPECT_FALSE(IsQuestionSheetName("ミラト"));
  EXPECT_FALSE(IsQuestionSheetName("ﾐﾗﾄｽ"));
}

class FindQuestionSheetTest : public ::testing::Test {
 protected:
  void Sheets(std::initializer_list<const char*> names) {
    host.app.Workbooks().Add();
    bool first = true;
    for (const char* name : names) {
      if (first) {
        host.app.ActiveSheet().SetName(name);
        first = false;
      } else {
        host.app.Sheets().Add().SetName(name);
      }
    }
  }
  TempHome home;
  ScriptedHost host;
};

TEST_F(FindQuestionSheetTest, OneSheetWithFurtherCharacters) {
  Sheets({"表紙", "ミラトス漢字", "テスト用紙 【40】"});
  EXPECT_EQ(FindQuestionSheet(host.module), "ミラトス漢字");
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(FindQuestionSheetTest, NoneAndSeveral) {
  Sheets({"表紙", "新ミラトス"});
  EXPECT_EQ(FindQuestionSheet(host.module), "");
  EXPECT_EQ(host.Messages(), std::vector<std::string>{"エラー|出題文シートがありません。"});
  host.app.Sheets().Add().SetName("ミラトス");
  host.app.Sheets().Add().SetName("ミラトス2");
  EXPECT_EQ(FindQuestionSheet(host.module), "");
  EXPECT_EQ(host.Messages().back(), "特定不能|出題文シートが複数あります。");
}

TEST(BlankTemplate, LayoutAndComments) {
  TempHome home;
  ScriptedHost host;
  MakeBlankTemplate(host.module);
  host::Application& app = host.app;
  ASSERT_EQ(app.Workbooks().Count(), 1);
  host::Sheet sheet = app.ActiveSheet();
  EXPECT_EQ(sheet.Name(), "ミラトス");
  EXPECT_EQ(app.Selection().Address(host::kXlA1, false), "A1");
  EXPECT_TRUE(sheet.Range("D1").Value().IsEmpty());

  const struct {
    const char* cell;
    double width;
    int h;
  } columns[] = {{"A1", 4, host::kXlGeneral},  {"C1", 4, host::kXlGeneral},
                 {"D1", 40, host::kXlGeneral}, {"E1", 15, host::kXlGeneral},
                 {"F1", 4, host::kXlCenter},   {"O1", 4, host::kXlCenter},
                 {"P1", 50, host::kXlGeneral}, {"Q1", 5, host::kXlCenter},
                 {"R1", 5, host::kXlCenter},   {"S1", host::kDefaultColumnWidth, host::kXlGeneral}};
  for (const auto& c : columns) {
    host::Range cell = sheet.Range(c.cell);
    EXPECT_DOUBLE_EQ(cell.ColumnWidth(), c.width) << c.cell;
    EXPECT_EQ(cell.HorizontalAlignment(), c.h) << c.cell;
    if (c.width != host::kDefaultColumnWidth) {
      EXPECT_EQ(cell.VerticalAlignment(), host::kXlCenter) << c.cell;
    }
  }
  EXPECT_DOUBLE_EQ(sheet.Range("A1").RowHeight(), 26);
  EXPECT_DOUBLE_EQ(sheet.Range("A5000").RowHeight(), 26);

  EXPECT_EQ(sheet.Comments().Count(), 18);
  EXPECT_EQ(sheet.Range("Q1").Comment().Text(), "出題回数が自動的に記載されます。");
  EXPECT_EQ(sheet.Range("F1").Comment().Text(),
            "問題を間違えると、「X」を入力します。\n列Ｆから順番に入力して空白セルを作らないように"
            "して下さい。\n\n"
            "間違えた時　　・・・・　X （エックス）\n出題から外す時・・・Ｓ、Ｅ、除、止、修、外");
  // Scaled relative to the default size: D1 and E1 taller, F1..O1 taller and wider.
  host::CommentShape plain = sheet.Range("A1").Comment().Shape();
  host::CommentShape question = sheet.Range("D1").Comment().Shape();
  host::CommentShape mark = sheet.Range("O1").Comment().Shape();
  EXPECT_DOUBLE_EQ(question.Height(), plain.Height() * 1.3);
  EXPECT_DOUBLE_EQ(question.Width(), plain.Width());
  EXPECT_DOUBLE_EQ(mark.Height(), plain.Height() * 1.3);
  EXPECT_DOUBLE_EQ(mark.Width(), plain.Width() * 1.75);
}

}  // namespace
}  // namespace tessarin::workbook
