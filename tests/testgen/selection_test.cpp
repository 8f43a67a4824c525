// Tests of the generator, the weight pass, the question count, the limits and the numbering.
#include "core/testgen/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/testgen/classic_random.h"
#include "core/testgen/test_sheet.h"
#include "core/testgen/test_sheet_layout.h"
#include "tests/testgen/testgen_fixture.h"

namespace tessarin::testgen {
namespace {

// --- The classic generator, against its published values.

std::vector<float> FirstValues(ClassicRandom& rnd, int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(rnd.Next());
  return values;
}

TEST(ClassicRandom, ResetLandsOnThePublishedState) {
  ClassicRandom rnd;
  EXPECT_FLOAT_EQ(rnd.Restart(-1.0f), 0.2240070f);
  EXPECT_EQ(rnd.state(), 0x395886u);
}

TEST(ClassicRandom, PublishedSequencesAfterReseed) {
  ClassicRandom rnd;
  rnd.Reseed(1234);
  std::vector<float> v = FirstValues(rnd, 5);
  EXPECT_FLOAT_EQ(v[0], 0.2792388f);
  EXPECT_FLOAT_EQ(v[1], 0.3405485f);
  EXPECT_FLOAT_EQ(v[2], 0.4485504f);
  EXPECT_FLOAT_EQ(v[3], 0.1862513f);
  EXPECT_FLOAT_EQ(v[4], 0.975529f);
  rnd.Reseed(427);
  v = FirstValues(rnd, 3);
  EXPECT_FLOAT_EQ(v[0], 0.9210082f);
  EXPECT_FLOAT_EQ(v[1], 0.3371153f);
  EXPECT_FLOAT_EQ(v[2], 0.6932251f);
  rnd.Reseed(0);
  v = FirstValues(rnd, 3);
  EXPECT_FLOAT_EQ(v[0], 0.3328429f);
  EXPECT_FLOAT_EQ(v[1], 0.3203611f);
  EXPECT_FLOAT_EQ(v[2], 0.08723754f);
}

TEST(ClassicRandom, UnseededStartAndDraws) {
  ClassicRandom fresh;
  std::vector<float> v = FirstValues(fresh, 3);
  EXPECT_FLOAT_EQ(v[0], 0.7055475f);
  EXPECT_FLOAT_EQ(v[1], 0.533424f);
  EXPECT_FLOAT_EQ(v[2], 0.5795186f);

  ClassicRandom rnd;
  rnd.Reseed(1234);
  std::vector<int> draws;
  for (int i = 0; i < 10; ++i) draws.push_back(rnd.Draw(10));
  EXPECT_EQ(draws, (std::vector<int>{3, 4, 5, 2, 10, 1, 3, 4, 10, 9}));
}

// Draws are made in integers where that is exact: they must be the double-precision formula's
// for every state at the largest count of that range, and for counts on either side of it.
TEST(ClassicRandom, DrawsAreTheDoubleFormulasOnBothSidesOfTheIntegerRange) {
  const auto formula = [](int32_t n, float r) {
    return static_cast<int32_t>(std::floor(static_cast<double>(n) * static_cast<double>(r) + 1.0));
  };
  ClassicRandom rnd, twin;
  // The generator runs through all 2^24 states before it repeats. Near the top of the range
  // of counts the double's rounding changes a few draws (2147483645 at state 11184811), which a
  // product of integers would miss.
  for (int32_t n : {(1 << 28) - 1, 2147483645}) {
    for (int step = 0; step < (1 << 24); ++step) {
      const int32_t drawn = rnd.Draw(n);
      ASSERT_EQ(drawn, formula(n, twin.Next())) << "n " << n << " state " << rnd.state();
    }
    EXPECT_EQ(rnd.state(), ClassicRandom::kInitialState);
  }
  for (int32_t n :
       {0, 1, 2, 40, 100000, 1 << 20, (1 << 28) - 2, 1 << 28, (1 << 28) + 1,
        std::numeric_limits<int32_t>::max(), -1, -40, std::numeric_limits<int32_t>::min()}) {
    for (int step = 0; step < 50000; ++step) {
      const int32_t drawn = rnd.Draw(n);
      ASSERT_EQ(drawn, formula(n, twin.Next())) << "n " << n << " state " << rnd.state();
    }
  }
}

TEST(ClassicRandom, ReseedDoesNotDependOnEarlierDraws) {
  ClassicRandom a, b;
  for (int i = 0; i < 17; ++i) a.Next();
  a.Reseed(8765);
  b.Reseed(8765);
  EXPECT_EQ(FirstValues(a, 20), FirstValues(b, 20));
}

// --- RateQuestions.

class RateTest : public TestgenTest {
 protected:
  int32_t Weight(int row) { return module_.QuestionWeight.at(row); }
};

TEST_F(RateTest, MarksCountUntilTheFirstGapAndExclusionsWin) {
  MakeQuestions(8);
  Put("F1", "X"), Put("G1", "X"), Put("H1", "除");  // excluded after two marks
  Put("F2", "X"), Put("H2", "除");                  // the gap hides 除: weight 10
  Put("F3", "x"), Put("G3", "Ｘ"), Put("I3", "X");  // two seen, the one after the gap not
  Put("F4", "s");                                   // lower-case exclusion
  Put("F5", "3"), Put("G5", "X");                   // other text only keeps the reading going
  for (const char* col : {"F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P"}) {
    Put(std::string(col) + "6", "X");  // P is a remark, never a mark
  }
  Put("F7", "#N/A");  // an error value reads as its text
  RateQuestions(module_);
  EXPECT_EQ(module_.QuestionRowCount, 8);
  EXPECT_EQ(module_.QuestionWeight.size(), 9u);
  EXPECT_EQ(Weight(0), 0);
  EXPECT_EQ(Weight(1), -1000);
  EXPECT_EQ(Weight(2), 10);
  EXPECT_EQ(Weight(3), 20);
  EXPECT_EQ(Weight(4), -1000);
  EXPECT_EQ(Weight(5), 10);
  EXPECT_EQ(Weight(6), 100);
  EXPECT_EQ(Weight(7), 0);
  EXPECT_EQ(Weight(8), 0);
}

// The weight pass reads values as text, not what the cells show: a value its format hides, a
// Boolean and an error are questions and marks like any text, and only an empty cell ends them.
TEST_F(RateTest, ValuesThatShowNothingOrAreNoTextStillCount) {
  MakeQuestions(7);
  Questions().Range("D2").SetNumberFormat(";;;");  // text hidden by its format
  Put("D3", "FALSE");
  Put("D4", "0");
  Questions().Range("D4").SetNumberFormat(";;;");
  Put("D5", "#DIV/0!");
  Put("F1", "0"), Put("G1", "X");  // a mark hidden by its format still keeps the reading going
  Questions().Range("F1").SetNumberFormat(";;;");
  Put("F2", "TRUE"), Put("G2", "X"), Put("H2", "X");
  Put("F3", "X"), Put("G3", "#N/A"), Put("H3", "除");
  Put("R4", "必出"), Put("F4", "X");  // a marker hidden by its format is still read
  Questions().Range("R4").SetNumberFormat(";;;");
  Put("Q5", "TRUE"), Put("F5", "X");  // a Boolean count is no count
  Questions().Range("R6").SetText("必出 ");
  Put("D8", "");
  Put("D9", "後の問");
  module_.ConsiderMustAppear = true;
  module_.ExcludeAsked = true;
  RateQuestions(module_);
  EXPECT_EQ(module_.QuestionRowCount, 7);
  EXPECT_EQ(module_.QuestionWeight,
            (std::vector<int32_t>{0, 10, 20, kExcludedWeight, kMustAppearWeight + 10, 10, 0, 0}));
  EXPECT_EQ(CountQuestions(module_), 1);  // the displayed text of D2 is empty
}

TEST_F(RateTest, ARowOffTheSheetIsRefusedAsItsCellsAre) {
  MakeQuestions(2);
  for (int32_t row : {0, -1, host::kMaxRows + 1}) {
    EXPECT_EQ(ErrorNumber([&] { RateRow(Questions(), row, {}); }), 1004) << row;
  }
  EXPECT_EQ(RateRow(Questions(), host::kMaxRows, {}).weight, 0);
}

TEST_F(RateTest, TheListEndsAtTheFirstEmptyQuestion) {
  MakeQuestions(3);
  Put("D5", "後の問");
  RateQuestions(module_);
  EXPECT_EQ(module_.QuestionRowCount, 3);
  EXPECT_EQ(module_.QuestionWeight.size(), 4u);
}

TEST_F(RateTest, AnEmptySheetKeepsTwoZeroWeights) {
  RateQuestions(module_);
  EXPECT_EQ(module_.QuestionRowCount, 0);
  EXPECT_EQ(module_.QuestionWeight, (std::vector<int32_t>{0, 0}));
}

TEST_F(RateTest, MustAppearFollowsItsOption) {
  MakeQuestions(3);
  Put("R1", "必出");
  Put("R2", "必出"), Put("F2", "X"), Put("G2", "X");
  Put("R3", "必出"), Put("F3", "X"), Put("G3", "外");
  RateQuestions(module_);
  EXPECT_EQ(Weight(1), -1000);
  EXPECT_EQ(Weight(2), -1000);
  module_.ConsiderMustAppear = true;
  RateQuestions(module_);
  EXPECT_EQ(Weight(1), 100000);
  EXPECT_EQ(Weight(2), 100020);
  EXPECT_EQ(Weight(3), -1000);  // read to the end, so the exclusion is seen
  module_.IgnoreWrongCount = true;
  RateQuestions(module_);
  EXPECT_EQ(Weight(2), 100020);  // a must-appear row is read in full either way
}

TEST_F(RateTest, IgnoringWrongCountsReadsOnlyTheFirstMark) {
  MakeQuestions(3);
  Put("F1", "X"), Put("G1", "外");
  Put("F2", "外");
  Put("F3", "X"), Put("G3", "X");
  module_.IgnoreWrongCount = true;
  RateQuestions(module_);
  EXPECT_EQ(Weight(1), 0);
  EXPECT_EQ(Weight(2), -1000);
  EXPECT_EQ(Weight(3), 0);
}

TEST_F(RateTest, ExcludeAskedLooksAtNumericCountsOnly) {
  MakeQuestions(6);
  Put("Q1", "1");
  Put("Q2", "abc");
  Put("Q4", "'2");  // a number stored as text still reads as a number
  Put("Q5", "0");
  Put("Q6", "3"), Put("R6", "必出");
  module_.ExcludeAsked = true;
  module_.ConsiderMustAppear = true;
  RateQuestions(module_);
  EXPECT_EQ(Weight(1), -1000);
  EXPECT_EQ(Weight(2), 0);
  EXPECT_EQ(Weight(3), 0);
  EXPECT_EQ(Weight(4), -1000);
  EXPECT_EQ(Weight(5), 0);
  EXPECT_EQ(Weight(6), -1000);  // Q is read before R
}

TEST_F(RateTest, MissingQuestionSheetIsSubscriptError) {
  module_.QSheetName = "ミラトス2";
  EXPECT_EQ(ErrorNumber([&] { RateQuestions(module_); }), 9);
}

// --- CountQuestions reads what the cell shows.

TEST_F(RateTest, CountQuestionsStopsAtTheFirstCellShowingNothing) {
  module_.QSheetName = "ミラトス";
  MakeQuestions(4);
  Questions().Range("D3").SetNumberFormat(";;;");  // a value that displays nothing
  EXPECT_EQ(CountQuestions(module_), 2);
  RateQuestions(module_);
  EXPECT_EQ(module_.QuestionRowCount, 4);  // the weight pass looks at values
}

// --- Limits.

class LimitTest : public TestgenTest {
 protected:
  TestLimits Limit(int rows, int per_page, int32_t start, int32_t end, int32_t count) {
    module_.QuestionRowCount = rows;
    module_.QuestionsPerPage = static_cast<int16_t>(per_page);
    return LimitRange(module_, start, end, count);
  }
};

TEST_F(LimitTest, EdgeCasesOfRangeAndCount) {
  // 30 rows, range 1-50, 40 asked.
  EXPECT_EQ(Limit(30, 40, 1, 50, 40), (TestLimits{1, 30, 30, 1}));
  EXPECT_EQ(Limit(30, 20, 1, 50, 40), (TestLimits{1, 30, 30, 2}));
  // Backwards.
  EXPECT_EQ(Limit(100, 40, 50, 10, 20), (TestLimits{10, 50, 20, 1}));
  // 45 on the 40-question sheet.
  EXPECT_EQ(Limit(100, 40, 1, 100, 45), (TestLimits{1, 100, 45, 2}));
  // Exactly a page, and a count larger than the range.
  EXPECT_EQ(Limit(100, 20, 1, 100, 40), (TestLimits{1, 100, 40, 2}));
  EXPECT_EQ(Limit(100, 40, 91, 100, 40), (TestLimits{91, 100, 10, 1}));
}

TEST_F(LimitTest, StartBelowTheLastRowLeavesNothing) {
  TestLimits limits = Limit(30, 40, 35, 50, 40);
  EXPECT_EQ(limits.end, 30);
  EXPECT_EQ(limits.requested, -4);
  EXPECT_EQ(limits.page_count, 0);
  EXPECT_LE(Limit(30, 40, 31, 40, 10).requested, 0);
}

TEST_F(LimitTest, BoxTextsRoundHalvesToEven) {
  module_.QuestionRowCount = 100;
  module_.QuestionsPerPage = 40;
  EXPECT_EQ(LimitRange(module_, "2.5", "10.5", "３"), (TestLimits{2, 10, 3, 1}));
  EXPECT_EQ(LimitRange(module_, "1.5", "１２", "4.5"), (TestLimits{2, 12, 4, 1}));
  EXPECT_EQ(ErrorNumber([&] { LimitRange(module_, "1", "x", "4"); }), 13);
}

TEST(TestIdentification, KeepsTheCodeTextAsStored) {
  EXPECT_EQ(TestIdentification("1234", 1, 50, 40), "1234[1-50]40");
  EXPECT_EQ(TestIdentification("0427", 2, 301, 40), "0427[2-301]40");
}

// --- NumberTestPages.

class NumberingTest : public TestgenTest {
 protected:
  // A formatted test sheet, as test creation leaves it before numbering.
  void MakeTestSheet(bool forty) {
    module_.Is40Sheet = forty;
    module_.QSheetName = module_.TestTitle = "ミラトス";
    app_.Sheets().Add().SetName(std::string(CurrentLayout(module_).sheet_name));
    forty ? FormatSheet40(module_) : FormatSheet20(module_);
  }
};

TEST_F(NumberingTest, LaterPagesCarryCopiesOfTheHeaderColumn) {
  MakeTestSheet(true);
  module_.SetIniValue("RND", "0427", false);
  module_.PageCount = 3;
  module_.RequestedCount = 45;
  NumberTestPages(module_, 1, 100);
  host::Sheet sheet = Sheet("テスト用紙 【40】");
  for (int page = 1; page <= 3; ++page) {
    const int top = 8 * (page - 1) + 1;
    EXPECT_EQ(sheet.Cells(top, 21).Value(), host::CellValue::Number(page));
    EXPECT_EQ(sheet.Cells(top, 21).Text(), "No." + std::to_string(page));
    EXPECT_EQ(sheet.Cells(top + 7, 21).Text(), "0427[1-100]45");
    EXPECT_EQ(sheet.Cells(top + 1, 21).Text(), "ミラトス");
    EXPECT_EQ(sheet.Cells(top + 4, 21).Text(), "氏名");
    EXPECT_EQ(sheet.Cells(top + 2, 1).Font().Size(), 30);  // formats come along
  }
  EXPECT_TRUE(sheet.Cells(25, 21).Value().IsEmpty());
  EXPECT_EQ(sheet.PageSetup().PrintArea(), "A1:U24");
  EXPECT_EQ(app_.Selection().Address(host::kXlA1, false), "A1:U24");
  EXPECT_FALSE(app_.CutCopyMode());
}

TEST_F(NumberingTest, OnePageOnTheTwentySheet) {
  MakeTestSheet(false);
  module_.PageCount = 1;
  module_.RequestedCount = 20;
  NumberTestPages(module_, 5, 24);
  host::Sheet sheet = Sheet("テスト用紙 【20】");
  EXPECT_EQ(sheet.Cells(4, 21).Text(), "1234[5-24]20");  // the default code
  EXPECT_EQ(sheet.Cells(4, 21).Font().Size(), 7);
  EXPECT_TRUE(sheet.Cells(5, 21).Value().IsEmpty());
  EXPECT_EQ(sheet.PageSetup().PrintArea(), "A1:U4");
}

}  // namespace
}  // namespace tessarin::testgen
