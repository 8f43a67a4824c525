// QueuedUi: answers from queues, one event per box, form step and sound.
#include "core/forms/queued_ui.h"

#include <algorithm>

namespace tessarin::forms {

UserAction UserAction::Set(std::string control, std::string text) {
  UserAction a;
  a.kind = Kind::kSet;
  a.control = std::move(control);
  a.text = std::move(text);
  return a;
}

UserAction UserAction::Check(std::string control, bool value) {
  UserAction a;
  a.kind = Kind::kCheck;
  a.control = std::move(control);
  a.flag = value;
  return a;
}

UserAction UserAction::Toggle(std::string control, bool value) {
  UserAction a = Check(std::move(control), value);
  a.kind = Kind::kToggle;
  return a;
}

UserAction UserAction::Page(std::string control, int page) {
  UserAction a;
  a.kind = Kind::kPage;
  a.control = std::move(control);
  a.index = page;
  return a;
}

UserAction UserAction::Click(std::string control) {
  UserAction a;
  a.kind = Kind::kClick;
  a.control = std::move(control);
  return a;
}

UserAction UserAction::Click(std::string array, int index) {
  UserAction a = Click(std::move(array));
  a.index = index;
  return a;
}

UserAction UserAction::Close() { return UserAction(); }

Gesture UserAction::ApplyTo(Form& form) const {
  switch (kind) {
    case Kind::kSet:
      return form.UserType(control, text);
    case Kind::kCheck:
      return form.UserCheck(control, flag);
    case Kind::kToggle:
      return form.UserToggle(control, flag);
    case Kind::kPage:
      return form.UserSelectPage(control, index);
    case Kind::kClick:
      return index < 0 ? form.UserClick(control) : form.UserClick(control, index);
    case Kind::kClose:
      form.UserCloseBox();
      return {};
  }
  return {};
}

namespace {

ControlView ViewOfControl(const Control& control) {
  using Kind = Control::Kind;
  ControlView view;
  view.kind = control.kind();
  view.caption = control.caption();
  view.enabled = control.enabled();
  view.tooltip = control.tooltip();
  switch (control.kind()) {
    case Kind::kTextBox:
      view.text = static_cast<const TextBox&>(control).text();
      break;
    case Kind::kCheckBox:
    case Kind::kToggleButton:
      view.checked = static_cast<const CheckBox&>(control).value();
      break;
    case Kind::kMultiPage: {
      const auto& pages = static_cast<const MultiPage&>(control);
      view.page = pages.value();
      for (int i = 0; i < pages.page_count(); ++i)
        view.pages.emplace_back(pages.page(i).caption, pages.page(i).enabled);
      break;
    }
    default:
      break;
  }
  return view;
}

}  // namespace

FormView ViewOf(const Form& form) {
  FormView view{form.name(), form.caption(), form.focus() ? form.focus()->name() : "", {}};
  for (const Control* control : form.controls())
    view.controls.emplace(control->name(), ViewOfControl(*control));
  return view;
}

bool UiEvent::IsError() const {
  return kind == Kind::kUnfitAnswer || kind == Kind::kRefusedAction || kind == Kind::kActionsLeft ||
         kind == Kind::kCloseRefused;
}

std::vector<UiEvent> QueuedUi::Events(UiEvent::Kind kind) const {
  std::vector<UiEvent> out;
  std::copy_if(events_.begin(), events_.end(), std::back_inserter(out),
               [kind](const UiEvent& e) { return e.kind == kind; });
  return out;
}

std::vector<std::string> QueuedUi::MessageTexts() const {
  std::vector<std::string> out;
  for (const UiEvent& e : events_) {
    if (e.kind == UiEvent::Kind::kMsgBox) out.push_back(e.text);
  }
  return out;
}

std::size_t QueuedUi::ErrorCount() const {
  return std::count_if(events_.begin(), events_.end(),
                       [](const UiEvent& e) { return e.IsError(); });
}

void QueuedUi::Emit(UiEvent event) {
  if (listener_) {
    listener_(event);
  } else {
    events_.push_back(std::move(event));
  }
}

void QueuedUi::EmitView(const Form& form, UiEvent::Kind kind) {
  UiEvent event;
  event.kind = kind;
  if (kind == UiEvent::Kind::kForm) {
    event.view = ViewOf(form);
  } else {
    event.view.name = form.name();
  }
  event.form_loaded = form.loaded();
  Emit(std::move(event));
}

MsgBoxResult QueuedUi::ShowMessage(const std::string& text, const std::string& caption,
                                   MsgBoxButtons buttons) {
  UiEvent box;
  box.kind = UiEvent::Kind::kMsgBox;
  box.text = text;
  box.caption = caption;
  box.buttons = buttons;
  box.answer = FirstButton(buttons);
  box.automatic = msgbox_answers_.empty();
  if (!box.automatic) {
    const MsgBoxResult queued = msgbox_answers_.front();
    msgbox_answers_.pop_front();
    if (Fits(queued, buttons)) {
      box.answer = queued;
    } else {
      UiEvent unfit = box;
      unfit.kind = UiEvent::Kind::kUnfitAnswer;
      unfit.queued = queued;
      Emit(std::move(unfit));
    }
  }
  const MsgBoxResult answer = box.answer;
  Emit(std::move(box));
  return answer;
}

void QueuedUi::ShowModal(Form& form) {
  std::vector<UserAction> actions;
  std::function<void(Form&)> script;
  auto plan = std::find_if(form_plans_.begin(), form_plans_.end(),
                           [&](const FormPlan& p) { return p.form == form.name(); });
  if (plan != form_plans_.end()) {
    // Taken before anything runs: a handler may show the same form again.
    actions = std::move(plan->actions);
    script = std::move(plan->script);
    form_plans_.erase(plan);
  }

  form.Activated();
  if (form.visible()) EmitView(form, UiEvent::Kind::kForm);

  std::size_t next = 0;
  for (; next < actions.size() && form.visible(); ++next) {
    const Gesture gesture = actions[next].ApplyTo(form);
    if (gesture.outcome == Gesture::Outcome::kRefused) {
      UiEvent refused;
      refused.kind = UiEvent::Kind::kRefusedAction;
      refused.view.name = form.name();
      refused.text = gesture.reason;
      refused.actions = {actions[next]};
      Emit(std::move(refused));
      continue;
    }
    if (form.visible()) EmitView(form, UiEvent::Kind::kForm);
  }
  if (next < actions.size()) {
    UiEvent left;
    left.kind = UiEvent::Kind::kActionsLeft;
    left.view.name = form.name();
    left.form_loaded = form.loaded();
    left.actions.assign(actions.begin() + static_cast<std::ptrdiff_t>(next), actions.end());
    Emit(std::move(left));
  }
  if (script && form.visible()) {
    script(form);
    if (form.visible()) EmitView(form, UiEvent::Kind::kForm);
  }

  // Whatever the plan left open is closed as a user would, and closed for good when the form
  // refuses: a run must not hang on a dialog.
  if (form.visible() && !form.UserCloseBox() && form.visible()) {
    EmitView(form, UiEvent::Kind::kCloseRefused);
    form.Unload();
  }
}

void QueuedUi::FormClosed(Form& form, bool unloaded) {
  EmitView(form, unloaded ? UiEvent::Kind::kFormClosed : UiEvent::Kind::kFormHidden);
}

std::optional<std::string> QueuedUi::GetOpenFilename(std::string_view filter) {
  UiEvent event;
  event.kind = UiEvent::Kind::kOpenFile;
  event.text = std::string(filter);
  if (!openfile_answers_.empty()) {
    event.reply = std::move(openfile_answers_.front());
    openfile_answers_.pop_front();
  }
  std::optional<std::string> reply = event.reply;
  Emit(std::move(event));
  return reply;
}

std::optional<std::string> QueuedUi::EditPhonetic(const PhoneticEdit& edit) {
  UiEvent event;
  event.kind = UiEvent::Kind::kPhonetic;
  event.text = edit.cell;
  if (!phonetic_answers_.empty()) {
    event.reply = std::move(phonetic_answers_.front());
    phonetic_answers_.pop_front();
  }
  std::optional<std::string> reply = event.reply;
  Emit(std::move(event));
  return reply;
}

void QueuedUi::Beep(int type) {
  UiEvent event;
  event.kind = UiEvent::Kind::kBeep;
  event.beep = type;
  Emit(std::move(event));
}

void QueuedUi::PrintPreview(const std::vector<std::string>& sheets) {
  UiEvent event;
  event.kind = UiEvent::Kind::kPreview;
  event.sheets = sheets;
  Emit(std::move(event));
}

}  // namespace tessarin::forms
