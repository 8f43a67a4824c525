// Tests of the scripted Ui: form actions, answer queues, transcript events and script parsing.
#include "app/cli/scripted_ui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/forms/test_dialog.h"

namespace tessarin::cli {
namespace {

using namespace forms;  // the dialog under test and the Ui's answers

using nlohmann::json;
using ::testing::HasSubstr;

// Collects the transcript of a ScriptedUi.
struct Transcript {
  std::vector<nlohmann::json> events;

  ScriptedUi::Sink Sink() {
    return [this](const nlohmann::json& event) { events.push_back(event); };
  }
  // The events whose single key is `key`.
  std::vector<nlohmann::json> Of(const std::string& key) const {
    std::vector<nlohmann::json> found;
    for (const auto& event : events) {
      if (event.contains(key)) found.push_back(event[key]);
    }
    return found;
  }
  // The "focus" of the last form snapshot.
  nlohmann::json LastFocus() const {
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
      if (it->contains("form") && (*it)["form"].contains("focus")) return (*it)["form"]["focus"];
    }
    return "no snapshot";
  }
};

const json kClosed = {{"form", {{"name", "TestForm1"}, {"closed", true}}}};

class ScriptedUiTest : public ::testing::Test {
 protected:
  // Shows the dialog with one queued entry of `actions`.
  void Run(const json& actions) {
    ui_.QueueForm(ParseFormEntry({{"form", "TestForm1"}, {"do", actions}}));
    form_.Show(ui_);
  }
  std::vector<json> Errors() const { return transcript_.Of("error"); }

