// QueuedUi: a Ui without a screen. It answers from queues filled beforehand, plays queued user
// actions on the forms it shows, and reports what it showed as plain events. The core's tests
// drive dialogs through it; the script runner's Ui is built on it.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/forms/form.h"
#include "core/forms/ui.h"

namespace tessarin::forms {

// One thing a user does to a shown form.
struct UserAction {
  enum class Kind { kSet, kCheck, kToggle, kPage, kClick, kClose };

  Kind kind = Kind::kClose;
  std::string control;  // control name, or the array name for a click with an index
  std::string text;     // kSet
  bool flag = false;    // kCheck, kToggle
  int index = -1;       // kPage: the page; kClick: the array index, -1 for a plain button
  std::string source;   // the action as its author wrote it, for reports ("" when made here)

  // Types `text` into a text box and leaves it (its Exit check runs).
  static UserAction Set(std::string control, std::string text);
  static UserAction Check(std::string control, bool value);
  static UserAction Toggle(std::string control, bool value);
  static UserAction Page(std::string control, int page);
  static UserAction Click(std::string control);
  static UserAction Click(std::string array, int index);
  // The window's close box.
  static UserAction Close();

  // Performs the action through the form's User* gestures.
  Gesture ApplyTo(Form& form) const;
};

// What to do on the next showing of the form named `form`: the user actions in order, then,
// while the form is still open, `script` (gestures a front end makes in code, e.g. the command
// line's options typed into a dialog).
struct FormPlan {
  FormPlan() = default;
  FormPlan(std::string form, std::vector<UserAction> actions,
           std::function<void(Form& form)> script = {})
      : form(std::move(form)), actions(std::move(actions)), script(std::move(script)) {}

  std::string form;
  std::vector<UserAction> actions;
  std::function<void(Form& form)> script;
};

// A control as the user sees it; which fields apply depends on the kind (text for a text box,
// value for a check box, toggle button or MultiPage, pages for a MultiPage).
struct ControlView {
  Control::Kind kind = Control::Kind::kLabel;
  std::string text;
  bool checked = false;
  int page = 0;
  std::string caption;
  bool enabled = true;
  std::string tooltip;
  std::vector<std::pair<std::string, bool>> pages;  // caption, enabled
};

// A shown form as the user sees it; controls by name (array members as "CMD(0)").
struct FormView {
  std::string name;
  std::string caption;
  std::string focus;  // "" when no control has the focus
  std::map<std::string, ControlView> controls;
};
FormView ViewOf(const Form& form);

// What the Ui did, in order.
struct UiEvent {
  enum class Kind {
    kMsgBox,         // text, caption, buttons, answer, automatic
    kForm,           // view: after the form activated and after each action it took
    kFormClosed,     // view.name: the form unloaded
    kFormHidden,     // view.name: the form was hidden
    kBeep,           // beep
    kPreview,        // sheets
    kOpenFile,       // text: the filter; reply (nullopt: cancelled)
    kPhonetic,       // text: the cell; reply (nullopt: cancelled)
    kUnfitAnswer,    // text, buttons, answer: a queued answer the box has no button for
    kRefusedAction,  // view.name, action, text: the reason; the user could not do it
    kActionsLeft,    // view.name, actions: queued for a form that closed (or hid) before them
    kCloseRefused,   // view.name: the form refused its close box and was unloaded regardless
  };

  Kind kind = Kind::kBeep;
  std::string text;
  std::string caption;
  MsgBoxButtons buttons = MsgBoxButtons::kOk;
  MsgBoxResult answer = MsgBoxResult::kOk;
  MsgBoxResult queued = MsgBoxResult::kOk;  // kUnfitAnswer: what was queued
  bool automatic = false;  // kMsgBox: no answer was queued, the box took its first button
  FormView view;
  bool form_loaded = false;  // kActionsLeft: the form was hidden, not unloaded
  int beep = 0;
  std::vector<std::string> sheets;
  std::optional<std::string> reply;
  std::vector<UserAction> actions;  // kRefusedAction: the one; kActionsLeft: those left

  // True for the kinds that report something a script or test did wrong.
  bool IsError() const;
};

// A message box takes the next queued answer; one that does not fit its buttons is reported
// (kUnfitAnswer) and the box takes its first button; with the queue empty it takes its first
// button (automatic). A shown form takes the first queued plan with its name and plays its
// actions; a form with no plan, or still open after it, is closed with its close box, and
// unloaded regardless when it refuses that, so that no run can hang. The open-file box and the
// phonetic-guide editor take the next queued reply, and are cancelled when none is queued.
class QueuedUi : public Ui {
 public:
  using Listener = std::function<void(const UiEvent& event)>;

  // Without a listener every event is kept in events(); with one, each is passed to it only,
  // so that a long run keeps nothing.
  explicit QueuedUi(Listener listener = {}) : listener_(std::move(listener)) {}

  void QueueMsgBox(MsgBoxResult answer) { msgbox_answers_.push_back(answer); }
  // nullopt cancels the box.
  void QueueOpenFile(std::optional<std::string> path) {
    openfile_answers_.push_back(std::move(path));
  }
  // nullopt cancels the editor.
  void QueuePhonetic(std::optional<std::string> reading) {
    phonetic_answers_.push_back(std::move(reading));
  }
  void QueueForm(FormPlan plan) { form_plans_.push_back(std::move(plan)); }

  // Answers still waiting.
  std::size_t pending_msgbox() const { return msgbox_answers_.size(); }
  std::size_t pending_openfile() const { return openfile_answers_.size(); }
  std::size_t pending_phonetic() const { return phonetic_answers_.size(); }
  std::size_t pending_forms() const { return form_plans_.size(); }

  // The events so far, all or of one kind, and the texts of the message boxes shown.
  const std::vector<UiEvent>& events() const { return events_; }
  std::vector<UiEvent> Events(UiEvent::Kind kind) const;
  std::vector<std::string> MessageTexts() const;
  std::size_t ErrorCount() const;
  void ClearEvents() { events_.clear(); }

  std::optional<std::string> GetOpenFilename(std::string_view filter) override;
  void Beep(int type) override;
  void PrintPreview(const std::vector<std::string>& sheets) override;
  std::optional<std::string> EditPhonetic(const PhoneticEdit& edit) override;

 protected:
  MsgBoxResult ShowMessage(const std::string& text, const std::string& caption,
                           MsgBoxButtons buttons) override;
  void ShowModal(Form& form) override;
  void FormClosed(Form& form, bool unloaded) override;

 private:
  void Emit(UiEvent event);
  void EmitView(const Form& form, UiEvent::Kind kind);

  Listener listener_;
  std::vector<UiEvent> events_;
  std::deque<MsgBoxResult> msgbox_answers_;
  std::deque<std::optional<std::string>> openfile_answers_;
  std::deque<std::optional<std::string>> phonetic_answers_;
  std::deque<FormPlan> form_plans_;
};

}  // namespace tessarin::forms
