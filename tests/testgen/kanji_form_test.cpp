// Tests of the test creation dialog: its controls, START, opening, the box checks, the options,
// the buttons and the settings keys they write.
#include "core/testgen/kanji_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/testgen/testgen_fixture.h"

namespace tessarin::testgen {
namespace {

using nlohmann::json;

class KanjiFormTest : public TestgenTest {
 protected:
  // Runs START with the dialog doing `actions`; returns the dialog's snapshots.
  std::vector<json> Start(const json& actions) {
    QueueDialog(actions);
    START(module_, form_);
    return Events("form");
  }

  KanjiForm1 form_{module_};
};

TEST_F(KanjiFormTest, ControlsInTabOrderWithTheirCaptionsAndPlaces) {
  struct Row {
    const char* name;
    const char* caption;
    forms::Bounds bounds;
  };
  const std::vector<Row> table = {
      {"T1", "", {55.5, 42.7, 30, 15}},
      {"Label1", "出題範囲　　　　　　 　～", {9.8, 45.8, 105.7, 16.5}},
      {"T2", "", {105.8, 42.8, 30, 15}},
      {"Label2", "出題数　　　　　　　　　題", {9.8, 72.7, 111, 15.8}},
      {"T3", "", {55.5, 69, 30, 15}},
      {"CommandButton1", "作成", {18.7, 189.8, 72, 19.5}},
      {"CommandButton2", "閉じる", {112.4, 189.8, 45, 19.5}},
      {"CommandButton3", "リセット", {140.2, 42, 35.3, 17.3}},
      {"T4", "", {55.5, 92.2, 36.7, 15}},
      {"Label3", "乱数コード", {11.3, 95.2, 41.2, 12}},
      {"CBox", "間違い度数を無視する", {15, 119.2, 157.5, 12.8}},
      {"CheckBox1", "一度出題された問題を除く", {15, 134.8, 159.8, 15}},
      {"CheckBox2", "「必出」問題を考慮する", {15, 154.1, 159.8, 15}},
      {"TB1", "１ページ  ２０問で作成", {10.5, 4.5, 165, 22.5}},
      {"CommandButton4", "乱数コード作成", {99, 91.5, 67.5, 17.3}},
      {"CheckBox3", "ﾃｽﾄ用紙に出典先を記入する", {14.6, 170.2, 159.8, 15}},
  };
  ASSERT_EQ(form_.controls().size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const forms::Control& c = form_.Get(table[i].name);
    SCOPED_TRACE(c.name());
    EXPECT_EQ(c.tab_index(), static_cast<int>(i));
    if (*table[i].caption) {
      EXPECT_EQ(c.caption(), table[i].caption);
    }
    EXPECT_EQ(c.bounds().left, table[i].bounds.left);
    EXPECT_EQ(c.bounds().top, table[i].bounds.top);
    EXPECT_EQ(c.bounds().width, table[i].bounds.width);
    EXPECT_EQ(c.bounds().height, table[i].bounds.height);
    EXPECT_EQ(c.font_name(), "MS UI Gothic");
    EXPECT_EQ(c.font_size(), 9);
  }
  EXPECT_EQ(form_.width(), 183);
  EXPECT_EQ(form_.height(), 214.5);
  EXPECT_EQ(form_.Get<forms::TextBox>("T2").text(), "50");
  EXPECT_EQ(form_.Get<forms::TextBox>("T4").text(), "");
}

TEST_F(KanjiFormTest, StartRefusesOtherSheetsAndAnEmptyFirstQuestion) {
  app_.Sheets().Add().SetName("問題ミラトス");
  START(module_, form_);
  ASSERT_EQ(Events("msgbox").size(), 1u);
  EXPECT_EQ(Events("msgbox")[0]["text"], "シート名「ミラトス」を選択して下さい。");
  EXPECT_EQ(Events("msgbox")[0]["caption"], "ミラトス");
  EXPECT_EQ(module_.QSheetName, "ミラトス");  // unchanged by the refusal

  app_.Sheets().Add().SetName("ミラトス2");
  Sheet("ミラトス2").Range("D2").SetText("二行目の問");
  START(module_, form_);
  ASSERT_EQ(Events("msgbox").size(), 2u);
  EXPECT_EQ(Events("msgbox")[1]["text"], "問題文が１題もありません。");
  EXPECT_EQ(Events("msgbox")[1]["caption"], "エラー");
  EXPECT_EQ(module_.QSheetName, "ミラトス2");
  EXPECT_EQ(module_.TestTitle, "ミラトス2");
  EXPECT_TRUE(Events("form").empty());

  Sheet("ミラトス2").Range("D1").SetText("一行目の問");
  START(module_, form_);
  EXPECT_EQ(Events("form").size(), 2u);  // shown, then closed with its close box
}

TEST_F(KanjiFormTest, OpensWithDefaultsWhenNothingIsSaved) {
  MakeQuestions(30);
  module_.Is40Sheet = false;
  const json shown = Start(json::array()).at(0);
  const json& c = shown["controls"];
  EXPECT_EQ(c["T1"]["text"], "1");
  EXPECT_EQ(c["T2"]["text"], "30");
  EXPECT_EQ(c["T3"]["text"], "40");
  EXPECT_EQ(c["T4"]["text"], "1234");
  EXPECT_EQ(c["CBox"]["value"], false);
  EXPECT_EQ(c["CheckBox1"]["value"], false);
  EXPECT_EQ(c["CheckBox2"]["value"], false);
  EXPECT_EQ(c["CheckBox3"]["value"], true);
  EXPECT_EQ(c["TB1"]["value"], true);
  EXPECT_EQ(c["TB1"]["caption"], "１ページ  ４０問で作成");
  EXPECT_EQ(shown["focus"], "T1");
  EXPECT_TRUE(module_.Is40Sheet);
  EXPECT_TRUE(module_.WriteSourceNote);
  EXPECT_FALSE(app_.ScreenUpdating());
  EXPECT_EQ(SettingsText(), "");  // closing through the window saves nothing
}

TEST_F(KanjiFormTest, ASelectionOfSeveralRowsSetsTheRange) {
  MakeQuestions(30);
  module_.SetIniValue("ST", "3", false);
  module_.SetIniValue("ED", "9", false);
  module_.SetIniValue("Mo", "15", false);
  app_.Range("B5:D12").Select();
  json c = Start(json::array()).at(0)["controls"];
  EXPECT_EQ(c["T1"]["text"], "5");
  EXPECT_EQ(c["T2"]["text"], "12");
  EXPECT_EQ(c["T3"]["text"], "15");
  app_.Range("C7").Select();
  events_.clear();
  c = Start(json::array()).at(0)["controls"];
  EXPECT_EQ(c["T1"]["text"], "3");
  EXPECT_EQ(c["T2"]["text"], "9");
}

TEST_F(KanjiFormTest, SavedOptionsAndTheLaterOfTwoExclusiveOnesWins) {
  MakeQuestions(5);
  for (const char* key : {"FMU", "KMU", "HST"}) module_.SetIniValue(key, "True", false);
  module_.SetIniValue("STN", "False", false);
  module_.SetIniValue("1P40", "False", false);
  module_.Is40Sheet = true;  // e.g. after the 40 sheet was activated
  const json c = Start(json::array()).at(0)["controls"];
  EXPECT_EQ(c["CBox"]["value"], false);
  EXPECT_EQ(c["CheckBox1"]["value"], true);
  EXPECT_EQ(c["CheckBox2"]["value"], true);
  EXPECT_EQ(c["CheckBox3"]["value"], false);
  EXPECT_EQ(c["TB1"]["caption"], "１ページ  ２０問で作成");
  EXPECT_FALSE(module_.IgnoreWrongCount);
  EXPECT_TRUE(module_.ExcludeAsked);
  EXPECT_TRUE(module_.ConsiderMustAppear);
  EXPECT_FALSE(module_.WriteSourceNote);
  EXPECT_FALSE(module_.Is40Sheet);  // the flag follows the toggle even though it did not change
}

TEST_F(KanjiFormTest, FlagsFollowTheDialogAfterAnUnsavedClose) {
  MakeQuestions(5);
  Start({{{"check", {"CBox", true}}}});  // ticked, then closed through the window
  EXPECT_TRUE(module_.IgnoreWrongCount);
  events_.clear();
  const json c = Start(json::array()).at(0)["controls"];
  EXPECT_EQ(c["CBox"]["value"], false);
  EXPECT_FALSE(module_.IgnoreWrongCount);
}

TEST_F(KanjiFormTest, BoxChecksKeepTheFocus) {
  MakeQuestions(5);
  const std::vector<json> forms = Start({{{"set", {"T3", "0"}}},
                                         {{"set", {"T3", "0.5"}}},
                                         {{"set", {"T3", ""}}},
                                         {{"set", {"T3", "abc"}}},
                                         {{"set", {"T3", "１２"}}},
                                         {{"set", {"T2", "1"}}},
                                         {{"set", {"T2", "2"}}},
                                         {{"set", {"T1", "0"}}},
                                         {{"set", {"T1", "1.5"}}},
                                         {{"set", {"T4", "-3"}}},
                                         {{"set", {"T4", "0427"}}}});
  const std::vector<std::string> one(4, "1以上の整数を入力して下さい。 ");
  std::vector<std::string> expected = one;
  expected.push_back("2以上の整数を入力して下さい。 ");
  expected.push_back("1以上の整数を入力して下さい。 ");
  expected.push_back("1以上の整数を入力して下さい。 ");
  EXPECT_EQ(MessageTexts(), expected);
  for (const json& box : Events("msgbox")) EXPECT_EQ(box["caption"], "ミラトス");
  EXPECT_EQ(forms[1]["focus"], "T3");
  EXPECT_EQ(forms[4]["focus"], "T3");
  EXPECT_EQ(forms[5]["focus"], "CommandButton1");  // 全角 12 passed
  EXPECT_EQ(forms[6]["focus"], "T2");
  EXPECT_EQ(forms[10]["focus"], "T4");
  EXPECT_EQ(forms[11]["focus"], "CBox");
}

TEST_F(KanjiFormTest, OptionRulesAndTheToggle) {
  MakeQuestions(5);
  const std::vector<json> forms = Start({{{"check", {"CBox", true}}},
                                         {{"check", {"CheckBox1", true}}},
                                         {{"check", {"CheckBox1", false}}},
                                         {{"check", {"CheckBox2", true}}},
                                         {{"check", {"CheckBox3", false}}},
                                         {{"toggle", {"TB1", false}}}});
  EXPECT_EQ(forms[1]["controls"]["CBox"]["value"], true);
  EXPECT_EQ(forms[2]["controls"]["CBox"]["value"], false);
  EXPECT_EQ(forms[2]["controls"]["CheckBox1"]["value"], true);
  EXPECT_EQ(forms[3]["controls"]["CBox"]["value"], false);  // both may be clear
  EXPECT_EQ(forms[6]["controls"]["TB1"]["caption"], "１ページ  ２０問で作成");
  EXPECT_FALSE(module_.IgnoreWrongCount);
  EXPECT_FALSE(module_.ExcludeAsked);
  EXPECT_TRUE(module_.ConsiderMustAppear);
  EXPECT_FALSE(module_.WriteSourceNote);
  EXPECT_FALSE(module_.Is40Sheet);
}

TEST_F(KanjiFormTest, CloseButtonWritesAllNineKeysInOrder) {
  MakeQuestions(30);
  Start({{{"set", {"T1", "2"}}},
         {{"set", {"T2", "２０"}}},
         {{"check", {"CheckBox1", true}}},
         {{"click", "CommandButton2"}}});
  EXPECT_EQ(SettingsText(),
            "ST:2\r\nED:２０\r\nMo:40\r\nRND:1234\r\nFMU:False\r\nKMU:True\r\nHST:False\r\n"
            "STN:True\r\n1P40:True\r\n");
  EXPECT_EQ(Events("form").back(), (json{{"name", "KanjiForm1"}, {"closed", true}}));
}

TEST_F(KanjiFormTest, ResetAndMakeCode) {
  MakeQuestions(17);
  module_.SetIniValue("ST", "4", false);
  module_.SetIniValue("ED", "8", false);
  const std::vector<json> forms =
      Start({{{"click", "CommandButton3"}}, {{"click", "CommandButton4"}}});
  EXPECT_EQ(forms[1]["controls"]["T1"]["text"], "1");
  EXPECT_EQ(forms[1]["controls"]["T2"]["text"], "17");
  const std::string code = forms[2]["controls"]["T4"]["text"];
  ASSERT_EQ(code.size(), 4u);
  for (char ch : code) EXPECT_TRUE(ch >= '0' && ch <= '9') << code;
  EXPECT_EQ(SettingsText(), "ST:4\r\nED:8\r\n");  // nothing stored
}

TEST_F(KanjiFormTest, MadeCodesAreSpreadOverAllDigits) {
  MakeQuestions(3);
  std::vector<int> seen(10, 0);
  std::vector<json> clicks(50, {{"click", "CommandButton4"}});
  const std::vector<json> forms = Start(clicks);
  for (size_t i = 1; i < forms.size() - 1; ++i) {
    for (char ch : forms[i]["controls"]["T4"]["text"].get<std::string>()) ++seen[ch - '0'];
  }
  for (int d = 0; d < 10; ++d) EXPECT_GT(seen[d], 0) << d;
}

TEST_F(KanjiFormTest, SheetExistsComparesExactly) {
  app_.Sheets().Add().SetName("テスト用紙 【40】");
  EXPECT_TRUE(SheetExists(app_.Sheets(), "テスト用紙 【40】"));
  EXPECT_TRUE(SheetExists(app_.Sheets(), "ミラトス"));
  EXPECT_FALSE(SheetExists(app_.Sheets(), "テスト用紙【40】"));
  EXPECT_FALSE(SheetExists(app_.Sheets(), "テスト用紙 【20】"));
  app_.Sheets().Add().SetName("Sheet");
  EXPECT_FALSE(SheetExists(app_.Sheets(), "sheet"));
}

}  // namespace
}  // namespace tessarin::testgen
