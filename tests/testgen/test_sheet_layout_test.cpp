// TestSheetLayout: where questions, numbers and header cells stand on both test sheets.
#include "core/testgen/test_sheet_layout.h"

#include <gtest/gtest.h>

namespace tessarin::testgen {
namespace {

TEST(TestSheetLayout, QuestionsRunRightToLeftInStripsOfTwenty) {
  const struct {
    int32_t q;
    host::CellRef cell;
  } cases[] = {
      {1, {2, 20}}, {2, {2, 19}},   {20, {2, 1}},  {21, {6, 20}},
      {40, {6, 1}}, {41, {10, 20}}, {60, {10, 1}}, {61, {14, 20}},
  };
  for (const auto& c : cases) EXPECT_EQ(TestSheetLayout::QuestionCell(c.q), c.cell) << c.q;
}

TEST(TestSheetLayout, EveryRowOfAStripBelongsToItsQuestionRow) {
  for (int32_t row : {1, 2, 3, 4}) EXPECT_EQ(TestSheetLayout::QuestionRowOf(row), 2) << row;
  for (int32_t row : {5, 8}) EXPECT_EQ(TestSheetLayout::QuestionRowOf(row), 6) << row;
  EXPECT_EQ(TestSheetLayout::QuestionRowOf(1048576), 1048574);
}

TEST(TestSheetLayout, PagesOfEightAndFourRows) {
  EXPECT_EQ(TestSheet40().FirstRowOfPage(3), 17);
  EXPECT_EQ(TestSheet20().FirstRowOfPage(3), 9);
  EXPECT_EQ(TestSheet40().identification_cell, "U8");
  EXPECT_EQ(TestSheet20().identification_cell, "U4");
  // The page block ends on the identification cell's row, so every copied page carries it.
  EXPECT_EQ(TestSheet40().page_block, "A1:U8");
  EXPECT_EQ(TestSheet20().page_block, "A1:U4");
}

TEST(TestSheetLayout, OnlyTheTwoTestSheetNamesHaveALayout) {
  EXPECT_EQ(LayoutOfSheet("テスト用紙 【40】"), &TestSheet40());
  EXPECT_EQ(LayoutOfSheet("テスト用紙 【20】"), &TestSheet20());
  EXPECT_EQ(LayoutOfSheet("テスト用紙【40】"), nullptr);
  EXPECT_EQ(LayoutOfSheet("ミラトス"), nullptr);
}

}  // namespace
}  // namespace tessarin::testgen
