// Tests of the grade search dialog: reading the selection by its address, the two views, the
// several-areas refusal and what a closed dialog leaves behind.
#include "core/reports/form1.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cli/form_script.h"
#include "app/cli/scripted_ui.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/reports/kanji_tables.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::reports {
namespace {

using nlohmann::json;

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() {
    module_.XlApp = &app_;
    module_.ui = &ui_;
    app_.Workbooks().Add();
  }

  void Put(std::string_view address, std::string_view text) { app_.Range(address).SetText(text); }
  void Select(std::string_view address) { app_.Range(address).Select(); }

  // Shows the dialog doing `actions`; returns the texts of Text1 in its snapshots.
  std::vector<std::string> Show(const json& actions = json::array()) {
    ui_.QueueForm(cli::ParseFormEntry({{"form", "Form1"}, {"do", actions}}));
    form_.Show(ui_);
    std::vector<std::string> texts;
    for (const json& e : events_) {
      if (e.contains("form") && e["form"].contains("controls"))
        texts.push_back(e["form"]["controls"]["Text1"]["text"]);
    }
    return texts;
  }
  std::vector<json> Events(std::string_view kind) const {
    std::vector<json> out;
    for (const json& e : events_) {
      if (e.contains(kind)) out.push_back(e[std::string(kind)]);
    }
    return out;
  }

  host::Application app_;
  std::vector<json> events_;
  cli::ScriptedUi ui_{[this](const json& e) { events_.push_back(e); }};
  workbook::KanjiModule module_;
  Form1 form_{module_};
};

