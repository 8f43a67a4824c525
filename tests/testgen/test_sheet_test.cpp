// Tests of the test sheet layout: first-time formats, page setup, clearing, answer boxes and the
// row heights and column widths from the settings.
#include "core/testgen/test_sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/host/constants.h"
#include "core/testgen/selection.h"
#include "core/testgen/test_sheet_layout.h"
#include "tests/testgen/testgen_fixture.h"

namespace tessarin::testgen {
namespace {

using host::Range;

struct Expected {
  int horizontal;
  int vertical;
  int orientation;  // as the host reads it back
  bool shrink;
  double size;  // 0: the font is not checked
  bool bold = false;
};

void ExpectFormat(const Range& cell, const Expected& e) {
  SCOPED_TRACE(cell.Address(host::kXlA1, false));
  EXPECT_EQ(cell.HorizontalAlignment(), e.horizontal);
  EXPECT_EQ(cell.VerticalAlignment(), e.vertical);
  EXPECT_EQ(cell.Orientation(), e.orientation);
  EXPECT_EQ(cell.ShrinkToFit(), e.shrink);
  EXPECT_FALSE(cell.WrapText());
  EXPECT_FALSE(cell.AddIndent());
  EXPECT_FALSE(cell.MergeCells());
  if (e.size == 0) return;
  const host::RangeFont font = cell.Font();
  EXPECT_EQ(font.Name(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(font.Size(), e.size);
  EXPECT_EQ(font.Bold(), e.bold);
  EXPECT_EQ(font.FontStyle(), e.bold ? "太字" : "標準");
  EXPECT_EQ(font.Underline(), host::kXlUnderlineStyleNone);
  EXPECT_EQ(font.ColorIndex(), host::kXlAutomatic);
}

constexpr int kCentre = host::kXlCenter;
constexpr int kTop = host::kXlTop;
constexpr int kFlat = host::kXlHorizontal;
constexpr int kStacked = host::kXlVertical;

class TestSheetTest : public TestgenTest {
 protected:
  // Adds the test sheet as test creation does and formats it.
  host::Sheet AddTestSheet(bool forty) {
    module_.Is40Sheet = forty;
    host::Sheet sheet = app_.Sheets().Add();
    sheet.SetName(std::string(CurrentLayout(module_).sheet_name));
    forty ? FormatSheet40(module_) : FormatSheet20(module_);
    return sheet;
  }
};

TEST_F(TestSheetTest, FortySheetFormats) {
  host::Sheet s = AddTestSheet(true);
  for (const char* cell : {"A1", "T1", "A5", "K5"}) {
    ExpectFormat(s.Range(cell), {kCentre, kCentre, kFlat, false, 12});
  }
  ExpectFormat(s.Range("U1"), {kCentre, kCentre, kFlat, true, 14, true});
  EXPECT_EQ(s.Range("U1").NumberFormatLocal(), "\"No.\"0");
  for (const char* cell : {"A3", "T3", "A7", "T7"}) {
    ExpectFormat(s.Range(cell), {kCentre, kTop, kStacked, true, 30});
  }
  for (const char* cell : {"A4", "T4", "A8", "U8"}) {
    ExpectFormat(s.Range(cell), {kCentre, kTop, kFlat, true, 7});
  }
  EXPECT_EQ(s.Range("U4").Font().Size(), 11);  // U4 stays empty and unformatted
  ExpectFormat(s.Range("U2"), {host::kXlGeneral, kCentre, kStacked, true, 16, true});
  EXPECT_EQ(s.Range("U2").Text(), "ミラトス");
  ExpectFormat(s.Range("U3"), {kCentre, kCentre, kStacked, true, 0});
  EXPECT_EQ(s.Range("U3").Text(), "制限時間５分");
  EXPECT_EQ(s.Range("U3").Characters(1, 6).Font().Size(), 11);
  EXPECT_EQ(s.Range("U3").Characters(6, 1).Font().FontStyle(), "標準");
  ExpectFormat(s.Range("U5"), {kCentre, kCentre, kFlat, true, 0});
  EXPECT_EQ(s.Range("U5").Text(), "氏名");
  ExpectFormat(s.Range("U7"), {kCentre, kTop, kFlat, true, 0});
  EXPECT_EQ(s.Range("U7").Text(), "得点");
  // The question rows are left to the pasted question cells.
  EXPECT_EQ(s.Range("B2").VerticalAlignment(), host::kXlBottom);
  EXPECT_EQ(s.Range("B6").Orientation(), kFlat);
}

TEST_F(TestSheetTest, TwentySheetFormatsAndTheShortTitleRun) {
  host::Sheet s = AddTestSheet(false);
  ExpectFormat(s.Range("H1"), {kCentre, kCentre, kFlat, false, 12});
  ExpectFormat(s.Range("U1"), {kCentre, kCentre, kFlat, true, 14, true});
  ExpectFormat(s.Range("C3"), {kCentre, kTop, kStacked, true, 30});
  ExpectFormat(s.Range("U4"), {kCentre, kTop, kFlat, true, 7});
  ExpectFormat(s.Range("U2"), {host::kXlGeneral, kCentre, kStacked, true, 11});
  ExpectFormat(s.Range("U3"), {kCentre, kTop, kStacked, true, 0});
  EXPECT_EQ(s.Range("U2").Text(), "ミラトス　   制限時間３分");
  EXPECT_EQ(s.Range("U3").Text(), "氏名　　　　　　　　　　得点");
  // A four-character title: the bold run reaches into the time limit, up to "制".
  const Range u2 = s.Range("U2");
  EXPECT_EQ(u2.Characters(1, 9).Text(), "ミラトス　   制");
  for (int i : {1, 4, 5, 9}) {
    EXPECT_TRUE(u2.Characters(i, 1).Font().Bold()) << i;
    EXPECT_EQ(u2.Characters(i, 1).Font().Size(), 16) << i;
  }
  EXPECT_FALSE(u2.Characters(10, 1).Font().Bold());
  EXPECT_EQ(u2.Characters(10, 1).Font().Size(), 11);
  EXPECT_FALSE(s.Range("A5").ShrinkToFit());  // only page 1 is formatted
}

TEST_F(TestSheetTest, PageSetupIsLandscapeA4WithNarrowMargins) {
  const host::PageSetupRef setup = AddTestSheet(true).PageSetup();
  for (double m : {setup.LeftMargin(), setup.RightMargin(), setup.TopMargin(), setup.BottomMargin(),
                   setup.HeaderMargin(), setup.FooterMargin()}) {
    EXPECT_DOUBLE_EQ(m, 12.24);
  }
  EXPECT_EQ(setup.Orientation(), host::kXlLandscape);
  EXPECT_EQ(setup.PaperSize(), host::kXlPaperA4);
  EXPECT_EQ(setup.Zoom(), 100);
  EXPECT_EQ(setup.Order(), host::kXlDownThenOver);
  EXPECT_EQ(setup.PrintComments(), host::kXlPrintNoComments);
  EXPECT_EQ(setup.FirstPageNumber(), host::kXlAutomatic);
  EXPECT_FALSE(setup.PrintHeadings());
  EXPECT_FALSE(setup.PrintGridlines());
  EXPECT_FALSE(setup.CenterHorizontally());
  EXPECT_FALSE(setup.CenterVertically());
  EXPECT_FALSE(setup.Draft());
  EXPECT_FALSE(setup.BlackAndWhite());
}

TEST_F(TestSheetTest, ClearingKeepsPageOneHeaderAndDropsEveryBorder) {
  host::Sheet s = AddTestSheet(true);
  module_.PageCount = 3;
  module_.RequestedCount = 100;
  FormatAnswerRows(module_);
  NumberTestPages(module_, 1, 120);
  s.Range("C2").SetText("問");
  s.Range("C4").SetText("出典");
  s.Range("A20").SetText("古い問");
  ASSERT_EQ(s.Range("K11").Borders(host::kXlEdgeLeft).LineStyle(), host::kXlContinuous);

  app_.Sheets().Item("ミラトス").Select();
  ClearTestSheet(module_);
  EXPECT_EQ(app_.ActiveSheet(), s);
  EXPECT_EQ(s.Range("U1").Text(), "No.1");
  EXPECT_EQ(s.Range("U2").Text(), "ミラトス");
  EXPECT_EQ(s.Range("U3").Text(), "制限時間５分");
  EXPECT_EQ(s.Range("U5").Text(), "氏名");
  EXPECT_EQ(s.Range("U7").Text(), "得点");
  EXPECT_EQ(s.Range("U8").Text(), "1234[1-120]100");
  for (const char* cell : {"U9", "U17", "U16", "C2", "C4", "A20"}) {
    EXPECT_TRUE(s.Range(cell).Value().IsEmpty()) << cell;
  }
  for (const char* cell : {"A3", "K3", "T7", "K11", "K19"}) {
    for (int index = host::kXlDiagonalDown; index <= host::kXlEdgeRight; ++index) {
      EXPECT_EQ(s.Range(cell).Borders(index).LineStyle(), host::kXlNone) << cell << index;
    }
  }
  EXPECT_EQ(s.Range("C3").Font().Size(), 30);  // formats stay
}

TEST_F(TestSheetTest, AnswerBoxesTakeTheQuestionFontOnPageOneOnly) {
  host::Sheet s = AddTestSheet(true);
  Questions().Range("D1").Font().SetName("ＭＳ 明朝");
  s.Select();
  FormatAnswerRows(module_);
  for (const char* cell : {"A3", "J3", "T3", "A7", "T7"}) {
    const Range box = s.Range(cell);
    EXPECT_EQ(box.Font().Name(), "ＭＳ 明朝") << cell;
    for (int side :
         {host::kXlEdgeLeft, host::kXlEdgeTop, host::kXlEdgeBottom, host::kXlEdgeRight}) {
      EXPECT_EQ(box.Borders(side).LineStyle(), host::kXlContinuous) << cell << side;
      EXPECT_EQ(box.Borders(side).Weight(), host::kXlThin);
      EXPECT_EQ(box.Borders(side).ColorIndex(), host::kXlAutomatic);
    }
    EXPECT_EQ(box.Borders(host::kXlDiagonalDown).LineStyle(), host::kXlNone);
  }
  EXPECT_EQ(s.Range("A2").Font().Name(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(s.Range("A11").Borders(host::kXlEdgeTop).LineStyle(), host::kXlNone);
}

TEST_F(TestSheetTest, DefaultMetricsForBothSheets) {
  AddTestSheet(true);
  module_.PageCount = 2;
  ApplyPageMetrics(module_);
  host::Sheet s = Sheet("テスト用紙 【40】");
  const std::vector<double> page40 = {20, 190, 90, 18, 20, 190, 90, 10.5};
  for (int row = 1; row <= 16; ++row)
    EXPECT_EQ(s.Rows(row).RowHeight(), page40[(row - 1) % 8]) << row;
  EXPECT_EQ(s.Columns(1).ColumnWidth(), 6.4);
  EXPECT_EQ(s.Columns(20).ColumnWidth(), 6.4);
  EXPECT_EQ(s.Columns(21).ColumnWidth(), 7);
  EXPECT_EQ(app_.Selection().Address(host::kXlA1, false), "U1");

  AddTestSheet(false);
  module_.PageCount = 1;
  ApplyPageMetrics(module_);
  host::Sheet t = Sheet("テスト用紙 【20】");
  const std::vector<double> page20 = {20, 353, 243, 11.25};
  for (int row = 1; row <= 4; ++row) EXPECT_EQ(t.Rows(row).RowHeight(), page20[row - 1]) << row;
  EXPECT_NE(t.Rows(5).RowHeight(), 20);  // only the rows of the pages in use
}

std::vector<int32_t> Breaks(const host::Sheet& sheet) {
  std::vector<int32_t> rows;
  for (int i = 1; i <= sheet.HPageBreaks().Count(); ++i)
    rows.push_back(sheet.HPageBreaks().Item(i));
  return rows;
}

TEST_F(TestSheetTest, DefaultMetricsPrintEachPageOnOneSheetAtNinetyPercent) {
  host::Sheet s = AddTestSheet(true);
  module_.PageCount = 3;
  ApplyPageMetrics(module_);
  const host::PaperExtent page = TestPageExtent(module_, 1);
  EXPECT_DOUBLE_EQ(page.width, 20 * 42 + 45.75);  // 56 and 61 pixels at the default font
  EXPECT_DOUBLE_EQ(page.height, 628.5);
  EXPECT_EQ(s.PageSetup().Zoom(), 90);
  EXPECT_EQ(Breaks(s), (std::vector<int32_t>{9, 17}));
  EXPECT_EQ(s.PageSetup().Orientation(), host::kXlLandscape);  // the rest stays
  EXPECT_DOUBLE_EQ(s.PageSetup().TopMargin(), 12.24);

  host::Sheet t = AddTestSheet(false);
  module_.PageCount = 2;
  ApplyPageMetrics(module_);
  EXPECT_DOUBLE_EQ(TestPageExtent(module_, 2).height, 627.25);
  EXPECT_EQ(t.PageSetup().Zoom(), 90);
  EXPECT_EQ(Breaks(t), (std::vector<int32_t>{5}));
  EXPECT_EQ(Breaks(s), (std::vector<int32_t>{9, 17}));  // the other sheet keeps its own
}

TEST_F(TestSheetTest, ZoomAndBreaksFollowTheMetricsAndThePages) {
  host::Sheet s = AddTestSheet(true);
  module_.SetIniValue("Qs", "150", false);
  module_.SetIniValue("C1", "5", false);
  module_.PageCount = 3;
  ApplyPageMetrics(module_);
  EXPECT_EQ(s.PageSetup().Zoom(), 100);  // 720.75 x 548.5 points fit as they are

  module_.SetIniValue("C1", "12", false);  // 101 pixels a column: 1560.75 points in all
  module_.PageCount = 1;
  ApplyPageMetrics(module_);
  EXPECT_EQ(s.PageSetup().Zoom(), 52);
  EXPECT_TRUE(Breaks(s).empty());  // the breaks of the longer test are gone

  // A row enlarged by hand on a later page decides for every page.
  module_.SetIniValue("C1", "6.4", false);
  module_.PageCount = 2;
  ApplyPageMetrics(module_);
  EXPECT_EQ(s.PageSetup().Zoom(), 92);  // 885.75 points wide; the 548.5 points of height fit
  s.Rows(10).SetRowHeight(409.5);
  FitTestPages(module_, 2);
  EXPECT_EQ(s.PageSetup().Zoom(), 70);  // page 2 is 808 points tall: 565.6 at 70 %
  EXPECT_EQ(Breaks(s), (std::vector<int32_t>{9}));
}

TEST_F(TestSheetTest, MetricKeysAreDistinctPerSheet) {
  module_.SetIniValue("No20", "30", false);
  module_.SetIniValue("Qs", "200", false);
  module_.SetIniValue("C1-20", "8", false);
  module_.SetIniValue("C2", "9.5", false);
  AddTestSheet(true);
  SetRowHeight(module_, 1);
  SetRowHeight(module_, 6);
  SetRowHeight(module_, 12);
  SetColumnWidths(module_);
  host::Sheet s = Sheet("テスト用紙 【40】");
  EXPECT_EQ(s.Rows(1).RowHeight(), 20);
  EXPECT_EQ(s.Rows(6).RowHeight(), 200);
  EXPECT_EQ(s.Rows(12).RowHeight(), 18);  // Bi1
  EXPECT_EQ(s.Columns(5).ColumnWidth(), 6.4);
  EXPECT_EQ(s.Columns(21).ColumnWidth(), 9.5);

  module_.Is40Sheet = false;  // the keys follow the flag; the sheet is the active one
  SetRowHeight(module_, 12);
  SetRowHeight(module_, 9);
  SetColumnWidths(module_);
  EXPECT_EQ(s.Rows(12).RowHeight(), 11.25);  // Bi2-20
  EXPECT_EQ(s.Rows(9).RowHeight(), 30);      // No20
  EXPECT_EQ(s.Columns(5).ColumnWidth(), 8);
  EXPECT_EQ(s.Columns(21).ColumnWidth(), 7);
}

TEST_F(TestSheetTest, AMetricTheHostRejectsFallsBackToItsDefault) {
  AddTestSheet(true);
  host::Sheet s = Sheet("テスト用紙 【40】");
  SetRowHeight(module_, 3);
  const double answer_default = s.Rows(3).RowHeight();
  module_.Is40Sheet = false;
  SetRowHeight(module_, 2);
  const double question20_default = s.Rows(2).RowHeight();

  s.Rows(3).SetRowHeight(1);
  s.Rows(2).SetRowHeight(1);
  module_.SetIniValue("As", "高い", false);   // not a number
  module_.SetIniValue("Qs20", "500", false);  // taller than the host allows
  module_.Is40Sheet = true;
  EXPECT_EQ(ErrorNumber([&] { SetRowHeight(module_, 3); }), 0);
  EXPECT_EQ(s.Rows(3).RowHeight(), answer_default);
  module_.Is40Sheet = false;
  EXPECT_EQ(ErrorNumber([&] { SetRowHeight(module_, 2); }), 0);
  EXPECT_EQ(s.Rows(2).RowHeight(), question20_default);
}

TEST_F(TestSheetTest, AProtectedSheetStopsTheFormatting) {
  host::Sheet sheet = app_.Sheets().Add();
  sheet.SetName("テスト用紙 【40】");
  sheet.Protect();
  module_.Is40Sheet = true;
  EXPECT_EQ(ErrorNumber([&] { FormatSheet40(module_); }), 1004);
  EXPECT_EQ(ErrorNumber([&] { ClearTestSheet(module_); }), 1004);
}

}  // namespace
}  // namespace tessarin::testgen
