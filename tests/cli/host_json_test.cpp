// The JSON views of the host model: which cells a dump lists and how values and sizes read.
#include "app/cli/host_json.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "core/host/range.h"

namespace tessarin::cli {
namespace {

using nlohmann::json;

class DumpTest : public ::testing::Test {
 protected:
  DumpTest() { app_.Workbooks().Add(); }
  host::Sheet sheet() { return app_.ActiveSheet(); }
  json Dump(const char* address) { return DumpJson(sheet(), host::ParseAddress(address)); }
  host::Application app_;
};

TEST(HostJson, NumbersReadAsTheUserWroteThem) {
  EXPECT_EQ(NumberJson(12.0).dump(), "12");
  EXPECT_EQ(NumberJson(-3.0).dump(), "-3");
  EXPECT_EQ(NumberJson(1.5).dump(), "1.5");
  EXPECT_EQ(MeasureJson(0.17 * 72).dump(), "12.24");
  EXPECT_EQ(MeasureJson(0.7 * 72).dump(), "50.4");
  EXPECT_EQ(MeasureJson(10.5).dump(), "10.5");
  EXPECT_TRUE(NumberJson(std::nan("")).is_null());
}

TEST(HostJson, ValuesKeepTheirJsonTypes) {
  EXPECT_EQ(ValueJson(host::CellValue::Number(427)), json(427));
  EXPECT_EQ(ValueJson(host::CellValue::Text("0427")), json("0427"));
  EXPECT_EQ(ValueJson(host::CellValue::Boolean(true)), json(true));
  EXPECT_EQ(ValueJson(host::CellValue::Error(host::CellError::kNA)), json("#N/A"));
  EXPECT_TRUE(ValueJson(host::CellValue()).is_null());
}

TEST_F(DumpTest, ListsValuesCommentsPhoneticsAndOwnStylesOnly) {
  sheet().Range("A1").SetValue(host::ParseInput("漢字"));
  sheet().Range("A1").Phonetics().SetText("かんじ");
  sheet().Range("B2").AddComment("only a comment");
  sheet().Range("C3").Font().SetBold(true);
  sheet().Rows("5:5").Font().SetSize(20);
  sheet().Columns("E:E").SetHorizontalAlignment(host::kXlCenter);

  json dump = Dump("A1:F8");
  json cells = dump["cells"];
  EXPECT_EQ(cells.size(), 3u) << cells;
  EXPECT_EQ(cells["A1"]["phonetic"], json({{"text", "かんじ"}, {"visible", false}}));
  EXPECT_EQ(cells["B2"]["comment"], "only a comment");
  EXPECT_TRUE(cells["B2"]["value"].is_null());
  EXPECT_EQ(cells["C3"]["font"]["bold"], true);
  EXPECT_EQ(dump["comments"], 1);
  EXPECT_FALSE(cells["A1"].contains("comment"));
  EXPECT_FALSE(cells["A1"].contains("runs"));
}

TEST_F(DumpTest, CellsOfAFormattedRowAreListedForValuesAndOwnFormatsOnly) {
  sheet().Rows("5:5").Font().SetSize(20);
  sheet().Range("B5").SetValue(host::ParseInput("x"));
  sheet().Range("C5").Font().SetBold(true);
  sheet().Range("D5").SetValue(host::ParseInput("gone"));
  sheet().Range("D5").ClearContents();
  json cells = Dump("A1:F8")["cells"];
  ASSERT_EQ(cells.size(), 2u) << cells;
  EXPECT_EQ(cells["B5"]["font"]["size"], 20);
  EXPECT_EQ(cells["C5"]["font"]["size"], 20);
  EXPECT_EQ(cells["C5"]["font"]["bold"], true);
}

TEST_F(DumpTest, BoldAndStyleAgreeInCellsAndRuns) {
  host::Range cell = sheet().Range("D1");
  cell.SetValue(host::ParseInput("問題文"));
  cell.Font().SetFontStyle("太字");
  cell.Characters(2, 1).Font().SetBold(false);
  json d1 = Dump("D1")["cells"]["D1"];
  EXPECT_EQ(d1["font"]["bold"], true);
  EXPECT_EQ(d1["font"]["style"], "太字");
  ASSERT_TRUE(d1.contains("runs")) << d1;
  bool found_plain = false;
  for (const json& run : d1["runs"]) {
    EXPECT_EQ(run["font"]["bold"] == true, run["font"]["style"] == "太字") << run;
    if (run["start"] == 2 && run["length"] == 1) found_plain = run["font"]["bold"] == false;
  }
  EXPECT_TRUE(found_plain) << d1["runs"];
}

TEST_F(DumpTest, BordersListOnlyTheLinesThatAreSet) {
  host::Range cell = sheet().Range("B2");
  cell.Borders(host::kXlEdgeLeft).SetLineStyle(host::kXlContinuous);
  cell.Borders(host::kXlEdgeBottom).SetWeight(host::kXlMedium);
  json borders = Dump("B2")["cells"]["B2"]["borders"];
  EXPECT_EQ(borders, json::parse(R"({"7": {"linestyle": 1, "weight": 2, "colorindex": -4105},
                                     "9": {"linestyle": 1, "weight": -4138, "colorindex": -4105}})"));
}

TEST_F(DumpTest, RowsStopAtAThousandColumnsAreKeyedByLetter) {
  sheet().Range("B:B").SetColumnWidth(6.4);
  sheet().Range("3:3").SetRowHeight(190);
  json whole_column = Dump("B:B");
  EXPECT_EQ(whole_column["rows"].size(), 1000u);
  EXPECT_EQ(whole_column["rows"]["3"], 190);
  EXPECT_FALSE(whole_column["rows"].contains("1001"));
  EXPECT_EQ(whole_column["cols"], json({{"B", 6.4}}));

  json two_areas = Dump("A1:B2,Z1");
  EXPECT_EQ(two_areas["rows"].size(), 2u);
  EXPECT_EQ(two_areas["cols"].size(), 3u);
  EXPECT_TRUE(two_areas["cols"].contains("Z"));
}

TEST_F(DumpTest, PageSetupUsesTheHostsNamesAndPrintAreaIsNullWhenNone) {
  json dump = Dump("A1");
  EXPECT_TRUE(dump["printarea"].is_null());
  EXPECT_EQ(dump["pagesetup"]["Zoom"], 100);
  EXPECT_EQ(dump["pagesetup"]["Orientation"], host::kXlPortrait);

  host::PageSetupRef setup = sheet().PageSetup();
  setup.SetPrintArea("$A$1:$U$16");
  setup.SetLeftMargin(app_.InchesToPoints(0.17));
  setup.SetOrientation(host::kXlLandscape);
  sheet().worksheet().page_setup().zoom = 0;  // fitted to pages, as a file can say
  dump = Dump("A1");
  EXPECT_EQ(dump["printarea"], "A1:U16");
  EXPECT_EQ(dump["pagesetup"]["PrintArea"], "A1:U16");
  EXPECT_EQ(dump["pagesetup"]["LeftMargin"].dump(), "12.24");
  EXPECT_EQ(dump["pagesetup"]["Orientation"], host::kXlLandscape);
  EXPECT_EQ(dump["pagesetup"]["Zoom"], false);
}

TEST(HostJson, StateWithoutWorkbookIsAllNulls) {
  host::Application app;
  json state = StateJson(app);
  EXPECT_EQ(state, json::parse(R"({"workbooks": [], "active_workbook": null, "sheets": [],
                                   "active_sheet": null, "selection": null, "active_cell": null})"));
}

TEST(HostJson, CommandBarControlsGiveNullForMissingIconAndMacro) {
  host::Application app;
  host::ControlList& bar = app.CommandBars().Item("cell").Controls();
  host::CommandBarControl& popup = bar.Add(host::kMsoControlPopup, 1);
  popup.SetCaption("メニュー(&M)");
  host::CommandBarControl& button = popup.Controls().Add(host::kMsoControlButton);
  button.SetCaption("項目");
  button.SetOnAction("K_QVersion");
  app.MacroOptions("K_START", true, "t");

  json bars = CommandBarsJson(app);
  json first = bars["cell"][0];
  EXPECT_EQ(first["type"], "popup");
  EXPECT_TRUE(first["faceid"].is_null());
  EXPECT_TRUE(first["onaction"].is_null());
  EXPECT_EQ(first["controls"][0]["onaction"], "K_QVersion");
  EXPECT_EQ(first["controls"][0]["type"], "button");
  EXPECT_FALSE(first["controls"][0].contains("controls"));
  EXPECT_EQ(bars["shortcuts"], json({{"t", "K_START"}}));
  EXPECT_EQ(bars["cell"].size(), static_cast<size_t>(bar.Count()));
}

}  // namespace
}  // namespace tessarin::cli
