// Printer output goes through the same page painter: a PDF-format printer gets one page per test
// page at the sheet's paper size.
#include <gtest/gtest.h>

#include <QPrinter>
#include <cstdio>
#include <filesystem>

#include "render/printer_output.h"
#include "tests/render/render_fixture.h"

namespace tessarin::render {
namespace {

using PrinterTest = RenderTest;

TEST_F(PrinterTest, PrintsEveryTestPageOnItsOwnSheetOfPaper) {
  MakeTestSheetSetup(4, 3, 90);  // the zoom at which columns A:T of 6.4 and U of 7 fit
  for (int r = 1; r <= 12; ++r) Worksheet().SetRowHeight(r, r % 4 == 2 ? 353 : 20);
  for (int c = 1; c <= 20; ++c) Worksheet().SetColumnWidth(c, 6.4);
  Worksheet().SetColumnWidth(21, 7);
  for (int page = 0; page < 3; ++page) At("U" + std::to_string(1 + 4 * page)).SetNumber(page + 1);
  Worksheet().page_setup().print_area = "A1:U12";
  const std::string path =
      (std::filesystem::temp_directory_path() / "render-printer-test.pdf").string();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(path));
  EXPECT_EQ(PrintSheet(Worksheet(), printer), 3);
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tessarin::render
