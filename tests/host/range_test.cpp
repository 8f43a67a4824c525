// Tests of Range: addressing, values and displayed text, selection, rows and columns, comments,
// phonetic guides and protection.
#include "core/host/range.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "core/host/host_error.h"
#include "tests/error_number.h"

namespace tessarin::host {
namespace {

using testing::ErrorNumber;

class RangeTest : public ::testing::Test {
 protected:
  RangeTest() : book_(app_.Workbooks().Add()), sheet_(book_.Sheet(1)) {}
  Range At(std::string_view address) { return Range::All(sheet_).SubRange(address); }

  Application app_;
  Workbook& book_;
  Worksheet& sheet_;
};

TEST_F(RangeTest, CellsOffsetAndSubRangeAreRelativeToTheFirstArea) {
  const Range base = At("C5:E9");
  EXPECT_EQ(base.Cells(1, 1).Address(kXlA1, false), "C5");
  EXPECT_EQ(base.Cells(7, 4).Address(kXlA1, false), "F11");  // past the area, as the host allows
  EXPECT_EQ(base.SubRange("A1:B2").Address(kXlA1, false), "C5:D6");
  EXPECT_EQ(base.SubRange("2:3").Address(kXlA1, false), "6:7");
  EXPECT_EQ(base.Offset(-4, -2).Address(), "$A$1:$C$5");
  EXPECT_EQ(base.Item(4).Address(kXlA1, false), "C6");
  EXPECT_EQ(ErrorNumber([&] { base.Offset(-5, 0); }), kErrApplicationDefined);
  EXPECT_EQ(base.Cells(0, 1).Address(kXlA1, false), "C4");
  EXPECT_EQ(ErrorNumber([&] { base.Cells(-4, 1); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { Range::All(sheet_).Cells(kMaxRows + 1, 1); }),
            kErrApplicationDefined);
}

TEST_F(RangeTest, CountsCellsRowsAndColumnsAsTheHostDoes) {
  const Range all = Range::All(sheet_);
  EXPECT_EQ(all.Rows().Count(), 1048576);
  EXPECT_EQ(all.Columns().Count(), 16384);
  EXPECT_EQ(all.CellsCount(), int64_t{1048576} * 16384);
  const Range two = At("A1:B3,D1:D10");
  EXPECT_EQ(two.Count(), 16);
  EXPECT_EQ(two.Rows().Count(), 3);  // the first area's rows
  EXPECT_EQ(two.Columns().Count(), 2);
  EXPECT_EQ(two.AreasCount(), 2);
  EXPECT_EQ(two.Areas(2).Address(kXlA1, false), "D1:D10");
  EXPECT_EQ(ErrorNumber([&] { two.Areas(3); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(At("B2:D4").Rows(2).Address(kXlA1, false), "B3:D3");
  EXPECT_EQ(At("B2:D4").Columns(3).Address(kXlA1, false), "D2:D4");
  EXPECT_EQ(At("B2:D4").Rows(2).Count(), 1);
  EXPECT_EQ(At("B2").EntireRow().Address(kXlR1C1), "R2");
  EXPECT_EQ(At("B2:C2").EntireColumn().Address(kXlR1C1), "C2:C3");
  EXPECT_EQ(Range::Span(At("D4"), At("B2:B9")).Address(kXlA1, false), "B2:D9");
}

TEST_F(RangeTest, AddressInR1C1ForEveryShape) {
  EXPECT_EQ(At("B3").Address(kXlR1C1), "R3C2");
  EXPECT_EQ(At("B3:D5").Address(kXlR1C1), "R3C2:R5C4");
  EXPECT_EQ(At("3:5").Address(kXlR1C1), "R3:R5");
  EXPECT_EQ(At("B:D").Address(kXlR1C1), "C2:C4");
  EXPECT_EQ(At("A1:B1,C3").Address(kXlR1C1), "R1C1:R1C2,R3C3");
  EXPECT_EQ(At("A1:B1,C3").Address(), "$A$1:$B$1,$C$3");
  EXPECT_EQ(ErrorNumber([&] { At("A1").Address(7); }), kErrInvalidProcedureCall);
}

TEST_F(RangeTest, ValuesKeepTheirTypes) {
  At("A1").SetNumber(12);
  At("A2").SetText("漢字");
  At("A3").SetValue(CellValue::Boolean(true));
  At("A4").SetValue(CellValue::Error(CellError::kDiv0));
  EXPECT_EQ(At("A1").Value(), CellValue::Number(12));
  EXPECT_EQ(At("A2").Value(), CellValue::Text("漢字"));
  EXPECT_EQ(At("A3").Value(), CellValue::Boolean(true));
  EXPECT_EQ(At("A4").Value(), CellValue::Error(CellError::kDiv0));
  EXPECT_TRUE(At("A5").Value().IsEmpty());
  At("A1:A3").SetValue(CellValue{});
  EXPECT_TRUE(At("A2").Value().IsEmpty());
  At("C1:D2,F1").SetText("X");
  EXPECT_EQ(sheet_.cells().CellCount(), 6u);  // A4 and the five X cells
  EXPECT_EQ(At("F1").Value(), CellValue::Text("X"));
}

TEST_F(RangeTest, EmptyTextEmptiesTheCellLikeAnEmptyValue) {
  At("B2").SetText("漢字");
  At("B2").Phonetics().SetText("かんじ");
  At("B2").SetText("");
  EXPECT_TRUE(At("B2").Value().IsEmpty());
  EXPECT_EQ(sheet_.Extra(2, 2), nullptr);  // the reading went with the text
  At("C1:C2").SetText("x");
  At("C1:C2").SetText("");
  EXPECT_TRUE(At("C1").Value().IsEmpty());
  EXPECT_TRUE(At("C2").Value().IsEmpty());
  const size_t cells = sheet_.cells().CellCount();
  At("Z99").SetText("");  // nothing to empty: no cell is made
  EXPECT_EQ(sheet_.cells().CellCount(), cells);
  EXPECT_TRUE(At("Z99").Value().IsEmpty());
}

TEST_F(RangeTest, TextShowsValuesThroughTheirNumberFormat) {
  const Range u1 = At("U1");
  u1.SetNumberFormatLocal("\"No.\"0");
  u1.SetNumber(1);
  EXPECT_EQ(u1.Text(), "No.1");
  At("A1").SetNumber(0.1 + 0.2);
  EXPECT_EQ(At("A1").Text(), "0.3");
  At("A2").SetNumber(123456789012345);
  EXPECT_EQ(At("A2").Text(), "1.23457E+14");
  At("A3").SetNumberFormat("#,##0");
  At("A3").SetNumber(1234567);
  EXPECT_EQ(At("A3").Text(), "1,234,567");
  At("A4").SetNumberFormat("0%");
  At("A4").SetNumber(0.5);
  EXPECT_EQ(At("A4").Text(), "50%");
  At("A5").SetValue(CellValue::Boolean(false));
  EXPECT_EQ(At("A5").Text(), "FALSE");
  At("A6").SetValue(CellValue::Error(CellError::kNA));
  EXPECT_EQ(At("A6").Text(), "#N/A");
  At("A7").SetNumberFormat("\"[\"@\"]\"");
  At("A7").SetText("問");
  EXPECT_EQ(At("A7").Text(), "[問]");
  At("A8").SetNumberFormat("0.0");
  At("A8").SetText("abc");
  EXPECT_EQ(At("A8").Text(), "abc");
  EXPECT_EQ(At("A9").Text(), "");
}

TEST_F(RangeTest, NumberFormatLocalNamesGeneral) {
  EXPECT_EQ(At("A1").NumberFormat(), "General");
  EXPECT_EQ(At("A1").NumberFormatLocal(), "G/標準");
  At("A1").SetNumberFormatLocal("G/標準\"円\"");
  EXPECT_EQ(At("A1").NumberFormat(), "General\"円\"");
  At("A1").SetNumberFormat("\"General\"0");
  EXPECT_EQ(At("A1").NumberFormatLocal(), "\"General\"0");  // quoted text stays
}

TEST_F(RangeTest, FormulaR1C1GivesConstantsOrFormulaText) {
  At("B2").SetNumber(1.5);
  EXPECT_EQ(At("B2").FormulaR1C1(), "1.5");
  At("B3").SetValue(CellValue::Boolean(true));
  EXPECT_EQ(At("B3").FormulaR1C1(), "TRUE");
  EXPECT_EQ(At("B4").FormulaR1C1(), "");
  At("C3").SetFormulaR1C1("=R[-1]C[-1]*2+SUM(R1C1:R2C2)&\"R1C1\"");
  EXPECT_EQ(At("C3").Formula(), "=B2*2+SUM($A$1:$B$2)&\"R1C1\"");
  EXPECT_EQ(At("C3").FormulaR1C1(), "=R[-1]C[-1]*2+SUM(R1C1:R2C2)&\"R1C1\"");
  EXPECT_TRUE(At("C3").Value().IsEmpty());  // nothing is calculated
  At("C3").SetFormulaR1C1("0427");
  EXPECT_EQ(At("C3").Value(), CellValue::Number(427));
  EXPECT_EQ(At("C3").Formula(), "427");
  At("C4").SetFormulaR1C1("=R[-4]C");
  EXPECT_EQ(At("C4").Formula(), "=#REF!");
}

TEST_F(RangeTest, ClearContentsKeepsFormatsAndComments) {
  const Range a1 = At("A1");
  a1.SetText("漢字");
  a1.Font().SetBold(true);
  a1.Characters(1, 1).Font().SetSize(20);
  a1.Phonetics().SetText("かんじ");
  a1.AddComment("メモ");
  At("B1").SetText("x");
  At("A1:B1").ClearContents();
  EXPECT_TRUE(a1.Value().IsEmpty());
  EXPECT_TRUE(a1.Font().Bold());
  EXPECT_EQ(a1.Comment().Text(), "メモ");
  const CellExtra* extra = sheet_.Extra(1, 1);
  ASSERT_NE(extra, nullptr);
  EXPECT_TRUE(extra->runs.empty());
  EXPECT_FALSE(extra->phonetic.has_value());
  EXPECT_EQ(sheet_.cells().Find(1, 2), nullptr);  // nothing of its own left: dropped
}

TEST_F(RangeTest, ClearContentsOfAHugeTwoAreaRangeKeepsTheHeader) {
  for (int r = 1; r <= 24; ++r) {
    for (int c = 1; c <= 21; ++c) At("A1").Cells(r, c).SetNumber(r * 100 + c);
  }
  At("A9:U65536,A1:T8").ClearContents();
  EXPECT_EQ(At("U8").Value(), CellValue::Number(821));
  EXPECT_TRUE(At("U9").Value().IsEmpty());
  EXPECT_TRUE(At("T8").Value().IsEmpty());
  EXPECT_EQ(sheet_.cells().CellCount(), 8u);
}

TEST_F(RangeTest, SelectNeedsTheActiveSheetAndRemembersItPerSheet) {
  At("D5:D12").Select();
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "D5:D12");
  EXPECT_EQ(app_.ActiveCell().Address(kXlA1, false), "D5");
  At("A1:T1,A5:T5").Select();
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "A1:T1,A5:T5");
  At("B5").Activate();  // inside the selection: only the active cell moves
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "A1:T1,A5:T5");
  EXPECT_EQ(app_.ActiveCell().Address(kXlA1, false), "B5");
  At("Z9").Activate();
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "Z9");

  Sheet other = app_.Sheets().Add();
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "A1");
  EXPECT_EQ(ErrorNumber([&] { At("C3").Select(); }), kErrApplicationDefined);
  other.Range("3:5").Select();
  EXPECT_EQ(app_.Selection().Address(kXlR1C1), "R3:R5");
  app_.SheetOf(sheet_).Activate();
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "Z9");
}

