// Tests of the paper adjustment dialog in process: which rows its preview re-measures, and what
// a refused value leaves in the settings file.
#include "core/testgen/print_form.h"

#include <gtest/gtest.h>

#include <string>

#include "core/testgen/kanji_form.h"
#include "core/testgen/selection.h"
#include "core/testgen/test_sheet.h"
#include "tests/testgen/testgen_fixture.h"

namespace tessarin::testgen {
namespace {

class PrintFormTest : public TestgenTest {
 protected:
  // The host hands its print preview to the front end, as the script runner wires it.
  PrintFormTest() {
    app_.set_print_preview_hook(
        [this](const std::vector<std::string>& sheets) { ui_.PrintPreview(sheets); });
  }

  // A formatted 40-question sheet of `pages` numbered pages, sized at the defaults and active.
  host::Sheet MakeTestSheet(int pages) {
    module_.Is40Sheet = true;
    host::Sheet sheet = app_.Sheets().Add();
    sheet.SetName("テスト用紙 【40】");
    FormatSheet40(module_);
    module_.PageCount = pages;
    module_.RequestedCount = 40 * pages;
    NumberTestPages(module_, 1, 40 * pages);
    ApplyPageMetrics(module_);
    return sheet;
  }
  void Show(std::vector<UserAction> actions) {
    ui_.QueueForm({"PrintForm", std::move(actions)});
    SetPaper(module_, form_);
  }

  PrintForm form_{module_};
};

TEST_F(PrintFormTest, PreviewMeasuresTheNumberedPagesOnly) {
  host::Sheet sheet = MakeTestSheet(3);
  sheet.Range("U17").ClearContents();  // page 3 lost its number: two pages are counted
  Show({Set("TextBox2", "150"), Click("CommandButton1")});
  EXPECT_EQ(sheet.Rows(14).RowHeight(), 150);
  EXPECT_EQ(sheet.Rows(18).RowHeight(), 190);
  EXPECT_EQ(sheet.PageSetup().Zoom(), 92);  // now the width decides
  ASSERT_EQ(sheet.HPageBreaks().Count(), 1);
  EXPECT_EQ(sheet.HPageBreaks().Item(1), 9);
  ASSERT_EQ(Events(Kind::kPreview).size(), 1u);
  EXPECT_EQ(Events(Kind::kPreview)[0].sheets, std::vector<std::string>{"テスト用紙 【40】"});
  EXPECT_EQ(module_.GetIniValue("Qs", ""), "150");
}

TEST_F(PrintFormTest, ARefusedValueIsNeverStored) {
  MakeTestSheet(1);
  // The box holds the refused text when the window is closed; closing stores nothing, and the
  // store button is held by the check.
  Show({Set("TextBox7", "0"), Click("CommandButton4")});
  EXPECT_EQ(MessageTexts(),
            std::vector<std::string>(2, "1以上の整数を入力して下さい。(既定値：7.0) "));
  EXPECT_EQ(SettingsText(), "");
  EXPECT_TRUE(module_.Is40Sheet);
}

}  // namespace
}  // namespace tessarin::testgen
