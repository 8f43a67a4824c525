// Pagination on numbers: units, test sheets one page per sheet of paper, cutting and ordering.
#include <gtest/gtest.h>

#include "core/host/host_error.h"
#include "render/page_layout.h"
#include "render/pdf_output.h"
#include "tests/render/render_fixture.h"

namespace tessarin::render {
namespace {

using PageLayoutTest = RenderTest;

// The default metrics of a 40-question page: rows 1..8 of each page, columns A:T 6.4 and U 7.
void SizeTestRows(host::Worksheet& sheet, int pages) {
  constexpr double kRows[] = {20, 190, 90, 18, 20, 190, 90, 10.5};
  for (int r = 1; r <= 8 * pages; ++r) sheet.SetRowHeight(r, kRows[(r - 1) % 8]);
  for (int c = 1; c <= 20; ++c) sheet.SetColumnWidth(c, 6.4);
  sheet.SetColumnWidth(21, 7);
}

TEST_F(PageLayoutTest, EachTestPageGoesOnOneLandscapeA4SheetAtItsStoredZoomAndBreaks) {
  MakeTestSheetSetup(8, 3, 90);
  SizeTestRows(Worksheet(), 3);
  Worksheet().page_setup().print_area = "A1:U24";
  for (int page = 0; page < 3; ++page) At("U" + std::to_string(1 + 8 * page)).SetNumber(page + 1);

  const PrintLayout layout = LayoutPrintPages(Worksheet());
  EXPECT_NEAR(layout.paper.width(), 841.89, 0.01);
  EXPECT_NEAR(layout.paper.height(), 595.28, 0.01);
  // 628.5 points of rows at 90 percent fit 570.8 of printable height.
  EXPECT_DOUBLE_EQ(layout.scale, 0.90);
  ASSERT_EQ(layout.pages.size(), 3u);
  for (int page = 0; page < 3; ++page) {
    const PrintPage& p = layout.pages[page];
    EXPECT_EQ(p.area, (host::Area{1 + 8 * page, 1, 8 + 8 * page, 21}));
    EXPECT_NEAR(p.frame.left(), 12.24, 1e-9);
    EXPECT_NEAR(p.frame.top(), 12.24, 1e-9);
    EXPECT_NEAR(p.frame.width(), 885.75 * 0.9, 1e-9);
    EXPECT_NEAR(p.frame.height(), 628.5 * 0.9, 1e-9);
    EXPECT_LE(p.frame.bottom(), layout.paper.height() - 12.24);
    EXPECT_EQ(p.number, page + 1);
  }
}

TEST_F(PageLayoutTest, PagesFollowTheStoredBreaksWhateverTheSheetIsCalled) {
  Sheet().SetName("テスト用紙 【20】");
  MakeTestSheetSetup(4, 1);
  for (int r = 1; r <= 8; ++r) Worksheet().SetRowHeight(r, 70);  // two 4-row blocks fit a sheet
  for (int c = 1; c <= 21; ++c) Worksheet().SetColumnWidth(c, 4);
  Worksheet().page_setup().print_area = "A1:U8";
  At("A1").SetText("x");
  EXPECT_EQ(LayoutPrintPages(Worksheet()).pages.size(), 1u);  // the name alone splits nothing
  Worksheet().AddRowBreak(5);
  At("A5").SetText("y");  // a page with nothing on it would be left out
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  EXPECT_DOUBLE_EQ(layout.scale, 1.0);
  ASSERT_EQ(layout.pages.size(), 2u);
  EXPECT_EQ(layout.pages[1].area.top, 5);
}

TEST_F(PageLayoutTest, AnUnreadablePrintAreaIsAnErrorNotTheUsedRange) {
  At("A1").SetText("x");
  Worksheet().page_setup().print_area = "A1:U99999999";
  try {
    LayoutPrintPages(Worksheet());
    ADD_FAILURE() << "an unreadable print area was printed";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_NE(e.description().find("A1:U99999999"), std::string::npos) << e.description();
  }
}

TEST_F(PageLayoutTest, OrdinarySheetsAreCutWhereThePaperIsFull) {
  for (int r = 1; r <= 100; ++r) At("A" + std::to_string(r)).SetNumber(r);
  for (int r = 1; r <= 100; ++r) Worksheet().SetRowHeight(r, 15);
  // Portrait A4 with the default margins leaves 733.89 points: 48 rows of 15.
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 3u);
  EXPECT_EQ(layout.pages[0].area, (host::Area{1, 1, 48, 1}));
  EXPECT_EQ(layout.pages[1].area, (host::Area{49, 1, 96, 1}));
  EXPECT_EQ(layout.pages[2].area, (host::Area{97, 1, 100, 1}));
}

TEST_F(PageLayoutTest, ManualRowBreaksStartNewPages) {
  for (int r = 1; r <= 60; ++r) At("A" + std::to_string(r)).SetNumber(r);
  for (int r = 1; r <= 60; ++r) Worksheet().SetRowHeight(r, 15);
  Worksheet().AddRowBreak(8);   // row 8 begins a page
  Worksheet().AddRowBreak(61);  // below the last row: no empty page
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 3u);
  EXPECT_EQ(layout.pages[0].area, (host::Area{1, 1, 7, 1}));
  EXPECT_EQ(layout.pages[1].area, (host::Area{8, 1, 55, 1}));  // then full pages of 48 rows again
  EXPECT_EQ(layout.pages[2].area, (host::Area{56, 1, 60, 1}));
  EXPECT_EQ(ManualRowBreaks(Worksheet()), (std::vector<int32_t>{7, 60}));
}