TEST_F(RangeTest, RowHeightsAndColumnWidths) {
  EXPECT_DOUBLE_EQ(At("A1").RowHeight(), 13.5);
  EXPECT_DOUBLE_EQ(At("A1").ColumnWidth(), 8.38);
  At("A2:B3,A7").SetRowHeight("190");
  EXPECT_DOUBLE_EQ(At("Q3").RowHeight(), 190);
  EXPECT_DOUBLE_EQ(At("A7").RowHeight(), 190);
  EXPECT_DOUBLE_EQ(At("A4").RowHeight(), 13.5);
  app_.Columns("A:T").SetColumnWidth(6.4);
  EXPECT_DOUBLE_EQ(At("T1").ColumnWidth(), 6.4);
  EXPECT_DOUBLE_EQ(At("U1").ColumnWidth(), 8.38);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetRowHeight("高い"); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetRowHeight(410); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { At("A1").SetColumnWidth(-1); }), kErrApplicationDefined);
  app_.Columns("C").SetRowHeight(20);  // every row: the sheet default, rows lose their own
  EXPECT_DOUBLE_EQ(At("A2").RowHeight(), 20);
  EXPECT_DOUBLE_EQ(At("A99999").RowHeight(), 20);
}

TEST_F(RangeTest, CommentsAddScaleAndDelete) {
  const RangeComment c = At("D1").AddComment("【重要項目】\n問題文を入力します。");
  EXPECT_EQ(ErrorNumber([&] { At("D1").AddComment("again"); }), kErrApplicationDefined);
  EXPECT_EQ(At("D1").Comment().Text(), "【重要項目】\n問題文を入力します。");
  c.Shape().ScaleHeight(1.3, 0, 0);
  c.Shape().ScaleHeight(2, 0, 0);  // relative to the current size
  EXPECT_NEAR(c.Shape().Height(), kDefaultCommentHeight * 2.6, 1e-9);
  c.Shape().ScaleWidth(1.75, 0, 0);
  EXPECT_NEAR(c.Shape().Width(), kDefaultCommentWidth * 1.75, 1e-9);
  c.Shape().ScaleWidth(1, -1, 0);  // relative to the original size
  EXPECT_NEAR(c.Shape().Width(), kDefaultCommentWidth, 1e-9);
  EXPECT_EQ(ErrorNumber([&] { c.Shape().ScaleHeight(0); }), kErrInvalidProcedureCall);
  EXPECT_EQ(app_.ActiveSheet().Comments().Count(), 1);
  c.Delete();
  EXPECT_FALSE(At("D1").Comment().exists());
  EXPECT_EQ(ErrorNumber([&] { At("D1").Comment().Text(); }), kErrObjectVariableNotSet);
  EXPECT_EQ(sheet_.cells().Find(1, 4) != nullptr ? sheet_.Extra(1, 4) : nullptr, nullptr);
}

