// Tests of range formats: copy-on-write styles, whole rows and columns, huge areas, borders,
// fonts and character runs.
#include <gtest/gtest.h>

#include <random>

#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "tests/error_number.h"

namespace tessarin::host {
namespace {

using testing::ErrorNumber;

class FormatTest : public ::testing::Test {
 protected:
  FormatTest() : book_(app_.Workbooks().Add()), sheet_(book_.Sheet(1)) {}
  Range At(std::string_view address) { return Range::All(sheet_).SubRange(address); }
  const BorderLine& Side(std::string_view cell, BorderSlot slot) {
    const Area a = ParseArea(cell);
    return sheet_.StyleAt(a.top, a.left).borders[slot];
  }

  Application app_;
  Workbook& book_;
  Worksheet& sheet_;
};

TEST_F(FormatTest, ChangingOneCellsFontLeavesItsTwinAlone) {
  At("A1:B1").Font().SetSize(14);
  ASSERT_EQ(sheet_.cells().Find(1, 1)->style, sheet_.cells().Find(1, 2)->style);  // shared
  At("A1").Font().SetBold(true);
  EXPECT_TRUE(At("A1").Font().Bold());
  EXPECT_FALSE(At("B1").Font().Bold());
  EXPECT_EQ(At("B1").Font().Size(), 14);
  At("B1").Font().SetBold(true);
  EXPECT_EQ(sheet_.cells().Find(1, 1)->style,
            sheet_.cells().Find(1, 2)->style);  // deduplicated again
  EXPECT_EQ(At("A1").Font().FontStyle(), "太字");
  At("A1").Font().SetFontStyle("標準");
  EXPECT_FALSE(At("A1").Font().Bold());
  EXPECT_EQ(ErrorNumber([&] { At("A1").Font().SetFontStyle("Heavy"); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { At("A1").Font().SetSize(0); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { At("A1").Font().SetUnderline(3); }), kErrApplicationDefined);
}

TEST_F(FormatTest, FullBlockOfFontPropertiesReadsBack) {
  const RangeFont f = At("U2").Font();
  f.SetName("Klee One");
  f.SetFontStyle("太字 斜体");
  f.SetSize(16);
  f.SetStrikethrough(true);
  f.SetSuperscript(true);
  f.SetSubscript(true);  // excludes superscript
  f.SetOutlineFont(true);
  f.SetShadow(true);
  f.SetUnderline(kXlUnderlineStyleDouble);
  f.SetColorIndex(3);
  const Font got = At("U2").Font().Get();
  EXPECT_EQ(got.name, "Klee One");
  EXPECT_TRUE(got.bold && got.italic && got.strikethrough && got.subscript && got.outline &&
              got.shadow);
  EXPECT_FALSE(got.superscript);
  EXPECT_EQ(got.size, 16);
  EXPECT_EQ(got.underline, kXlUnderlineStyleDouble);
  EXPECT_EQ(got.color_index, 3);
}

TEST_F(FormatTest, AlignmentPropertiesValidateAndReadBack) {
  const Range r = At("A3:T3,A7:T7");
  r.SetHorizontalAlignment(kXlCenter);
  r.SetVerticalAlignment(kXlTop);
  r.SetOrientation(kXlVertical);
  r.SetShrinkToFit(true);
  r.SetWrapText(true);
  r.SetAddIndent(true);
  r.SetIndentLevel(2);
  EXPECT_EQ(At("T7").HorizontalAlignment(), kXlCenter);
  EXPECT_EQ(At("T7").VerticalAlignment(), kXlTop);
  EXPECT_EQ(At("T7").Orientation(), kXlVertical);
  EXPECT_TRUE(At("A3").ShrinkToFit() && At("A3").WrapText() && At("A3").AddIndent());
  EXPECT_EQ(At("A3").IndentLevel(), 2);
  EXPECT_EQ(At("A4").HorizontalAlignment(), kXlGeneral);
  EXPECT_EQ(At("A4").Orientation(), kXlHorizontal);
  At("A4").SetOrientation(0);
  EXPECT_EQ(At("A4").Orientation(), kXlHorizontal);
  At("A4").SetOrientation(45);
  EXPECT_EQ(At("A4").Orientation(), 45);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetHorizontalAlignment(kXlTop); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetVerticalAlignment(kXlLeft); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetOrientation(91); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetIndentLevel(16); }), kErrApplicationDefined);
}

TEST_F(FormatTest, MergeCellsMergesEachAreaAndUnmergesOverlaps) {
  At("A1:B2,D1:E1").SetMergeCells(true);
  EXPECT_TRUE(At("B2").MergeCells());
  EXPECT_TRUE(At("E1").MergeCells());
  EXPECT_FALSE(At("C1").MergeCells());
  EXPECT_EQ(sheet_.merges().size(), 2u);
  At("B1:D1").SetMergeCells(true);  // dissolves both, merges the new one
  ASSERT_EQ(sheet_.merges().size(), 1u);
  EXPECT_EQ(sheet_.merges()[0], (Area{1, 2, 1, 4}));
  At("C1").SetMergeCells(false);
  EXPECT_TRUE(sheet_.merges().empty());
  At("Q5").SetMergeCells(true);  // one cell: nothing to merge
  EXPECT_TRUE(sheet_.merges().empty());
}

TEST_F(FormatTest, HugeRangeBordersNoneCreatesNoCells) {
  At("B2").SetText("x");
  const Range big = At("A1:U65536");
  for (int index = kXlDiagonalDown; index <= kXlInsideHorizontal; ++index) {
    big.Borders(index).SetLineStyle(kXlNone);
  }
  EXPECT_EQ(sheet_.cells().CellCount(), 1u);
  EXPECT_EQ(sheet_.cells().MaxRow(), 2);
  Range::All(sheet_).Borders(kXlEdgeTop).SetLineStyle(kXlNone);
  app_.Rows("1:65536").SetHorizontalAlignment(kXlGeneral);
  app_.Columns("A:T").Font().SetBold(false);
  EXPECT_EQ(sheet_.cells().CellCount(), 1u);
  EXPECT_EQ(sheet_.cells().MaxRow(), 2);
  EXPECT_EQ(book_.styles().size(), 1u);
}

TEST_F(FormatTest, WholeColumnsAndRowsUseLineFormats) {
  At("C7").SetNumber(1);
  app_.Columns("A:T").SetColumnWidth(6.4);
  app_.Columns("B:D").Font().SetSize(20);
  EXPECT_EQ(sheet_.cells().CellCount(), 1u);  // the stored cell changed, no cell was made
  EXPECT_EQ(At("B500000").Font().Size(), 20);
  EXPECT_EQ(At("C7").Font().Size(), 20);
  EXPECT_EQ(At("E1").Font().Size(), 11);
  app_.Rows("3:4").Font().SetBold(true);
  EXPECT_TRUE(At("XFD3").Font().Bold());
  // Where a formatted row meets a formatted column the cell needs its own format.
  EXPECT_EQ(At("C3").Font().Size(), 20);
  EXPECT_TRUE(At("C3").Font().Bold());
  EXPECT_EQ(At("A3").Font().Size(), 11);
  EXPECT_EQ(sheet_.cells().CellCount(), 1u + 2 * 3);
  app_.Columns("C").SetHorizontalAlignment(kXlCenter);
  EXPECT_EQ(At("C3").HorizontalAlignment(), kXlCenter);
  EXPECT_EQ(At("C1000").HorizontalAlignment(), kXlCenter);
  EXPECT_TRUE(At("C3").Font().Bold());
}

TEST_F(FormatTest, WholeSheetFormatChangesEveryColumnAndFormattedRow) {
  app_.Rows(5).Font().SetItalic(true);
  At("D9").SetText("x");
  app_.Cells().Font().SetSize(9);
  EXPECT_EQ(At("XFD1048576").Font().Size(), 9);
  EXPECT_EQ(At("A5").Font().Size(), 9);
  EXPECT_TRUE(At("A5").Font().Italic());
  EXPECT_EQ(At("D9").Font().Size(), 9);
  EXPECT_EQ(sheet_.cells().CellCount(), 1u);
}

TEST_F(FormatTest, EmptyCellsGetCellsOnlyWhereTheirLookChanges) {
  At("A1:C3").Font().SetBold(true);
  EXPECT_EQ(sheet_.cells().CellCount(), 9u);
  At("A1:C3").Font().SetBold(false);  // back to the normal style: the cells stay, styled normal
  EXPECT_EQ(At("B2").Font().Bold(), false);
  EXPECT_EQ(sheet_.cells().Find(2, 2)->style, kDefaultStyle);
}

TEST_F(FormatTest, EdgeBordersTouchOnlyTheOuterCellsOfEachArea) {
  const Range r = At("A3:C4,E3:E3");
  r.Borders(kXlEdgeLeft).SetLineStyle(kXlContinuous);
  r.Borders(kXlEdgeTop).SetLineStyle(kXlDash);
  r.Borders(kXlEdgeBottom).SetWeight(kXlMedium);  // a weight draws a continuous line
  r.Borders(kXlEdgeRight).SetColorIndex(3);
  EXPECT_EQ(Side("A3", kLeft).line_style, kXlContinuous);
  EXPECT_EQ(Side("A4", kLeft).line_style, kXlContinuous);
  EXPECT_FALSE(Side("B3", kLeft).IsSet());
  EXPECT_EQ(Side("B3", kTop).line_style, kXlDash);
  EXPECT_FALSE(Side("B4", kTop).IsSet());
  EXPECT_EQ(Side("B4", kBottom).line_style, kXlContinuous);
  EXPECT_EQ(Side("B4", kBottom).weight, kXlMedium);
  EXPECT_FALSE(Side("B3", kBottom).IsSet());
  EXPECT_EQ(Side("C3", kRight).color_index, 3);
  EXPECT_FALSE(Side("B3", kRight).IsSet());
  EXPECT_EQ(Side("E3", kLeft).line_style, kXlContinuous);  // second area: its own edges
  EXPECT_EQ(Side("E3", kRight).color_index, 3);
  EXPECT_EQ(r.Borders(kXlEdgeBottom).Weight(), kXlMedium);
  EXPECT_EQ(r.Borders(kXlEdgeRight).ColorIndex(), 3);
  EXPECT_EQ(ErrorNumber([&] { r.Borders(4); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { r.Borders(13); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { r.Borders(7).SetLineStyle(99); }), kErrApplicationDefined);
}

TEST_F(FormatTest, InsideBordersAndDiagonals) {
  const Range r = At("A3:C4");
  r.Borders(kXlInsideVertical).SetLineStyle(kXlContinuous);
  EXPECT_FALSE(Side("A3", kLeft).IsSet());
  EXPECT_TRUE(Side("A3", kRight).IsSet());
  EXPECT_TRUE(Side("B4", kLeft).IsSet() && Side("B4", kRight).IsSet());
  EXPECT_FALSE(Side("C3", kRight).IsSet());
  EXPECT_FALSE(Side("B3", kTop).IsSet());
  r.Borders(kXlInsideHorizontal).SetLineStyle(kXlDot);
  EXPECT_EQ(Side("B3", kBottom).line_style, kXlDot);
  EXPECT_EQ(Side("B4", kTop).line_style, kXlDot);
  EXPECT_FALSE(Side("B4", kBottom).IsSet());
  EXPECT_EQ(r.Borders(kXlInsideHorizontal).LineStyle(), kXlDot);
  EXPECT_EQ(At("A3:A4").Borders(kXlInsideVertical).LineStyle(), kXlNone);
  r.Borders(kXlDiagonalUp).SetLineStyle(kXlContinuous);
  EXPECT_TRUE(Side("C4", kDiagonalUp).IsSet());
  EXPECT_FALSE(Side("D4", kDiagonalUp).IsSet());
}

TEST_F(FormatTest, AnswerBoxesThenClearingLeavesNoBorderAnywhere) {
  const Range boxes = At("A3:T3,A7:T7");
  boxes.Borders(kXlDiagonalDown).SetLineStyle(kXlNone);
  boxes.Borders(kXlDiagonalUp).SetLineStyle(kXlNone);
  for (int index : {kXlEdgeLeft, kXlEdgeTop, kXlEdgeBottom, kXlEdgeRight, kXlInsideVertical}) {
    boxes.Borders(index).SetLineStyle(kXlContinuous);
    boxes.Borders(index).SetWeight(kXlThin);
    boxes.Borders(index).SetColorIndex(kXlAutomatic);
  }
  for (std::string_view cell : {"A3", "J3", "T7"}) {
    for (BorderSlot s : {kLeft, kTop, kBottom, kRight})
      EXPECT_TRUE(Side(cell, s).IsSet()) << cell << s;
  }
  const Range all = At("A1:U65536");
  for (int index = kXlDiagonalDown; index <= kXlInsideHorizontal; ++index)
    all.Borders(index).SetLineStyle(kXlNone);
  for (std::string_view cell : {"A3", "J3", "T7"}) {
    for (const BorderLine& b : sheet_.StyleAt(ParseArea(cell).top, ParseArea(cell).left).borders) {
      EXPECT_FALSE(b.IsSet()) << cell;
    }
  }
}

TEST_F(FormatTest, CharactersSplitAndMergeRuns) {
  const Range u2 = At("U2");
  u2.SetText("タイトル　   制限時間３分");
  u2.Font().SetSize(11);
  u2.Characters(1, 9).Font().SetName("ＭＳ Ｐゴシック");
  u2.Characters(1, 9).Font().SetFontStyle("太字");
  u2.Characters(1, 9).Font().SetSize(16);
  const CellExtra* e = sheet_.Extra(2, 21);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->runs.size(), 2u);
  EXPECT_EQ(e->runs[0].start, 0u);
  EXPECT_EQ(e->runs[0].length, 9u);
  EXPECT_TRUE(e->runs[0].font.bold);
  EXPECT_EQ(e->runs[0].font.size, 16);
  EXPECT_EQ(e->runs[1].start, 9u);
  EXPECT_EQ(e->runs[1].length, 5u);
  EXPECT_EQ(e->runs[1].font.size, 11);
  EXPECT_EQ(u2.Characters(3, 1).Font().Size(), 16);
  EXPECT_EQ(u2.Characters(12, 1).Font().Size(), 11);
  EXPECT_EQ(u2.Characters(8, 3).Text(), " 制限");

  u2.Characters(5, 2).Font().SetItalic(true);  // splits the first run in three
  ASSERT_EQ(sheet_.Extra(2, 21)->runs.size(), 4u);
  u2.Characters(5, 2).Font().SetItalic(false);  // and merges back
  ASSERT_EQ(sheet_.Extra(2, 21)->runs.size(), 2u);
  u2.Characters(1, 9).Font().SetSize(11);
  u2.Characters(1, 9).Font().SetFontStyle("標準");  // every character has the cell font again
  EXPECT_EQ(sheet_.Extra(2, 21), nullptr);
  u2.Characters(20, 3).Font().SetBold(true);  // past the text: nothing
  EXPECT_EQ(sheet_.Extra(2, 21), nullptr);
  EXPECT_EQ(ErrorNumber([&] { u2.Characters(0, 1); }), kErrInvalidProcedureCall);
}

TEST_F(FormatTest, CellFontChangeReachesEveryRun) {
  const Range a1 = At("A1");
  a1.SetText("制限時間５分");
  a1.Characters(1, 6).Font().SetFontStyle("標準");  // same as the cell: no runs
  EXPECT_EQ(sheet_.Extra(1, 1), nullptr);
  a1.Characters(1, 2).Font().SetSize(20);
  a1.Font().SetName("Klee One");
  const CellExtra* e = sheet_.Extra(1, 1);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->runs.size(), 2u);
  EXPECT_EQ(e->runs[0].font.name, "Klee One");
  EXPECT_EQ(e->runs[1].font.name, "Klee One");
  a1.Font().SetSize(20);  // now every run equals the cell font
  EXPECT_EQ(sheet_.Extra(1, 1), nullptr);
}

// Gathered edits, applied together, give every character the font that the same edits made one
// by one on a plain array of fonts give it; overlapping spans and spans past the end included.
TEST_F(FormatTest, GatheredCharacterEditsMatchEditsOfEachCharacter) {
  std::mt19937 random(8);
  for (int round = 0; round < 40; ++round) {
    const Range a1 = At("A" + std::to_string(round + 1));
    a1.SetText("漢字のテストを作ってから答えを書きます。山川田日月火水木金土");
    a1.Font().SetSize(11);
    std::vector<Font> expected(30, a1.Font().Get());
    CharacterEdits gathered;
    for (int e = 0; e < 25; ++e) {
      const int start = std::uniform_int_distribution<int>(1, 33)(random);
      const int length = std::uniform_int_distribution<int>(-1, 8)(random);
      const int end = length < 0 ? 30 : std::min(30, start - 1 + length);
      const double size = std::uniform_int_distribution<int>(8, 14)(random);
      const bool bold = random() % 2;
      for (int k = start - 1; k < end; ++k) {
        expected[k].size = size;
        expected[k].bold = bold;
      }
      const RangeFont font = a1.Characters(start, length).Font().GatherInto(gathered);
      font.SetSize(size);
      font.SetBold(bold);
    }
    a1.ApplyCharacterEdits(gathered);
    for (int k = 0; k < 30; ++k) {
      const Font got = a1.Characters(k + 1, 1).Font().Get();
      ASSERT_EQ(got.size, expected[k].size) << "round " << round << " character " << k;
      ASSERT_EQ(got.bold, expected[k].bold) << "round " << round << " character " << k;
    }
  }
}

TEST_F(FormatTest, CharactersOfANumberFormatTheWholeCell) {
  At("U1").SetNumber(1);
  At("U1").Characters(1, 1).Font().SetBold(true);
  EXPECT_TRUE(At("U1").Font().Bold());
  EXPECT_EQ(sheet_.Extra(1, 21), nullptr);
}

}  // namespace
}  // namespace tessarin::host