  Transcript transcript_;
  ScriptedUi ui_{transcript_.Sink()};
  TestDialog form_{ui_};
};

TEST_F(ScriptedUiTest, LeavingABoxMovesTheFocusToTheNextTabStop) {
  Run({{{"set", {"T1", "5"}}}, {{"set", {"T2", "abc"}}}});
  auto forms = transcript_.Of("form");
  ASSERT_EQ(forms.size(), 4u);
  EXPECT_EQ(forms[0]["focus"], "T1");  // first of the tab order on activation
  EXPECT_EQ(forms[1]["focus"], "T2");  // the label between them takes no focus
  EXPECT_EQ(forms[2]["focus"], "CBox");
  EXPECT_EQ(forms[2]["controls"]["T2"]["text"], "abc");
  EXPECT_EQ(transcript_.events.back(), kClosed);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ScriptedUiTest, CancelledExitKeepsTheFocusAndHoldsTheNextGesture) {
  Run({{{"set", {"T1", "0"}}},
       {{"click", "CommandButton1"}},
       {{"check", {"CBox", true}}},
       {{"set", {"T1", "0.5"}}},
       {{"set", {"T1", "2"}}},
       {{"click", "CommandButton1"}}});
  auto boxes = transcript_.Of("msgbox");
  ASSERT_EQ(boxes.size(), 4u);  // 0, the click, the check and 0.5 each meet the check
  EXPECT_EQ(boxes[0]["text"], "1以上の整数を入力して下さい。 ");
  EXPECT_EQ(form_.creates, 1);
  auto forms = transcript_.Of("form");
  EXPECT_EQ(forms[1]["focus"], "T1");
  EXPECT_EQ(forms[2]["focus"], "T1");
  EXPECT_EQ(forms[3]["controls"]["CBox"]["value"], false);
  EXPECT_EQ(forms[5]["focus"], "T2");
  EXPECT_EQ(forms[6]["focus"], "CommandButton1");
}

TEST_F(ScriptedUiTest, ActionsTheUserCouldNotDoAreLoggedAndIgnored) {
  form_.on_activate = [this] { form_.Get("CommandButton1").set_enabled(false); };
  Run({{{"click", "CommandButton1"}},
       {{"set", {"TextBox8", "9"}}},
       {{"check", {"TB1", true}}},
       {{"set", {"Nope", "1"}}},
       {{"page", {"MultiPage1", 1}}},
       {{"set", {"TextBox8", "9"}}}});
  auto errors = Errors();
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_THAT(errors[0].get<std::string>(), HasSubstr("CommandButton1 is disabled"));
  EXPECT_THAT(errors[1].get<std::string>(), HasSubstr("which is not selected"));
  EXPECT_THAT(errors[2].get<std::string>(), HasSubstr("TB1 is a toggle button"));
  EXPECT_THAT(errors[3].get<std::string>(), HasSubstr("no control \"Nope\""));
  EXPECT_EQ(form_.creates, 0);
  EXPECT_EQ(form_.Get<TextBox>("TextBox8").text(), "9");
  // Activation, the page, the box and the close: ignored actions leave no snapshot.
  EXPECT_EQ(transcript_.Of("form").size(), 4u);
}

TEST_F(ScriptedUiTest, DisabledPageCannotBeSelected) {
  form_.on_activate = [this] { form_.Get<MultiPage>("MultiPage1").page(1).enabled = false; };
  Run({{{"page", {"MultiPage1", 1}}}, {{"page", {"MultiPage1", 2}}}});
  ASSERT_EQ(Errors().size(), 2u);
  EXPECT_THAT(Errors()[0].get<std::string>(), HasSubstr("page 1 of MultiPage1 is disabled"));
  EXPECT_THAT(Errors()[1].get<std::string>(), HasSubstr("has no page 2"));
  EXPECT_EQ(form_.Get<MultiPage>("MultiPage1").value(), 0);
}

TEST_F(ScriptedUiTest, ControlArrayClickReceivesTheIndex) {
  Run({{{"click", {"CMD", 2}}},
       {{"click", "CMD(0)"}},
       {{"click", "CMD"}},
       {{"click", {"CMD", 3}}},
       {{"click", {"T1", 0}}}});
  EXPECT_EQ(form_.clicked, (std::vector<int>{2, 0}));
  auto errors = Errors();
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_THAT(errors[0].get<std::string>(), HasSubstr("CMD is a control array"));
  EXPECT_THAT(errors[1].get<std::string>(), HasSubstr("CMD has no member 3"));
  EXPECT_THAT(errors[2].get<std::string>(), HasSubstr("T1 is not a control array"));
  EXPECT_EQ(transcript_.Of("form")[1]["focus"], "CMD(2)");
}

TEST_F(ScriptedUiTest, RefusedCloseBoxKeepsTheFormUntilTheRunEnds) {
  form_.refuse_close = true;
  Run({{{"close", true}}, {{"set", {"T2", "still open"}}}});
  EXPECT_EQ(form_.Get<TextBox>("T2").text(), "still open");
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_THAT(Errors()[0].get<std::string>(), HasSubstr("refused its close box"));
  EXPECT_EQ(form_.unloads, 1);
  EXPECT_FALSE(form_.loaded());
  EXPECT_EQ(transcript_.events.back(), kClosed);
}

TEST_F(ScriptedUiTest, CloseBoxUnloadsOnceAndDropsTheRest) {
  Run({{{"close", true}}, {{"click", "CommandButton1"}}, {{"set", {"T1", "3"}}}});
  EXPECT_EQ(form_.unloads, 1);
  EXPECT_EQ(form_.creates, 0);
  ASSERT_EQ(transcript_.events.size(), 3u);
  EXPECT_EQ(transcript_.events[1], kClosed);
  EXPECT_THAT(transcript_.events[2]["error"].get<std::string>(),
              HasSubstr("closed with 2 action(s) left: [{\"click\":\"CommandButton1\"}"));
}

TEST_F(ScriptedUiTest, EachShowTakesTheNextEntryWithItsName) {
  ui_.QueueForm(ParseFormEntry({{"form", "OtherForm"}, {"do", {{{"close", true}}}}}));
  ui_.QueueForm(ParseFormEntry(
      {{"form", "TestForm1"}, {"do", {{{"set", {"T1", "4"}}}, {{"click", "CommandButton2"}}}}}));
  ui_.QueueForm(ParseFormEntry({{"form", "TestForm1"}, {"do", {{{"click", {"CMD", 1}}}}}}));
  form_.Show(ui_);
  EXPECT_EQ(form_.focus(), nullptr);
  form_.Show(ui_);
  EXPECT_EQ(form_.loads, 2);
  EXPECT_EQ(form_.activations, 2);
  EXPECT_EQ(form_.unloads, 2);
  EXPECT_EQ(form_.clicked, std::vector<int>{1});
  EXPECT_EQ(ui_.pending_forms(), 1u);  // OtherForm's entry waits for its own form
  auto forms = transcript_.Of("form");
  EXPECT_EQ(forms[3]["focus"], "T1");                  // focus starts over after the unload
  EXPECT_EQ(forms[3]["controls"]["T1"]["text"], "4");  // values are the dialog's to reset
}

TEST_F(ScriptedUiTest, FormWithoutEntryIsClosedWithItsCloseBox) {
  form_.Show(ui_);
  ASSERT_EQ(transcript_.events.size(), 2u);
  EXPECT_EQ(transcript_.events[0]["form"]["name"], "TestForm1");
  EXPECT_EQ(transcript_.events[1], kClosed);
  EXPECT_EQ(form_.unloads, 1);
}

TEST_F(ScriptedUiTest, SnapshotGivesEachControlWhatItHas) {
  form_.Get("CMD(1)").set_tooltip("C:/data/問題.xlsx");
  form_.Get("CMD(1)").set_caption("問題.xlsx");
  form_.Get("CMD(2)").set_enabled(false);
  form_.Get<TextBox>("T1").set_text("1");
  form_.Get<MultiPage>("MultiPage1").page(0).enabled = false;
  form_.Get<MultiPage>("MultiPage1").set_value(1);
  form_.Load();
  form_.SetFocus("T2");
  json snapshot = FormSnapshot(form_);
  EXPECT_EQ(snapshot["name"], "TestForm1");
  EXPECT_EQ(snapshot["caption"], "テスト");
  EXPECT_EQ(snapshot["focus"], "T2");
  const json& controls = snapshot["controls"];
  EXPECT_EQ(controls.size(), 14u);
  EXPECT_EQ(controls["T1"], (json{{"text", "1"}, {"enabled", true}}));
  EXPECT_EQ(controls["Label1"], (json{{"caption", "出題範囲"}, {"enabled", true}}));
  EXPECT_EQ(controls["CBox"],
            (json{{"value", false}, {"caption", "間違い度数を無視する"}, {"enabled", true}}));
  EXPECT_EQ(controls["CMD(1)"],
            (json{{"caption", "問題.xlsx"}, {"enabled", true}, {"tooltip", "C:/data/問題.xlsx"}}));
  EXPECT_EQ(controls["CMD(2)"]["enabled"], false);
  EXPECT_EQ(controls["MultiPage1"], (json{{"value", 1},
                                          {"enabled", true},
                                          {"pages",
                                           {{{"caption", "４０題"}, {"enabled", false}},
                                            {{"caption", "２０題"}, {"enabled", true}}}}}));
  EXPECT_EQ(controls["Image1"], (json{{"enabled", true}}));
  EXPECT_EQ(FormSnapshot(form_)["focus"], "T2");
  form_.Unload();
  EXPECT_TRUE(FormSnapshot(form_)["focus"].is_null());
}

TEST_F(ScriptedUiTest, ToggleRunsItsClickHandler) {
  Run({{{"toggle", {"TB1", true}}}, {{"toggle", {"TB1", true}}}});
  auto forms = transcript_.Of("form");
  EXPECT_EQ(forms[1]["controls"]["TB1"],
            (json{{"value", true}, {"caption", "４０問"}, {"enabled", true}}));
  EXPECT_EQ(forms[2]["controls"]["TB1"]["caption"], "４０問");
}

TEST_F(ScriptedUiTest, MessageBoxesTakeQueuedAnswersThatFit) {
  ui_.QueueMsgBox(MsgBoxResult::kNo);
  ui_.QueueMsgBox(MsgBoxResult::kYes);  // an OK box has no Yes
  EXPECT_EQ(ui_.MsgBox("本当に履歴を消去してもよろしいですか？", "確認", MsgBoxButtons::kYesNo),
            MsgBoxResult::kNo);
  EXPECT_EQ(ui_.MsgBox("問題文が１題もありません。", "エラー"), MsgBoxResult::kOk);
  ui_.set_title("題名");
  EXPECT_EQ(ui_.MsgBox("消去しますか？", "", MsgBoxButtons::kYesNo), MsgBoxResult::kYes);
  ASSERT_EQ(transcript_.events.size(), 4u);
  EXPECT_EQ(transcript_.events[0]["msgbox"],
            (json{{"text", "本当に履歴を消去してもよろしいですか？"},
                  {"caption", "確認"},
                  {"buttons", "yesno"},
                  {"answer", "no"},
                  {"auto", false}}));
  EXPECT_THAT(transcript_.events[1]["error"].get<std::string>(), HasSubstr("no button \"yes\""));
  EXPECT_EQ(transcript_.events[2]["msgbox"]["answer"], "ok");
  EXPECT_EQ(transcript_.events[2]["msgbox"]["auto"], false);
  EXPECT_EQ(transcript_.events[3]["msgbox"]["caption"], "題名");
  EXPECT_EQ(transcript_.events[3]["msgbox"]["auto"], true);
  EXPECT_EQ(ui_.pending_msgbox(), 0u);
}

TEST_F(ScriptedUiTest, OpenFileAndPhoneticCancelWhenNothingIsQueued) {
  const std::string filter = "Microsoft Excelブック,*.xl*,テキストファイル,*.txt";
  ui_.QueueOpenFile("/home/u/問題.xlsx");
  ui_.QueueOpenFile(std::nullopt);
  EXPECT_EQ(ui_.GetOpenFilename(filter), "/home/u/問題.xlsx");
  EXPECT_EQ(ui_.GetOpenFilename(filter), std::nullopt);
  EXPECT_EQ(ui_.GetOpenFilename(filter), std::nullopt);
  ui_.QueuePhonetic("かんじ");
  EXPECT_EQ(ui_.EditPhonetic({"D5", "漢字", {{0, 2, "漢字", "かん", ""}}}), "かんじ");
  EXPECT_EQ(ui_.EditPhonetic({"D6", "", {}}), std::nullopt);
  ui_.Beep(64);
  ui_.PrintPreview({"テスト用紙 【40】"});
  EXPECT_EQ(
      transcript_.events,
      (std::vector<json>{{{"openfile", {{"filter", filter}, {"answer", "/home/u/問題.xlsx"}}}},
                         {{"openfile", {{"filter", filter}, {"answer", nullptr}}}},
                         {{"openfile", {{"filter", filter}, {"answer", nullptr}}}},
                         {{"phonetic", {{"cell", "D5"}, {"answer", "かんじ"}}}},
                         {{"phonetic", {{"cell", "D6"}, {"answer", nullptr}}}},
                         {{"beep", 64}},
                         {{"preview", {{"sheets", {"テスト用紙 【40】"}}}}}}));
}

TEST(FormScript, ParsesEveryActionKind) {
  FormAction set = ParseFormAction(json::parse(R"({"set": ["T3", "20"]})"));
  EXPECT_EQ(set.kind, FormAction::Kind::kSet);
  EXPECT_EQ(set.control, "T3");
  EXPECT_EQ(set.text, "20");
  FormAction check = ParseFormAction(json::parse(R"({"check": ["CBox", false]})"));
  EXPECT_EQ(check.kind, FormAction::Kind::kCheck);
  EXPECT_FALSE(check.flag);
  EXPECT_EQ(ParseFormAction(json::parse(R"({"page": ["MultiPage1", 1]})")).index, 1);
  FormAction member = ParseFormAction(json::parse(R"({"click": ["CMD", 4]})"));
  EXPECT_EQ(member.control, "CMD");
  EXPECT_EQ(member.index, 4);
  EXPECT_EQ(ParseFormAction(json::parse(R"({"click": "Sample"})")).index, -1);
  EXPECT_EQ(ParseFormAction(json::parse(R"({"close": true})")).kind, FormAction::Kind::kClose);
}

TEST(FormScript, RejectsMalformedActionsWithTheirText) {
  for (const char* text :
       {R"({"set": ["T3", 20]})", R"({"set": ["T3"]})", R"({"set": ["", "1"]})",
        R"({"check": ["CBox", "yes"]})", R"({"toggle": "TB1"})", R"({"page": ["MultiPage1", -1]})",
        R"({"page": ["MultiPage1", 1.5]})", R"({"click": ["CMD"]})", R"({"click": ""})",
        R"({"close": false})", R"({"press": "CommandButton1"})", R"({"set": ["T1", "1"], "x": 1})",
        R"(["click", "CommandButton1"])"}) {
    SCOPED_TRACE(text);
    try {
      ParseFormAction(json::parse(text));
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_THAT(error.what(), HasSubstr(json::parse(text).dump()));
    }
  }
}

TEST(FormScript, EntryErrorsNameTheFormAndTheAction) {
  try {
    ParseFormEntry(json::parse(R"({"form": "KanjiForm1", "do": [{"close": true}, {"click": 3}]})"));
    FAIL() << "accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_THAT(error.what(), HasSubstr("KanjiForm1, action 2"));
  }
  EXPECT_THROW(ParseFormEntry(json::parse(R"({"form": "KanjiForm1", "do": {"close": true}})")),
               std::invalid_argument);
  EXPECT_THROW(ParseFormEntry(json::parse(R"({"form": 3})")), std::invalid_argument);
  EXPECT_THROW(ParseFormEntry(json::parse(R"({"form": "F", "actions": []})")),
               std::invalid_argument);
  EXPECT_TRUE(ParseFormEntry(json::parse(R"({"form": "FILE_Sentaku"})")).actions.empty());
}

TEST(FormScript, QueueAnswerTakesOnlyAnswerSteps) {
  ScriptedUi ui;
  EXPECT_FALSE(ui.QueueAnswer(json::parse(R"({"call": "START"})")));
  EXPECT_FALSE(ui.QueueAnswer(json::parse(R"("msgbox")")));
  EXPECT_TRUE(ui.QueueAnswer(json::parse(R"({"msgbox": "yes"})")));
  EXPECT_TRUE(ui.QueueAnswer(json::parse(R"({"openfile": null})")));
  EXPECT_TRUE(ui.QueueAnswer(json::parse(R"({"phonetic": "よみ"})")));
  EXPECT_TRUE(ui.QueueAnswer(json::parse(R"({"form": "PrintForm", "do": []})")));
  EXPECT_EQ(
      ui.pending_msgbox() + ui.pending_openfile() + ui.pending_phonetic() + ui.pending_forms(), 4u);
  EXPECT_THROW(ui.QueueAnswer(json::parse(R"({"msgbox": "cancel"})")), std::invalid_argument);
  EXPECT_THROW(ui.QueueAnswer(json::parse(R"({"openfile": 3})")), std::invalid_argument);
  EXPECT_THROW(ui.QueueAnswer(json::parse(R"({"phonetic": "a", "cell": "D1"})")),
               std::invalid_argument);
}

}  // namespace
}  // namespace tessarin::cli