TEST_F(RangeTest, SheetCommentsCountAndDeleteAll) {
  At("B2").AddComment("b");
  At("A1").AddComment("a");
  At("A2").AddComment("c");
  const SheetComments comments = app_.ActiveSheet().Comments();
  EXPECT_EQ(comments.Count(), 3);
  EXPECT_EQ(comments.Item(1).Text(), "a");
  EXPECT_EQ(comments.Item(3).Text(), "b");
  EXPECT_EQ(ErrorNumber([&] { comments.Item(4); }), kErrSubscriptOutOfRange);
  comments.Delete();
  EXPECT_EQ(comments.Count(), 0);
}

TEST_F(RangeTest, PhoneticsVisibleAndText) {
  At("A1").SetText("漢字");
  At("A1").Phonetics().SetText("かんじ");
  EXPECT_EQ(At("A1").Phonetics().Text(), "かんじ");
  EXPECT_FALSE(At("A1").Phonetics().Visible());
  At("A1").Phonetics().SetVisible(true);
  EXPECT_TRUE(At("A1").Phonetics().Visible());
  At("C3").Phonetics().SetVisible(true);  // an empty single cell still takes the flag
  EXPECT_TRUE(At("C3").Phonetics().Visible());
  At("D1:D100000").Phonetics().SetVisible(true);  // only stored cells
  EXPECT_EQ(sheet_.cells().CellCount(), 2u);
  At("A1").SetText("別");
  EXPECT_EQ(At("A1").Phonetics().Text(), "");  // new text, no reading
}