TEST(SelectionAddress, EveryShapeTheHostWrites) {
  constexpr int64_t kRows = 1048576, kCols = 16384;
  struct Case {
    const char* address;
    int64_t rows, cols;
    SelectedCells cells;
  };
  const Case cases[] = {
      {"R3:R5", 3, kCols, {3, 5, 1, kCols}},
      {"R4", 1, kCols, {4, 4, 1, kCols}},
      {"C2:C4", kRows, 3, {1, kRows, 2, 4}},
      {"C3", kRows, 1, {1, kRows, 3, 3}},
      {"R3C2:R5C4", 3, 3, {3, 5, 2, 4}},
      {"R10C27:R1048576C16384", 1048567, 16358, {10, 1048576, 27, 16384}},
      // Mixed corners do not come from the host, but each corner is read as its shape says.
      {"R2:R3C4", 2, 4, {2, 3, 1, 4}},
      {"C2:R7", 7, 9, {1, 7, 2, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(ParseSelectionAddress(c.address, c.rows, c.cols), c.cells);
  }
  EXPECT_THROW(ParseSelectionAddress("R:R5", 1, 1), host::HostError);
}

TEST_F(Form1Test, OneCellGivesTheSetViewAndBeeps) {
  Put("D1", "一右");
  Select("D1");
  EXPECT_EQ(form_.caption(), "小学校で習う漢字リスト");
  EXPECT_EQ(form_.Get<forms::TextBox>("Text1").text(), "しばらくお待ちください．．．\r\n");
  ASSERT_EQ(Show(), std::vector<std::string>{
                        "【小学 1 年生で習う漢字】（漢検10級）2字 /80字 [2.5％]\r\n一、右\r\n"});
  const json view = Events("form").front();
  EXPECT_EQ(view["caption"], "小学校で習う漢字リスト【出題している漢字一覧】");
  EXPECT_EQ(view["controls"]["CD1"]["enabled"], true);
  EXPECT_EQ(view["controls"]["CD2"]["enabled"], false);
  EXPECT_EQ(Events("beep"), std::vector<json>{64});
  EXPECT_EQ(form_.Get<forms::TextBox>("Text1").font_name(), "ＭＳ ゴシック");
}

TEST_F(Form1Test, RectangleIsReadRowByRowSkippingEmptyCells) {
  Put("C2", "右");
  Put("B3", "円");
  Put("C3", "一");
  Put("D2", "王");  // outside
  app_.Range("B2").SetNumber(12);
  Select("B2:C3");
  EXPECT_EQ(Show().front(),
            "【小学 1 年生で習う漢字】（漢検10級）3字 /80字 [3.8％]\r\n右、円、一\r\n");
}

TEST_F(Form1Test, WholeRowsReachTheLastColumnAndNoFurther) {
  Put("XFD3", "右");
  Put("A5", "一");
  Put("A6", "円");
  Put("A2", "王");
  Select("3:5");
  EXPECT_EQ(Show().front(), "【小学 1 年生で習う漢字】（漢検10級）2字 /80字 [2.5％]\r\n右、一\r\n");
  events_.clear();
  Select("6:6");
  EXPECT_EQ(Show().front(), "【小学 1 年生で習う漢字】（漢検10級）1字 /80字 [1.3％]\r\n円\r\n");
}

TEST_F(Form1Test, WholeColumnsReachTheLastRowAndNoFurther) {
  Put("D1048576", "右");
  Put("B1", "一");
  Put("E1", "円");
  Put("A1", "王");
  Select("B:D");
  EXPECT_EQ(Show().front(), "【小学 1 年生で習う漢字】（漢検10級）2字 /80字 [2.5％]\r\n一、右\r\n");
  events_.clear();
  Select("E:E");
  EXPECT_EQ(Show().front(), "【小学 1 年生で習う漢字】（漢検10級）1字 /80字 [1.3％]\r\n円\r\n");
}

TEST_F(Form1Test, SeveralAreasShowTheErrorAndCloseWithoutReport) {
  Put("A1", "一");
  app_.ActiveSheet().Range("A1:B2,D4").Select();
  EXPECT_TRUE(Show(json::array({json{{"click", "CD1"}}})).empty());
  ASSERT_EQ(Events("msgbox").size(), 1u);
  EXPECT_EQ(Events("msgbox")[0]["text"], "「選択範囲」を複数回選んでいます。");
  EXPECT_EQ(Events("msgbox")[0]["caption"], "エラー");
  EXPECT_TRUE(Events("beep").empty());
  EXPECT_FALSE(form_.loaded());
  EXPECT_TRUE(form_.CloseOnActivate);
  EXPECT_EQ(form_.Get<forms::TextBox>("Text1").text(), "しばらくお待ちください．．．\r\n");

  // The next showing starts afresh.
  events_.clear();
  Select("A1");
  EXPECT_EQ(Show().size(), 1u);
  EXPECT_FALSE(form_.CloseOnActivate);
}

TEST_F(Form1Test, NotSetViewThenSetViewAgain) {
  Put("A1", std::string(KanjiTableText(1)));
  Select("A1");
  const std::vector<std::string> texts = Show(
      json::array({json{{"click", "CD1"}}, json{{"click", "CD2"}}, json{{"click", "Command1"}}}));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_TRUE(
      texts[1].starts_with("【小学 1 年生で習う漢字】（漢検10級）0字 /80字 "
                           "[0.0％]\r\nすべて網羅されています。\r\n\r\n"));
  EXPECT_EQ(texts[0], texts[2]);
  const std::vector<json> views = Events("form");
  EXPECT_EQ(views[1]["caption"], "小学校で習う漢字リスト【出題していない漢字一覧】");
  EXPECT_EQ(views[1]["controls"]["CD1"]["enabled"], false);
  EXPECT_EQ(views[1]["controls"]["CD2"]["enabled"], true);
  EXPECT_EQ(views[2]["caption"], "小学校で習う漢字リスト【出題している漢字一覧】");
  EXPECT_EQ(Events("beep").size(), 3u);
  EXPECT_EQ(views.back(), (json{{"name", "Form1"}, {"closed", true}}));
  for (const std::string& entry : form_.grades().KanjiList) EXPECT_EQ(entry, "");
}

TEST_F(Form1Test, ClosingWithTheCloseBoxLeavesNothingForTheNextSearch) {
  Put("A1", "一");
  Put("A2", "右");
  Select("A1");
  Show(json::array({json{{"close", true}}}));
  events_.clear();
  Select("A2");
  EXPECT_EQ(Show().front(), "【小学 1 年生で習う漢字】（漢検10級）1字 /80字 [1.3％]\r\n右\r\n");
}

TEST_F(Form1Test, TheAllocationChoiceClassifiesAgainAndStaysForTheNextShowing) {
  Put("A1", "岡一");
  Select("A1");
  const std::vector<std::string> texts =
      Show(json::array({json{{"check", {"CheckBox1", true}}}, json{{"click", "CD1"}}}));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_NE(texts[0].find("【高校で習う漢字】1字\r\n岡"), std::string::npos) << texts[0];
  EXPECT_EQ(texts[1],
            "【小学 1 年生で習う漢字】（漢検10級）1字 /80字 [1.3％]\r\n一\r\n\r\n"
            "【小学 4 年生で習う漢字】（漢検7級）1字 /202字 [0.5％]\r\n岡\r\n");
  EXPECT_NE(texts[2].find("（漢検4級～2級）1110字 /1110字"), std::string::npos);
  events_.clear();
  EXPECT_EQ(Show().front(), texts[1]);
  events_.clear();
  EXPECT_EQ(Show(json::array({json{{"check", {"CheckBox1", false}}}})).back(), texts[0]);
}

TEST_F(Form1Test, NoWorkbookEndsTheShowingWithTheHostError) {
  app_.CloseWorkbook(app_.ActiveWorkbook());
  EXPECT_THROW(Show(), host::HostError);
  EXPECT_FALSE(form_.loaded());
}

}  // namespace
}  // namespace tessarin::reports
