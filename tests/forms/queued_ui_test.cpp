// Tests of QueuedUi: answers taken in order, plans taken by form name, and what it reports.
#include "core/forms/queued_ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/forms/test_dialog.h"

namespace tessarin::forms {
namespace {

using Kind = UiEvent::Kind;

TEST(QueuedUi, AnAnswerThatFitsNoButtonIsReportedAndTheFirstButtonTaken) {
  QueuedUi ui;
  ui.QueueMsgBox(MsgBoxResult::kYes);
  ui.QueueMsgBox(MsgBoxResult::kNo);
  EXPECT_EQ(ui.MsgBox("a"), MsgBoxResult::kOk);  // "yes" on an OK box
  EXPECT_EQ(ui.MsgBox("b", "確認", MsgBoxButtons::kYesNo), MsgBoxResult::kNo);
  EXPECT_EQ(ui.MsgBox("c", "", MsgBoxButtons::kYesNo), MsgBoxResult::kYes);  // queue empty
  ASSERT_EQ(ui.events().size(), 4u);
  EXPECT_EQ(ui.events()[0].kind, Kind::kUnfitAnswer);
  EXPECT_EQ(ui.ErrorCount(), 1u);
  EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_FALSE(ui.events()[2].automatic);
  EXPECT_TRUE(ui.events()[3].automatic);
}

TEST(QueuedUi, EachShowTakesThePlanWithItsNameAndReportsWhatItCouldNotDo) {
  QueuedUi ui;
  TestDialog form(ui);
  ui.QueueForm({"OtherForm", {UserAction::Close()}});
  ui.QueueForm({"TestForm1",
                {UserAction::Click("Label1"), UserAction::Click("CommandButton2"),
                 UserAction::Set("T2", "too late")}});
  form.Show(ui);
  EXPECT_EQ(ui.pending_forms(), 1u);  // the other form's plan waits
  const std::vector<UiEvent> refused = ui.Events(Kind::kRefusedAction);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].actions.at(0).control, "Label1");
  const std::vector<UiEvent> left = ui.Events(Kind::kActionsLeft);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].actions.at(0).text, "too late");
  EXPECT_EQ(ui.events().back().kind, Kind::kActionsLeft);
  EXPECT_EQ(ui.Events(Kind::kFormClosed).size(), 1u);
}

TEST(QueuedUi, APlansScriptRunsAfterItsActionsOnlyWhileTheFormIsOpen) {
  QueuedUi ui;
  TestDialog form(ui);
  std::vector<std::string> seen;
  auto script = [&](Form& shown) { seen.push_back(shown.name()); };
  ui.QueueForm({"TestForm1", {UserAction::Click("CommandButton1")}, script});
  form.Show(ui);
  EXPECT_EQ(form.creates, 1);   // the action ran first
  EXPECT_EQ(seen.size(), 1u);   // then the script, on the open form
  EXPECT_FALSE(form.loaded());  // and what was left open was closed
  ui.QueueForm({"TestForm1", {UserAction::Click("CommandButton2")}, script});
  form.Show(ui);
  EXPECT_EQ(seen.size(), 1u);  // closed by its actions: the script has no form to work on
}

TEST(QueuedUi, AFormWithoutAPlanIsClosedAndOneThatRefusesIsUnloadedRegardless) {
  QueuedUi ui;
  TestDialog form(ui);
  form.refuse_close = true;
  form.Show(ui);
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(ui.Events(Kind::kCloseRefused).size(), 1u);
}

TEST(QueuedUi, AListenerTakesTheEventsAndNothingIsKept) {
  std::vector<Kind> heard;
  QueuedUi ui([&](const UiEvent& e) { heard.push_back(e.kind); });
  ui.QueueOpenFile(std::nullopt);
  EXPECT_EQ(ui.GetOpenFilename("*.xlsx"), std::nullopt);
  ui.Beep(64);
  EXPECT_EQ(heard, (std::vector<Kind>{Kind::kOpenFile, Kind::kBeep}));
  EXPECT_TRUE(ui.events().empty());
}

}  // namespace
}  // namespace tessarin::forms