TEST_F(PageLayoutTest, PaperAndPrintableAreaAreTheHostsMeasures) {
  At("A1").SetText("a");
  host::PageSetup& ps = Worksheet().page_setup();
  ps.paper_size = 12;  // B4 (JIS), landscape
  ps.orientation = host::kXlLandscape;
  ps.left_margin = 10, ps.right_margin = 20, ps.top_margin = 30, ps.bottom_margin = 40;
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  EXPECT_NEAR(layout.paper.width(), 364 * 72 / 25.4, 1e-9);
  EXPECT_NEAR(layout.paper.height(), 257 * 72 / 25.4, 1e-9);
  EXPECT_EQ(layout.printable,
            QRectF(10, 30, layout.paper.width() - 30, layout.paper.height() - 70));
  ps.paper_size = 4;  // Ledger: 17 by 11 inches as it stands
  ps.orientation = host::kXlPortrait;
  EXPECT_NEAR(LayoutPrintPages(Worksheet()).paper.width(), 17 * 72, 1e-9);
  ps.left_margin = ps.right_margin = 700;  // no room left: edge to edge
  EXPECT_EQ(LayoutPrintPages(Worksheet()).printable,
            QRectF(QPointF(), LayoutPrintPages(Worksheet()).paper));
}

TEST_F(PageLayoutTest, PagesGoDownThenOverOrOverThenDown) {
  At("A1").SetText("a");
  At("Z60").SetText("z");  // 26 columns of 8.38 (64 pixels) do not fit one portrait width
  At("A60").SetText("a");  // every page holds a cell: empty pages are not printed
  At("Z1").SetText("z");
  const auto second_page = [&] { return LayoutPrintPages(Worksheet()).pages.at(1).area; };
  const host::Area down = second_page();
  EXPECT_EQ(down.left, 1);
  EXPECT_GT(down.top, 1);
  Worksheet().page_setup().order = host::kXlOverThenDown;
  const host::Area over = second_page();
  EXPECT_EQ(over.top, 1);
  EXPECT_GT(over.left, 1);
}

TEST_F(PageLayoutTest, FitToOnePageScalesTheWholeAreaDown) {
  At("A1").SetText("a");
  At("Z60").SetText("z");
  host::PageSetup& ps = Worksheet().page_setup();
  ps.zoom = 0;
  ps.fit_wide = ps.fit_tall = 1;
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 1u);
  EXPECT_LT(layout.scale, 1.0);
  EXPECT_LE(layout.pages[0].frame.width(), layout.printable.width() + 1e-6);
  EXPECT_LE(layout.pages[0].frame.height(), layout.printable.height() + 1e-6);
}

