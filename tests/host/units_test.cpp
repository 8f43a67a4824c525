// Column and row units: the one conversion the file reader, the print layout and the window share.
#include "core/host/units.h"

#include <gtest/gtest.h>

#include "core/host/constants.h"
#include "core/host/paper.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

TEST(Units, DigitWidthFollowsTheDefaultFont) {
  EXPECT_EQ(MaxDigitWidth(Font{}), 8);  // ＭＳ Ｐゴシック 11
  Font calibri;
  calibri.name = "Calibri";
  EXPECT_EQ(MaxDigitWidth(calibri), 7);
  calibri.size = 0.1;
  EXPECT_EQ(MaxDigitWidth(calibri), 1);  // never zero, so nothing divides by it
}

TEST(Units, ColumnPixelsAndPointsAtKnownWidths) {
  // Calibri 11's standard 8.43 is the familiar 64-pixel column; ＭＳ Ｐゴシック 11's 8.38 is 72.
  EXPECT_EQ(ColumnWidthPixels(8.43, 7), 64);
  EXPECT_EQ(ColumnWidthPixels(8.38, 8), 72);
  EXPECT_DOUBLE_EQ(ColumnWidthPoints(8.38, 8), 54);
  // The test sheets' columns: 6.4 and 7 characters.
  EXPECT_EQ(ColumnWidthPixels(6.4, 8), 56);
  EXPECT_DOUBLE_EQ(ColumnWidthPoints(6.4, 8), 42);
  EXPECT_DOUBLE_EQ(ColumnWidthPoints(7, 8), 45.75);
  // Under one character the padding shrinks with the width; nothing is negative.
  EXPECT_EQ(ColumnWidthPixels(0.5, 8), 7);
  EXPECT_EQ(ColumnWidthPixels(1, 8), 13);
  EXPECT_EQ(ColumnWidthPixels(0, 8), 0);
  EXPECT_EQ(ColumnWidthPixels(-3, 8), 0);
}

TEST(Units, PixelsGrowWithWidthWithoutGaps) {
  // Every hundredth of a character maps to a pixel count that never falls and never jumps.
  int last = 0;
  for (int hundredths = 1; hundredths <= 25500; ++hundredths) {
    const int px = ColumnWidthPixels(hundredths / 100.0, 8);
    ASSERT_GE(px, last) << hundredths;
    ASSERT_LE(px - last, 1) << hundredths;
    last = px;
  }
}

TEST(Units, FileWidthsSnapToPixelsAndRoundTrip) {
  // 9.140625 is Calibri 11's 8.43; ＭＳ Ｐゴシック 11 shows 9 as 8.38.
  EXPECT_DOUBLE_EQ(FileWidthToChars(9.140625, 7), 8.43);
  EXPECT_DOUBLE_EQ(CharsToFileWidth(8.43, 7), 9.140625);
  EXPECT_DOUBLE_EQ(FileWidthToChars(CharsToFileWidth(8.38, 8), 8), 8.38);
  for (double chars : {0.54, 1.0, 2.5, 4.75, 7.0, 10.0, 30.25, 100.0}) {
    EXPECT_DOUBLE_EQ(FileWidthToChars(CharsToFileWidth(chars, 8), 8), chars) << chars;
  }
  // A width between pixels comes back as its pixel's width, and the pixels stay the same.
  EXPECT_DOUBLE_EQ(FileWidthToChars(CharsToFileWidth(6.4, 8), 8), 6.38);
  for (int hundredths = 1; hundredths <= 25500; hundredths += 7) {
    const double chars = hundredths / 100.0;
    ASSERT_EQ(ColumnWidthPixels(FileWidthToChars(CharsToFileWidth(chars, 8), 8), 8),
              ColumnWidthPixels(chars, 8))
        << chars;
  }
  EXPECT_EQ(CharsToFileWidth(0, 8), 0);
  EXPECT_DOUBLE_EQ(DefaultWidthFromBase(8, 8), 8.38);  // 72 pixels, a multiple of 8
  EXPECT_DOUBLE_EQ(DefaultWidthFromBase(8, 7), 8.43);
}

