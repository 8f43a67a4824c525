// A host with one workbook for render tests, and the Qt application that fonts need.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <string>

#include "core/host/application.h"
#include "core/host/range.h"
#include "render/font_catalog.h"
#include "render/gui_session.h"

namespace tessarin::render {

// Mean difference per channel and the share of clearly different pixels against a golden image.
inline void ExpectLooksLike(const QImage& got, const std::string& golden_name) {
  const std::string golden_path =
      std::string(TESSARIN_SOURCE_DIR) + "/tests/render/golden/" + golden_name;
  if (std::getenv("TESSARIN_UPDATE_GOLDEN")) got.save(QString::fromStdString(golden_path));
  const QImage want(QString::fromStdString(golden_path));
  ASSERT_FALSE(want.isNull()) << golden_path;
  ASSERT_EQ(got.size(), want.size());
  const QImage a = got.convertToFormat(QImage::Format_Grayscale8),
               b = want.convertToFormat(QImage::Format_Grayscale8);
  double sum = 0;
  int64_t different = 0;
  for (int y = 0; y < a.height(); ++y) {
    const uchar* pa = a.constScanLine(y);
    const uchar* pb = b.constScanLine(y);
    for (int x = 0; x < a.width(); ++x) {
      const int d = std::abs(int(pa[x]) - int(pb[x]));
      sum += d;
      different += d > 96;
    }
  }
  const double pixels = double(a.width()) * a.height();
  EXPECT_LT(sum / pixels, 2.0) << golden_name;
  EXPECT_LT(different / pixels, 0.004) << golden_name;
}

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() {
    EnsureGuiApplication();
    app_.Workbooks().Add();
  }
  host::Sheet Sheet() { return app_.ActiveSheet(); }
  host::Worksheet& Worksheet() { return app_.ActiveSheet().worksheet(); }
  host::Range At(std::string_view address) { return Sheet().Range(address); }

  // Sets up the active sheet's page setup as a test sheet's is: landscape A4, narrow margins,
  // `zoom`, and a manual page break after every `rows_per_page` rows of `pages` pages.
  void MakeTestSheetSetup(int rows_per_page, int pages, int zoom = 100) {
    host::PageSetup& ps = Worksheet().page_setup();
    ps.left_margin = ps.right_margin = ps.top_margin = ps.bottom_margin = ps.header_margin =
        ps.footer_margin = 0.17 * 72;
    ps.orientation = host::kXlLandscape;
    ps.paper_size = host::kXlPaperA4;
    ps.zoom = zoom;
    for (int page = 1; page < pages; ++page) Worksheet().AddRowBreak(page * rows_per_page + 1);
  }

  host::Application app_;
  FontCatalog fonts_;
};

}  // namespace tessarin::render
