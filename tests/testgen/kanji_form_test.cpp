// Tests of the test creation dialog: its controls, START, opening, the box checks, the options,
// the buttons and the settings keys they write.
#include "core/testgen/kanji_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/testgen/testgen_fixture.h"

namespace tessarin::testgen {
namespace {

class KanjiFormTest : public TestgenTest {
 protected:
  // Runs START with the dialog doing `actions`; returns the dialog as shown after each.
  std::vector<forms::FormView> Start(std::vector<UserAction> actions) {
    QueueDialog(std::move(actions));
    START(module_, form_);
    return Views();
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
  ASSERT_EQ(Events(Kind::kMsgBox).size(), 1u);
  EXPECT_EQ(Events(Kind::kMsgBox)[0].text, "シート名「ミラトス」を選択して下さい。");
  EXPECT_EQ(Events(Kind::kMsgBox)[0].caption, "ミラトス");
  EXPECT_EQ(module_.QSheetName, "ミラトス");  // unchanged by the refusal

  app_.Sheets().Add().SetName("ミラトス2");
  Sheet("ミラトス2").Range("D2").SetText("二行目の問");
  START(module_, form_);
  ASSERT_EQ(Events(Kind::kMsgBox).size(), 2u);
  EXPECT_EQ(Events(Kind::kMsgBox)[1].text, "問題文が１題もありません。");
  EXPECT_EQ(Events(Kind::kMsgBox)[1].caption, "エラー");
  EXPECT_EQ(module_.QSheetName, "ミラトス2");
  EXPECT_EQ(module_.TestTitle, "ミラトス2");
  EXPECT_TRUE(Views().empty());

  Sheet("ミラトス2").Range("D1").SetText("一行目の問");
  START(module_, form_);
  EXPECT_EQ(Views().size(), 1u);  // shown, then closed with its close box
  EXPECT_EQ(Events(Kind::kFormClosed).size(), 1u);
}

TEST_F(KanjiFormTest, OpensWithDefaultsWhenNothingIsSaved) {
  MakeQuestions(30);
  module_.Is40Sheet = false;
  const forms::FormView shown = Start({}).at(0);
  const auto& c = shown.controls;
  EXPECT_EQ(c.at("T1").text, "1");
  EXPECT_EQ(c.at("T2").text, "30");
  EXPECT_EQ(c.at("T3").text, "40");
  EXPECT_EQ(c.at("T4").text, "1234");
  EXPECT_EQ(c.at("CBox").checked, false);
  EXPECT_EQ(c.at("CheckBox1").checked, false);
  EXPECT_EQ(c.at("CheckBox2").checked, false);
  EXPECT_EQ(c.at("CheckBox3").checked, true);
  EXPECT_EQ(c.at("TB1").checked, true);
  EXPECT_EQ(c.at("TB1").caption, "１ページ  ４０問で作成");
  EXPECT_EQ(shown.focus, "T1");
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
  auto c = Start({}).at(0).controls;
  EXPECT_EQ(c.at("T1").text, "5");
  EXPECT_EQ(c.at("T2").text, "12");
  EXPECT_EQ(c.at("T3").text, "15");
  app_.Range("C7").Select();
  ui_.ClearEvents();
  c = Start({}).at(0).controls;
  EXPECT_EQ(c.at("T1").text, "3");
  EXPECT_EQ(c.at("T2").text, "9");
}

TEST_F(KanjiFormTest, SavedOptionsAndTheLaterOfTwoExclusiveOnesWins) {
  MakeQuestions(5);
  for (const char* key : {"FMU", "KMU", "HST"}) module_.SetIniValue(key, "True", false);
  module_.SetIniValue("STN", "False", false);
  module_.SetIniValue("1P40", "False", false);
  module_.Is40Sheet = true;  // e.g. after the 40 sheet was activated
  const auto c = Start({}).at(0).controls;
  EXPECT_EQ(c.at("CBox").checked, false);
  EXPECT_EQ(c.at("CheckBox1").checked, true);
  EXPECT_EQ(c.at("CheckBox2").checked, true);
  EXPECT_EQ(c.at("CheckBox3").checked, false);
  EXPECT_EQ(c.at("TB1").caption, "１ページ  ２０問で作成");
  EXPECT_FALSE(module_.IgnoreWrongCount);
  EXPECT_TRUE(module_.ExcludeAsked);
  EXPECT_TRUE(module_.ConsiderMustAppear);
  EXPECT_FALSE(module_.WriteSourceNote);
  EXPECT_FALSE(module_.Is40Sheet);  // the flag follows the toggle even though it did not change
}

TEST_F(KanjiFormTest, FlagsFollowTheDialogAfterAnUnsavedClose) {
  MakeQuestions(5);
  Start({Check("CBox", true)});  // ticked, then closed through the window
  EXPECT_TRUE(module_.IgnoreWrongCount);
  ui_.ClearEvents();
  const auto c = Start({}).at(0).controls;
  EXPECT_EQ(c.at("CBox").checked, false);
  EXPECT_FALSE(module_.IgnoreWrongCount);
}

TEST_F(KanjiFormTest, BoxChecksKeepTheFocus) {
  MakeQuestions(5);
  const std::vector<forms::FormView> views =
      Start({Set("T3", "0"), Set("T3", "0.5"), Set("T3", ""), Set("T3", "abc"), Set("T3", "１２"),
             Set("T2", "1"), Set("T2", "2"), Set("T1", "0"), Set("T1", "1.5"), Set("T4", "-3"),
             Set("T4", "0427")});
  const std::vector<std::string> one(4, "1以上の整数を入力して下さい。 ");
  std::vector<std::string> expected = one;
  expected.push_back("2以上の整数を入力して下さい。 ");
  expected.push_back("1以上の整数を入力して下さい。 ");
  expected.push_back("1以上の整数を入力して下さい。 ");
  EXPECT_EQ(MessageTexts(), expected);
  for (const forms::UiEvent& box : Events(Kind::kMsgBox)) EXPECT_EQ(box.caption, "ミラトス");
  EXPECT_EQ(views[1].focus, "T3");
  EXPECT_EQ(views[4].focus, "T3");
  EXPECT_EQ(views[5].focus, "CommandButton1");  // 全角 12 passed
  EXPECT_EQ(views[6].focus, "T2");
  EXPECT_EQ(views[10].focus, "T4");
  EXPECT_EQ(views[11].focus, "CBox");
}

TEST_F(KanjiFormTest, OptionRulesAndTheToggle) {
  MakeQuestions(5);
  const std::vector<forms::FormView> views =
      Start({Check("CBox", true), Check("CheckBox1", true), Check("CheckBox1", false),
             Check("CheckBox2", true), Check("CheckBox3", false), Toggle("TB1", false)});
  EXPECT_EQ(views[1].controls.at("CBox").checked, true);
  EXPECT_EQ(views[2].controls.at("CBox").checked, false);
  EXPECT_EQ(views[2].controls.at("CheckBox1").checked, true);
  EXPECT_EQ(views[3].controls.at("CBox").checked, false);  // both may be clear
  EXPECT_EQ(views[6].controls.at("TB1").caption, "１ページ  ２０問で作成");
  EXPECT_FALSE(module_.IgnoreWrongCount);
  EXPECT_FALSE(module_.ExcludeAsked);
  EXPECT_TRUE(module_.ConsiderMustAppear);
  EXPECT_FALSE(module_.WriteSourceNote);
  EXPECT_FALSE(module_.Is40Sheet);
}

TEST_F(KanjiFormTest, CloseButtonWritesAllNineKeysInOrder) {
  MakeQuestions(30);
  Start({Set("T1", "2"), Set("T2", "２０"), Check("CheckBox1", true), Click("CommandButton2")});
  EXPECT_EQ(SettingsText(),
            "ST:2\r\nED:２０\r\nMo:40\r\nRND:1234\r\nFMU:False\r\nKMU:True\r\nHST:False\r\n"
            "STN:True\r\n1P40:True\r\n");
  EXPECT_EQ(ui_.events().back().kind, Kind::kFormClosed);
  EXPECT_EQ(ui_.events().back().view.name, "KanjiForm1");
}

TEST_F(KanjiFormTest, ResetAndMakeCode) {
  MakeQuestions(17);
  module_.SetIniValue("ST", "4", false);
  module_.SetIniValue("ED", "8", false);
  const std::vector<forms::FormView> views =
      Start({Click("CommandButton3"), Click("CommandButton4")});
  EXPECT_EQ(views[1].controls.at("T1").text, "1");
  EXPECT_EQ(views[1].controls.at("T2").text, "17");
  const std::string code = views[2].controls.at("T4").text;
  ASSERT_EQ(code.size(), 4u);
  for (char ch : code) EXPECT_TRUE(ch >= '0' && ch <= '9') << code;
  EXPECT_EQ(SettingsText(), "ST:4\r\nED:8\r\n");  // nothing stored
}

TEST_F(KanjiFormTest, MadeCodesAreSpreadOverAllDigits) {
  MakeQuestions(3);
  std::vector<int> seen(10, 0);
  const std::vector<forms::FormView> views = Start(std::vector(50, Click("CommandButton4")));
  for (size_t i = 1; i < views.size(); ++i) {
    for (char ch : views[i].controls.at("T4").text) ++seen[ch - '0'];
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
