// Row and column positions of the sheet view.
#include "app/desktop/sheet_axis.h"

#include <gtest/gtest.h>

#include "core/host/range.h"
#include "core/host/workbook.h"

namespace tessarin::desktop {
namespace {

TEST(SheetAxis, PositionsAddTheLinesThatDifferFromTheDefault) {
  SheetAxis axis(100, 10, {{5, 30}, {3, 0}, {50, 12.5}});
  EXPECT_EQ(axis.Start(1), 0);
  EXPECT_EQ(axis.Start(3), 20);
  EXPECT_EQ(axis.Start(4), 20);  // row 3 is hidden
  EXPECT_EQ(axis.Start(6), 20 + 10 + 30);
  EXPECT_EQ(axis.Size(50), 12.5);
  EXPECT_EQ(axis.Start(101), 100 * 10 - 10 + 20 + 2.5);
}

TEST(SheetAxis, AtFindsTheLineUnderAnOffsetAndSkipsHiddenOnes) {
  SheetAxis axis(100, 10, {{3, 0}, {5, 30}});
  EXPECT_EQ(axis.At(0), 1);
  EXPECT_EQ(axis.At(9.99), 1);
  EXPECT_EQ(axis.At(20), 4);  // not the hidden row 3
  EXPECT_EQ(axis.At(59.9), 5);
  EXPECT_EQ(axis.At(-5), 1);
  EXPECT_EQ(axis.At(1e9), 100);
}

TEST(SheetAxis, RowsOfASheetFollowItsHeightsOnAMillionRows) {
  host::Workbook book("Book1");
  host::Worksheet& sheet = book.AddSheet("Sheet1", 1);
  sheet.SetRowHeight(2, 30);
  sheet.SetRowHeight(1000000, 0);
  const SheetAxis rows = SheetAxis::Rows(sheet);
  const double standard = sheet.default_row_height();
  EXPECT_EQ(rows.Start(3), standard + 30);
  EXPECT_EQ(rows.Start(1000001) - rows.Start(1000000), 0);
  EXPECT_EQ(rows.At(rows.Start(900000) + 1), 900000);
}

}  // namespace
}  // namespace tessarin::desktop
