// The sheet view's parts without widgets: the selection model, Ctrl+arrow over the data and the
// tab-separated text of the clipboard.
#include <gtest/gtest.h>

#include "app/desktop/clipboard_text.h"
#include "app/desktop/grid_selection.h"
#include "app/desktop/sheet_navigation.h"
#include "core/host/workbook.h"

namespace tessarin::desktop {
namespace {

using Span = GridSelection::Span;

TEST(GridSelection, ExtendsFromTheAnchorAddsAreasAndSpansWholeLines) {
  GridSelection selection;
  selection.Select({2, 2}, Span::kCells, false);
  selection.ExtendTo({4, 3}, Span::kCells);
  EXPECT_EQ(selection.areas(), (std::vector<host::Area>{{2, 2, 4, 3}}));
  EXPECT_EQ(selection.active(), (host::CellRef{2, 2}));  // extending keeps the active cell
  // The extension goes on from the cursor, back over the anchor.
  EXPECT_EQ(selection.Step(0, -3, true), (host::CellRef{4, 1}));
  selection.ExtendTo(selection.Step(0, -3, true), Span::kCells);
  EXPECT_EQ(selection.areas().back(), (host::Area{2, 1, 4, 2}));
  selection.Select({6, 5}, Span::kCells, true);
  EXPECT_EQ(selection.areas().size(), 2u);
  EXPECT_TRUE(selection.Contains({3, 1}));
  EXPECT_FALSE(selection.Contains({5, 5}));
  // Heading drags span whole rows or columns; Shift+Space makes the active area whole rows.
  selection.Select({3, 4}, Span::kColumns, false);
  EXPECT_EQ(selection.areas().front(), (host::Area{1, 4, host::kMaxRows, 4}));
  EXPECT_TRUE(selection.RowSelected(99));
  selection.Select({3, 4}, Span::kCells, false);
  selection.WholeRows();
  EXPECT_EQ(selection.areas().front(), (host::Area{3, 1, 3, host::kMaxColumns}));
  EXPECT_TRUE(selection.ColumnSelected(700));
  // Steps stop at the sheet's edges.
  EXPECT_EQ(selection.Step(-10, -10, false), (host::CellRef{1, 1}));
  EXPECT_EQ(selection.Step(host::kMaxRows, 0, false), (host::CellRef{host::kMaxRows, 4}));
}

TEST(GridSelection, LoadingFromTheHostKeepsAnExtensionInProgress) {
  GridSelection selection;
  selection.Select({2, 2}, Span::kCells, false);
  selection.ExtendTo({5, 5}, Span::kCells);
  selection.Load({{2, 2, 5, 5}}, {2, 2}, true);
  EXPECT_EQ(selection.cursor(), (host::CellRef{5, 5}));
  selection.Load({}, {7, 1}, false);
  EXPECT_EQ(selection.areas(), (std::vector<host::Area>{host::Area::Cell(7, 1)}));
  EXPECT_EQ(selection.cursor(), (host::CellRef{7, 1}));
  EXPECT_FALSE(selection.SeveralCells());
}

TEST(SheetNavigation, CtrlArrowStopsAtTheEdgesOfBlocksAndOfTheSheet) {
  host::Workbook book("Book1");
  host::Worksheet& sheet = book.AddSheet("Sheet1", 1);
  for (int32_t row : {2, 3, 4, 8}) sheet.SetText(row, 2, "x");
  sheet.SetText(2, 5, "y");
  struct Case {
    host::CellRef from;
    int drow, dcol;
    host::CellRef to;
  };
  const Case cases[] = {
      {{2, 2}, 1, 0, {4, 2}},                  // to the block's last cell
      {{4, 2}, 1, 0, {8, 2}},                  // over the gap to the next filled cell
      {{8, 2}, 1, 0, {host::kMaxRows, 2}},     // nothing below: the last row
      {{1, 2}, 1, 0, {2, 2}},                  // from empty onto the block
      {{8, 2}, -1, 0, {4, 2}},                 // upwards the same
      {{2, 2}, -1, 0, {1, 2}},                 // nothing above: row 1
      {{2, 2}, 0, 1, {2, 5}},                  // to the right, to the next filled cell
      {{2, 5}, 0, 1, {2, host::kMaxColumns}},  // nothing right of it: the last column
      {{2, 5}, 0, -1, {2, 2}},
      {{1, 1}, 0, -1, {1, 1}},  // already at the edge
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DataEdge(sheet, c.from, c.drow, c.dcol), c.to)
        << c.from.row << "," << c.from.col << " by " << c.drow << "," << c.dcol;
  }
}

TEST(ClipboardText, DisplayedTextsTabSeparatedWithinTheUsedArea) {
  host::Workbook book("Book1");
  host::Worksheet& sheet = book.AddSheet("Sheet1", 1);
  sheet.SetText(1, 1, "漢字");
  sheet.SetNumber(2, 2, 0.5);
  EXPECT_EQ(TabSeparatedText(sheet, {1, 1, 2, 2}), "漢字\t\n\t0.5\n");
  // Whole columns give the used rows only.
  EXPECT_EQ(TabSeparatedText(sheet, {1, 2, host::kMaxRows, 2}), "\n0.5\n");
}

TEST(ClipboardText, ReadsLinesOfEitherEndingAndUnevenRows) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(ParseTabSeparated("a\tb\r\nc\n"), (Rows{{"a", "b"}, {"c"}}));
  EXPECT_EQ(ParseTabSeparated("a\n\n"), (Rows{{"a"}, {""}}));
  EXPECT_EQ(ParseTabSeparated("\tx\t"), (Rows{{"", "x", ""}}));
  EXPECT_EQ(ParseTabSeparated(""), Rows{});
}

}  // namespace
}  // namespace tessarin::desktop