TEST_F(RangeTest, PhoneticsAddReplacesTheRunsItOverlaps) {
  At("A1").SetText("漢字を書く");
  At("A1").Phonetics().Add(4, 1, "か");
  At("A1").Phonetics().Add(1, 2, "かん");
  At("A1").Phonetics().Add(1, 2, "かんじ");
  EXPECT_EQ(At("A1").Phonetics().Text(), "かんじか");  // in text order, the first reading replaced
  EXPECT_EQ(ErrorNumber([&] { At("A1").Phonetics().Add(5, 2, "く"); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumber([&] { At("A1").Phonetics().Add(1, 1, ""); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumber([&] { At("B1").Phonetics().Add(1, 1, "x"); }), kErrInvalidProcedureCall);
}

TEST_F(RangeTest, ProtectedSheetRefusesEveryWrite) {
  At("A1").SetText("x");
  At("B1").AddComment("c");
  app_.ActiveSheet().Protect();
  const std::vector<std::function<void()>> writes = {
      [&] { At("A1").SetText("y"); },
      [&] { At("A1").SetNumber(1); },
      [&] { At("A1").ClearContents(); },
      [&] { At("A1").SetFormulaR1C1("=1"); },
      [&] { At("A1").Font().SetBold(true); },
      [&] { At("A1").Characters(1, 1).Font().SetBold(true); },
      [&] { At("A1").Borders(kXlEdgeLeft).SetLineStyle(kXlContinuous); },
      [&] { At("A1").SetHorizontalAlignment(kXlCenter); },
      [&] { At("A1:B2").SetMergeCells(true); },
      [&] { At("A1").SetRowHeight(20); },
      [&] { At("A1").AddComment("c"); },
      [&] { At("B1").Comment().Delete(); },
      [&] { At("A1").Phonetics().SetVisible(true); },
      [&] { app_.ActiveSheet().Comments().Delete(); },
  };
  for (size_t i = 0; i < writes.size(); ++i)
    EXPECT_EQ(ErrorNumber(writes[i]), kErrApplicationDefined) << i;
  EXPECT_EQ(At("A1").Value(), CellValue::Text("x"));
  EXPECT_FALSE(At("A1").Font().Bold());
  app_.ActiveSheet().Unprotect();
  At("A1").SetText("y");
  EXPECT_EQ(At("A1").Text(), "y");
}

}  // namespace
}  // namespace tessarin::host
