// Tests of the form model: lookup, tab order, value events and the modal life cycle.
#include "core/forms/form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/forms/queued_ui.h"
#include "core/host/host_error.h"
#include "tests/forms/test_dialog.h"

namespace tessarin::forms {
namespace {

using host::HostError;

int ErrorNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const HostError& error) {
    return error.number();
  }
  return 0;
}

std::vector<std::string> Names(const std::vector<Control*>& controls) {
  std::vector<std::string> names;
  for (const Control* control : controls) names.push_back(control->name());
  return names;
}

class FormTest : public ::testing::Test {
 protected:
  QueuedUi ui_;
  TestDialog form_{ui_};
};

TEST_F(FormTest, LookupRaisesSubscriptAndTypeErrors) {
  EXPECT_EQ(form_.Get<TextBox>("T1").bounds().left, 55.5);
  EXPECT_EQ(ErrorNumber([&] { form_.Get("T9"); }), 9);
  EXPECT_EQ(ErrorNumber([&] { form_.Get<CheckBox>("T1"); }), 13);
  EXPECT_EQ(ErrorNumber([&] { form_.GetArray("CMD")[3]; }), 9);
  EXPECT_EQ(ErrorNumber([&] { form_.GetArray("CommandButton1"); }), 9);
  EXPECT_EQ(form_.Get<CommandButton>("CMD(2)").index(), 2);
  EXPECT_EQ(&form_.GetArray("CMD")[1], &form_.Get<CommandButton>("CMD(1)"));
}

TEST_F(FormTest, NamesAreUniqueAcrossControlsAndArrays) {
  EXPECT_EQ(ErrorNumber([&] { form_.AddTextBox("T1"); }), 5);
  EXPECT_EQ(ErrorNumber([&] { form_.AddCheckBox("CMD", "x"); }), 5);
  EXPECT_EQ(ErrorNumber([&] { form_.AddButtonArray("T2", 2); }), 5);
  EXPECT_EQ(ErrorNumber([&] { form_.AddButtonArray("Empty", 0); }), 5);
}

TEST_F(FormTest, TabOrderFollowsTabIndexAndTheSelectedPage) {
  EXPECT_EQ(
      Names(form_.TabOrder()),
      (std::vector<std::string>{"T1", "T2", "CBox", "CheckBox1", "TB1", "CommandButton1",
                                "CommandButton2", "CMD(0)", "CMD(1)", "CMD(2)", "MultiPage1"}));
  form_.Get("T1").set_tab_index(20);
  form_.Get("CBox").set_enabled(false);
  form_.Get("CMD(1)").set_tab_stop(false);
  form_.Get<MultiPage>("MultiPage1").set_value(1);
  EXPECT_EQ(Names(form_.TabOrder()),
            (std::vector<std::string>{"T2", "CheckBox1", "TB1", "CommandButton1", "CommandButton2",
                                      "CMD(0)", "CMD(2)", "MultiPage1", "TextBox8", "T1"}));
  form_.Get<MultiPage>("MultiPage1").page(1).enabled = false;
  EXPECT_FALSE(form_.Reachable(form_.Get("TextBox8")));
}