namespace tessarin::host {
namespace {

// Formats set on an empty sheet through row, column and sparse cell formats must look the same
// as on a sheet where every watched position is a stored cell (where each cell is just edited).
TEST(FormatEngine, SparseFormatsLookLikeEditingEveryCell) {
  Application app;
  Workbook& book = app.Workbooks().Add();
  Worksheet& sparse = book.Sheet(1);
  Worksheet& dense = book.AddSheet("dense", 2);
  const std::vector<int32_t> rows = {1, 2, 3, 4, 5, 6, 7, 8, 1000, kMaxRows};
  const std::vector<int32_t> cols = {1, 2, 3, 4, 5, 6, 100, kMaxColumns};
  for (int32_t r : rows) {
    for (int32_t c : cols) dense.SetNumber(r, c, 0);
  }
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int step = 0; step < 400; ++step) {
    Area area;
    switch (next(5)) {
      case 0: {  // whole rows; the last row only on its own, as a million row formats is slow
        int32_t r1 = rows[next(rows.size())], r2 = rows[next(rows.size() - 1)];
        if (r1 == kMaxRows) r2 = kMaxRows;
        area = {std::min(r1, r2), 1, std::max(r1, r2), kMaxColumns};
        break;
      }
      case 1: {  // whole columns; the last column only on its own
        int32_t c1 = cols[next(cols.size())], c2 = cols[next(cols.size() - 1)];
        if (c1 == kMaxColumns) c2 = kMaxColumns;
        area = {1, std::min(c1, c2), kMaxRows, std::max(c1, c2)};
        break;
      }
      case 2:
        area = {1, 1, kMaxRows, kMaxColumns};
        break;
      default: {
        const int32_t r1 = rows[next(8)], r2 = rows[next(8)], c1 = cols[next(6)],
                      c2 = cols[next(6)];
        area = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
      }
    }
    const uint32_t kind = next(6), value = next(4);
    const int index = kXlDiagonalDown + static_cast<int>(next(8));
    for (Worksheet* sheet : {&sparse, &dense}) {
      const Range range(*sheet, area);
      switch (kind) {
        case 0:
          range.Font().SetSize(10 + value);
          break;
        case 1:
          range.Font().SetBold(value % 2 == 0);
          break;
        case 2:
          range.SetHorizontalAlignment(value == 0 ? kXlCenter : kXlGeneral);
          break;
        default:
          range.Borders(index).SetLineStyle(value == 0 ? kXlNone : kXlContinuous);
          break;
      }
    }
    for (int32_t r : rows) {
      for (int32_t c : cols) {
        ASSERT_EQ(sparse.styles().Get(sparse.EffectiveStyle(r, c)),
                  dense.styles().Get(dense.EffectiveStyle(r, c)))
            << "step " << step << " at " << FormatA1(Area::Cell(r, c)) << " after editing "
            << FormatA1(area);
      }
    }
  }
}

// ShowsNothing answers as DisplayedText(...).empty() does, whatever the value and its format.
TEST_F(FormatTest, ShowsNothingAgreesWithTheDisplayedText) {
  At("A1").SetValue(CellValue::Text("問題"));
  At("A2").SetValue(CellValue::Text(""));
  At("A3").SetNumber(0);
  At("A4").SetValue(CellValue::Text("隠す"));
  At("A4").SetNumberFormat(";;;");  // a text section that shows nothing
  At("A5").SetNumber(12);
  At("A5").SetNumberFormat(";;;");
  At("A6").SetValue(CellValue::Text("文"));
  At("A6").SetNumberFormat("@");
  At("A7").SetValue(CellValue::Boolean(false));
  At("A9").SetNumberFormat("0.0");  // formatted, but no value
  for (int32_t row = 1; row <= 10; ++row) {
    EXPECT_EQ(ShowsNothing(sheet_, row, 1), DisplayedText(sheet_, row, 1).empty()) << "row " << row;
  }
  EXPECT_FALSE(ShowsNothing(sheet_, 1, 1));
  EXPECT_TRUE(ShowsNothing(sheet_, 4, 1));
  EXPECT_TRUE(ShowsNothing(sheet_, 5, 1));
}

}  // namespace
}  // namespace tessarin::host
