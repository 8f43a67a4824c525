// Tests of the learner's name on every page of a made test.
#include "core/testgen/learner_name.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "core/host/constants.h"
#include "core/host/text_encoding.h"

namespace tessarin::testgen {
namespace {

// A test sheet named `name` whose first `pages` pages carry their page numbers in column U.
host::Worksheet& TestSheet(host::Application& app, const std::string& name, int pages, int rows) {
  host::Workbook& book = app.Workbooks().Add();
  host::Worksheet& sheet = book.Sheet(1);
  book.RenameSheet(sheet, name);
  for (int p = 0; p < pages; ++p) sheet.SetNumber(p * rows + 1, 21, p + 1);
  return sheet;
}

TEST(LearnerName, EveryPageOfThe40SheetGetsTheNameUnderItsLabel) {
  host::Application app;
  host::Worksheet& sheet = TestSheet(app, "テスト用紙 【40】", 2, 8);
  EXPECT_EQ(WriteLearnerName(sheet, "佐藤花子"), 2);
  for (int32_t row : {6, 14}) {
    EXPECT_EQ(sheet.TextView(row, 21), "佐藤花子");
    EXPECT_EQ(sheet.StyleAt(row, 21).orientation, host::kXlVertical);
  }
  EXPECT_TRUE(sheet.TextView(22, 21).empty());  // no third page
}

TEST(LearnerName, The20SheetKeepsItsHeaderLengthWhileTheNameFits) {
  host::Application app;
  host::Worksheet& sheet = TestSheet(app, "テスト用紙 【20】", 3, 4);
  EXPECT_EQ(WriteLearnerName(sheet, "佐藤"), 3);
  EXPECT_EQ(sheet.TextView(11, 21), "氏名　佐藤　　　　　　　得点");
  EXPECT_EQ(host::CodePoints(sheet.TextView(3, 21)).size(), 14u);
  WriteLearnerName(sheet, "とても長い名前の学習者さん");
  EXPECT_EQ(sheet.TextView(3, 21), "氏名　とても長い名前の学習者さん　得点");
}

TEST(LearnerName, OtherSheetsAreLeftAlone) {
  host::Application app;
  host::Worksheet& sheet = TestSheet(app, "ミラトス", 1, 8);
  EXPECT_EQ(WriteLearnerName(sheet, "佐藤"), 0);
  EXPECT_TRUE(sheet.TextView(6, 21).empty());
}

}  // namespace
}  // namespace tessarin::testgen