TEST_F(FormTest, ValuesFireEventsOnlyWhenTheyChange) {
  auto& box = form_.Get<CheckBox>("CheckBox1");
  std::vector<std::string> fired;
  box.on_change = [&] { fired.push_back("change"); };
  box.on_click = [&] { fired.push_back("click"); };
  box.set_value(false);
  box.set_value(true);
  EXPECT_EQ(fired, (std::vector<std::string>{"change", "click"}));

  auto& pages = form_.Get<MultiPage>("MultiPage1");
  int changes = 0;
  pages.on_change = [&] { ++changes; };
  pages.set_value(0);
  pages.set_value(1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(ErrorNumber([&] { pages.set_value(2); }), 380);
  EXPECT_EQ(pages.value(), 1);
}

TEST_F(FormTest, TickingOneOptionClearsTheOtherFromCode) {
  auto& cbox = form_.Get<CheckBox>("CBox");
  auto& checkbox1 = form_.Get<CheckBox>("CheckBox1");
  cbox.set_value(true);
  checkbox1.set_value(true);
  EXPECT_FALSE(cbox.value());
  checkbox1.set_value(false);
  EXPECT_FALSE(cbox.value());
  EXPECT_FALSE(checkbox1.value());
}

TEST_F(FormTest, ErrorInAHandlerUnloadsTheFormAndLeavesItReusable) {
  form_.Get<CommandButton>("CommandButton1").on_click = [] {
    throw HostError(1004, "Application-defined or object-defined error");
  };
  ui_.QueueForm({"TestForm1", {UserAction::Click("CommandButton1")}});
  EXPECT_EQ(ErrorNumber([&] { form_.Show(ui_); }), 1004);
  EXPECT_FALSE(form_.loaded());
  EXPECT_EQ(form_.unloads, 0);  // abandoned, not unloaded by its own events
  EXPECT_EQ(ui_.events().back().kind, UiEvent::Kind::kFormClosed);
  form_.Show(ui_);
  EXPECT_EQ(form_.loads, 2);
  EXPECT_EQ(form_.activations, 2);
}

TEST_F(FormTest, HideReturnsFromShowAndKeepsTheFormLoaded) {
  form_.Get<CommandButton>("CommandButton1").on_click = [this] { form_.Hide(); };
  ui_.QueueForm({"TestForm1", {UserAction::Set("T2", "x"), UserAction::Click("CommandButton1")}});
  form_.Show(ui_);
  EXPECT_TRUE(form_.loaded());
  EXPECT_FALSE(form_.visible());
  EXPECT_EQ(form_.focus()->name(), "CommandButton1");
  EXPECT_EQ(ui_.events().back().kind, UiEvent::Kind::kFormHidden);

  form_.Show(ui_);  // shown again: not loaded again, and the focus is where it was
  EXPECT_EQ(form_.loads, 1);
  EXPECT_EQ(form_.activations, 2);
  EXPECT_EQ(form_.Get<TextBox>("T2").text(), "x");
  EXPECT_EQ(ui_.Events(UiEvent::Kind::kForm)[2].view.focus, "CommandButton1");
}

TEST_F(FormTest, ShowingAShownFormIsAnError) {
  int number = 0;
  form_.on_activate = [&] { number = ErrorNumber([&] { form_.Show(ui_); }); };
  form_.Show(ui_);
  EXPECT_EQ(number, 400);
  EXPECT_FALSE(form_.loaded());
}

TEST_F(FormTest, UnloadingWhileLoadingSkipsTheShow) {
  form_.on_load = [this] { form_.Unload(); };
  form_.Show(ui_);
  EXPECT_EQ(form_.activations, 0);
  EXPECT_EQ(form_.unloads, 1);
  EXPECT_TRUE(ui_.events().empty());
}

TEST_F(FormTest, ProgrammaticFocusNeedsAReachableFocusableControl) {
  form_.Load();
  form_.SetFocus("T2");
  EXPECT_EQ(form_.focus()->name(), "T2");
  EXPECT_EQ(ErrorNumber([&] { form_.SetFocus("Label1"); }), 5);
  EXPECT_EQ(ErrorNumber([&] { form_.SetFocus("TextBox8"); }), 5);  // its page is not shown
}

// A Ui whose modal show runs the test's gestures while the form is on screen.
class GestureUi : public QueuedUi {
 public:
  std::function<void(Form&)> gestures;

 protected:
  void ShowModal(Form& form) override {
    form.Activated();
    gestures(form);
    if (form.visible()) form.Unload();
  }
};

TEST(FormFocus, ClickingIntoAControlRunsTheExitCheckOfTheFocusedBox) {
  GestureUi ui;
  TestDialog form(ui);
  ui.QueueMsgBox(MsgBoxResult::kOk);
  ui.gestures = [](Form& shown) {
    ASSERT_EQ(shown.focus()->name(), "T1");
    shown.Get<TextBox>("T1").set_text("0");
    EXPECT_EQ(shown.UserFocus("T2").outcome, Gesture::Outcome::kHeld);
    EXPECT_EQ(shown.focus()->name(), "T1");
    shown.Get<TextBox>("T1").set_text("5");
    EXPECT_EQ(shown.UserFocus("T2").outcome, Gesture::Outcome::kDone);
    EXPECT_EQ(shown.focus()->name(), "T2");
    EXPECT_EQ(shown.UserFocus("Label1").outcome, Gesture::Outcome::kRefused);
    EXPECT_EQ(shown.UserFocus("TextBox8").outcome, Gesture::Outcome::kRefused);  // page not shown
  };
  form.Show(ui);
  EXPECT_EQ(ui.pending_msgbox(), 0u);
}

}  // namespace
}  // namespace tessarin::forms