TEST_F(PageLayoutTest, SeveralPrintAreasPrintOneAfterAnother) {
  At("A1").SetText("a");
  At("E6").SetText("e");
  Worksheet().page_setup().print_area = "A1:B2,D5:E6";
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 2u);
  EXPECT_EQ(layout.pages[1].area, (host::Area{5, 4, 6, 5}));
}

TEST_F(PageLayoutTest, WholeSheetPrintAreaAroundOneCellIsOnePage) {
  At("C3").SetText("x");
  Worksheet().page_setup().print_area = "A1:XFD1048576";
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 1u);
  // The page is cut as from any print area: from its corner, as far as a sheet of paper holds.
  const host::Area page = layout.pages[0].area;
  EXPECT_EQ(page.top, 1);
  EXPECT_EQ(page.left, 1);
  EXPECT_GE(page.bottom, 3);
  EXPECT_GE(page.right, 3);
  At("A1").SetText("y");
  EXPECT_EQ(LayoutPrintPages(Worksheet()).pages.at(0).area, page);  // the same as a fuller page
}

TEST_F(PageLayoutTest, PagesWithNothingOnThemAreLeftOutAndNumbersRunOn) {
  for (int r = 1; r <= 200; ++r) Worksheet().SetRowHeight(r, 15);
  At("A1").SetText("first");
  At("A200").SetText("last");  // 48 rows a page: pages 2 to 4 hold nothing
  Worksheet().page_setup().print_area = "A1:A200,C1:D9";  // the second area holds nothing
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 2u);
  EXPECT_EQ(layout.pages[0].area, (host::Area{1, 1, 48, 1}));
  EXPECT_EQ(layout.pages[1].area, (host::Area{193, 1, 200, 1}));
  EXPECT_EQ(layout.pages[1].number, 2);
  Worksheet().page_setup().print_area = "C1:D9";
  EXPECT_TRUE(LayoutPrintPages(Worksheet()).pages.empty());
}

}  // namespace
}  // namespace tessarin::render

namespace tessarin::render {
namespace {

TEST_F(PageLayoutTest, PrintedHeadingsTakeRoomLeftOfAndAboveTheCells) {
  for (int r = 1; r <= 100; ++r) At("A" + std::to_string(r)).SetNumber(r);
  for (int r = 1; r <= 100; ++r) Worksheet().SetRowHeight(r, 15);
  Worksheet().page_setup().print_headings = true;
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  // The letters row (13.5 points) leaves room for 48 rows still: 733.89 - 13.5 = 720.39.
  EXPECT_EQ(layout.pages[0].area.bottom, 48);
  EXPECT_NEAR(layout.pages[0].frame.left(), layout.printable.left() + 27, 1e-9);
  EXPECT_NEAR(layout.pages[0].frame.top(), layout.printable.top() + 13.5, 1e-9);
  Worksheet().SetRowHeight(1, 30);  // now 48 rows need 735 points
  EXPECT_EQ(LayoutPrintPages(Worksheet()).pages[0].area.bottom, 47);
}

}  // namespace
}  // namespace tessarin::render

namespace tessarin::render {
namespace {

TEST_F(PageLayoutTest, GridlinesAndHeadingsLookAsCheckedByEye) {
  At("A1").SetText("見出し");
  At("B2").SetNumber(3.5);
  At("C3").SetText("右");
  At("C3").SetHorizontalAlignment(host::kXlRight);
  At("B4:C5").Borders(host::kXlEdgeBottom).SetLineStyle(host::kXlDouble);
  host::PageSetup& ps = Worksheet().page_setup();
  ps.print_gridlines = ps.print_headings = true;
  ps.orientation = host::kXlLandscape;
  ps.paper_size = 11;  // A5
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  ASSERT_EQ(layout.pages.size(), 1u);
  EXPECT_NEAR(layout.paper.width(), 595.28, 0.01);
  ExpectLooksLike(RenderPage(Worksheet(), layout, 0, 60), "gridlines-headings.png");
}

}  // namespace
}  // namespace tessarin::render