TEST(Units, NarrowFileWidthsKeepTheirPixels) {
  // Calibri 11 (7-pixel digits): the file widths the host writes for 1 to 12 pixels, narrower
  // than one character, read as those pixels and are written back unchanged.
  struct Narrow {
    double file_width;
    int pixels;
    double chars;
  };
  for (const Narrow& n : {Narrow{0.140625, 1, 0.08}, Narrow{0.85546875, 6, 0.5}, Narrow{1, 7, 0.58},
                          Narrow{1.42578125, 10, 0.83}, Narrow{1.7109375, 12, 1}}) {
    SCOPED_TRACE(n.file_width);
    EXPECT_DOUBLE_EQ(FileWidthToChars(n.file_width, 7), n.chars);
    EXPECT_EQ(ColumnWidthPixels(n.chars, 7), n.pixels);
    EXPECT_DOUBLE_EQ(CharsToFileWidth(n.chars, 7), n.file_width);
  }
  // Every narrow pixel count survives the trip through the file for any digit width.
  for (int mdw = 5; mdw <= 20; ++mdw) {
    for (int px = 1; px < mdw + 5; ++px) {
      const double chars = FileWidthToChars(CharsToFileWidth(px / (mdw + 5.0), mdw), mdw);
      ASSERT_EQ(ColumnWidthPixels(chars, mdw), px) << mdw << " " << px;
    }
  }
}

TEST(Units, RowPixels) {
  EXPECT_EQ(RowHeightPixels(13.5), 18);
  EXPECT_EQ(RowHeightPixels(10.5), 14);
  EXPECT_EQ(RowHeightPixels(11.25), 15);
  EXPECT_EQ(RowHeightPixels(0), 0);
}

TEST(Units, SheetMeasuresUseItsWorkbookFontAndHiding) {
  Workbook book("Book1");
  Worksheet& sheet = book.AddSheet("Sheet1", 1);
  EXPECT_DOUBLE_EQ(ColumnPoints(sheet, 3), 54);  // the default 8.38
  sheet.SetColumnWidth(2, 6.4);
  EXPECT_DOUBLE_EQ(ColumnPoints(sheet, 2), 42);
  sheet.ObtainColumn(2).hidden = true;
  EXPECT_DOUBLE_EQ(ColumnPoints(sheet, 2), 0);
  EXPECT_DOUBLE_EQ(RowPoints(sheet, 4), 13.5);
  sheet.SetRowHeight(4, 190);
  EXPECT_DOUBLE_EQ(RowPoints(sheet, 4), 190);
  sheet.cells().ObtainRow(4).hidden = true;
  EXPECT_DOUBLE_EQ(RowPoints(sheet, 4), 0);
}

TEST(Paper, PrintableAreaTurnsWithTheOrientation) {
  PageSetup setup;  // A4 portrait, 0.7 and 0.75 inch margins
  PaperExtent area = PrintableArea(setup);
  EXPECT_NEAR(area.width, 595.2756 - 100.8, 1e-4);
  EXPECT_NEAR(area.height, 841.8898 - 108, 1e-4);
  setup.orientation = kXlLandscape;
  setup.left_margin = setup.right_margin = setup.top_margin = setup.bottom_margin = 12.24;
  area = PrintableArea(setup);
  EXPECT_NEAR(area.width, 817.4098, 1e-4);
  EXPECT_NEAR(area.height, 570.7956, 1e-4);
  setup.paper_size = 8;  // A3 is twice A4
  EXPECT_NEAR(PrintableArea(setup).height, 841.8898 - 24.48, 1e-4);
  setup.paper_size = 117;  // a number without a known size prints as A4
  EXPECT_NEAR(PrintableArea(setup).width, 817.4098, 1e-4);
  setup.left_margin = 1000;
  EXPECT_EQ(PrintableArea(setup).width, 0);
}

TEST(Paper, FittingZoomIsTheLargestWholePercentThatFits) {
  PageSetup setup;
  setup.orientation = kXlLandscape;
  setup.left_margin = setup.right_margin = setup.top_margin = setup.bottom_margin = 12.24;
  // The test pages at their default metrics: 20 columns of 42 pt and one of 45.75 pt, rows of
  // 628.5 pt (40 questions) and 627.25 pt (20), against 570.7956 pt of printable height.
  EXPECT_EQ(FittingZoom(setup, 885.75, 628.5), 90);
  EXPECT_EQ(FittingZoom(setup, 885.75, 627.25), 90);  // at 91 % it is 0.002 pt too tall
  EXPECT_EQ(FittingZoom(setup, 885.75, 627.2), 91);
  EXPECT_EQ(FittingZoom(setup, 817.4, 570.79), 100);
  EXPECT_EQ(FittingZoom(setup, 1560.75, 628.5), 52);  // the width decides
  EXPECT_EQ(FittingZoom(setup, 100000, 10), 10);      // never below the host's least zoom
}

}  // namespace
}  // namespace tessarin::host
