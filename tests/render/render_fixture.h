// A host with one workbook for render tests, and the Qt application that fonts need.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/host/application.h"
#include "core/host/range.h"
#include "render/font_catalog.h"
#include "render/gui_session.h"

namespace tessarin::render {

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() {
    EnsureGuiApplication();
    app_.Workbooks().Add();
  }
  host::Sheet Sheet() { return app_.ActiveSheet(); }
  host::Worksheet& Worksheet() { return app_.ActiveSheet().worksheet(); }
  host::Range At(std::string_view address) { return Sheet().Range(address); }

  // Sets up the active sheet as a test sheet's page setup does, named `name`.
  void MakeTestSheetSetup(std::string_view name) {
    Sheet().SetName(name);
    host::PageSetup& ps = Worksheet().page_setup();
    ps.left_margin = ps.right_margin = ps.top_margin = ps.bottom_margin = ps.header_margin = ps.footer_margin =
        0.17 * 72;
    ps.orientation = host::kXlLandscape;
    ps.paper_size = host::kXlPaperA4;
    ps.zoom = 100;
  }

  host::Application app_;
  FontCatalog fonts_;
};

}  // namespace tessarin::render
