// ScriptedUi: answers from queues, one transcript event per box, form step and sound.
#include "app/cli/scripted_ui.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "core/forms/form.h"

namespace tessarin::cli {

using forms::Form;
using forms::Gesture;
using forms::MsgBoxButtons;
using forms::MsgBoxResult;
using nlohmann::json;

namespace {

json OptionalText(const std::optional<std::string>& text) { return text ? json(*text) : json(); }

// The answer of an {"openfile": ...} or {"phonetic": ...} step: a text, or null to cancel.
std::optional<std::string> TextOrNull(const json& step, const char* key) {
  const json& value = step[key];
  if (step.size() != 1 || !(value.is_string() || value.is_null())) {
    throw std::invalid_argument("malformed answer " + JsonText(step) + ": expected {\"" + key +
                                "\": TEXT or null}");
  }
  if (value.is_null()) return std::nullopt;
  return value.get<std::string>();
}

json ControlSnapshot(const forms::Control& control) {
  using Kind = forms::Control::Kind;
  json out = json::object();
  switch (control.kind()) {
    case Kind::kTextBox:
      out["text"] = static_cast<const forms::TextBox&>(control).text();
      break;
    case Kind::kCheckBox:
    case Kind::kToggleButton:
      out["value"] = static_cast<const forms::CheckBox&>(control).value();
      out["caption"] = control.caption();
      break;
    case Kind::kMultiPage: {
      const auto& pages = static_cast<const forms::MultiPage&>(control);
      out["value"] = pages.value();
      out["pages"] = json::array();
      for (int i = 0; i < pages.page_count(); ++i) {
        out["pages"].push_back(
            {{"caption", pages.page(i).caption}, {"enabled", pages.page(i).enabled}});
      }
      break;
    }
    case Kind::kLabel:
    case Kind::kCommandButton:
      out["caption"] = control.caption();
      break;
    case Kind::kImage:
      break;
  }
  out["enabled"] = control.enabled();
  if (!control.tooltip().empty()) out["tooltip"] = control.tooltip();
  return out;
}

}  // namespace

json FormSnapshot(const Form& form) {
  json controls = json::object();
  for (const forms::Control* control : form.controls())
    controls[control->name()] = ControlSnapshot(*control);
  return {{"name", form.name()},
          {"caption", form.caption()},
          {"focus", form.focus() != nullptr ? json(form.focus()->name()) : json()},
          {"controls", std::move(controls)}};
}

bool ScriptedUi::QueueAnswer(const json& step) {
  if (!step.is_object()) return false;
  if (step.contains("msgbox")) {
    if (step.size() != 1) {
      throw std::invalid_argument("malformed answer " + JsonText(step) +
                                  ": expected {\"msgbox\": \"ok\" | \"yes\" | \"no\"}");
    }
    QueueMsgBox(ParseMsgBoxAnswer(step["msgbox"]));
  } else if (step.contains("openfile")) {
    QueueOpenFile(TextOrNull(step, "openfile"));
  } else if (step.contains("phonetic")) {
    QueuePhonetic(TextOrNull(step, "phonetic"));
  } else if (step.contains("form")) {
    QueueForm(ParseFormEntry(step));
  } else {
    return false;
  }
  return true;
}

void ScriptedUi::Emit(const json& event) {
  if (sink_) sink_(event);
}

void ScriptedUi::Error(const std::string& text) { Emit({{"error", text}}); }

MsgBoxResult ScriptedUi::ShowMessage(const std::string& text, const std::string& caption,
                                     MsgBoxButtons buttons) {
  MsgBoxResult answer = FirstButton(buttons);
  bool automatic = msgbox_answers_.empty();
  if (!automatic) {
    MsgBoxResult queued = msgbox_answers_.front();
    msgbox_answers_.pop_front();
    if (Fits(queued, buttons)) {
      answer = queued;
    } else {
      Error("message box " + JsonText(text) + " has no button \"" +
            std::string(ResultName(queued)) + "\"; it took \"" + std::string(ResultName(answer)) +
            "\"");
    }
  }
  Emit({{"msgbox",
         {{"text", text},
          {"caption", caption},
          {"buttons", ButtonsName(buttons)},
          {"answer", ResultName(answer)},
          {"auto", automatic}}}});
  return answer;
}

void ScriptedUi::ShowModal(Form& form) {
  std::vector<FormAction> actions;
  auto entry = std::find_if(form_entries_.begin(), form_entries_.end(),
                            [&](const FormEntry& e) { return e.form == form.name(); });
  if (entry != form_entries_.end()) {
    // Taken before anything runs: a handler may show the same form again.
    actions = std::move(entry->actions);
    form_entries_.erase(entry);
  }

  form.Activated();
  if (form.visible()) Emit({{"form", FormSnapshot(form)}});

  std::size_t next = 0;
  for (; next < actions.size() && form.visible(); ++next) {
    const FormAction& action = actions[next];
    Gesture gesture = action.ApplyTo(form);
    if (gesture.outcome == Gesture::Outcome::kRefused) {
      Error(form.name() + ": " + JsonText(action.source) + " ignored: " + gesture.reason);
      continue;
    }
    if (form.visible()) Emit({{"form", FormSnapshot(form)}});
  }
  if (next < actions.size()) {
    json left = json::array();
    for (std::size_t i = next; i < actions.size(); ++i) left.push_back(actions[i].source);
    Error(form.name() + (form.loaded() ? " was hidden" : " closed") + " with " +
          std::to_string(left.size()) + " action(s) left: " + JsonText(left));
  }

  // Whatever the script left open is closed as a user would, and closed for good when the
  // form refuses: a run must not hang on a dialog.
  if (form.visible() && !form.UserCloseBox() && form.visible()) {
    Error(form.name() + " refused its close box; unloaded to end the run");
    form.Unload();
  }
}

void ScriptedUi::FormClosed(Form& form, bool unloaded) {
  Emit({{"form", {{"name", form.name()}, {unloaded ? "closed" : "hidden", true}}}});
}

std::optional<std::string> ScriptedUi::GetOpenFilename(std::string_view filter) {
  std::optional<std::string> answer;
  if (!openfile_answers_.empty()) {
    answer = std::move(openfile_answers_.front());
    openfile_answers_.pop_front();
  }
  Emit({{"openfile", {{"filter", filter}, {"answer", OptionalText(answer)}}}});
  return answer;
}

std::optional<std::string> ScriptedUi::EditPhonetic(const forms::PhoneticEdit& edit) {
  std::optional<std::string> answer;
  if (!phonetic_answers_.empty()) {
    answer = std::move(phonetic_answers_.front());
    phonetic_answers_.pop_front();
  }
  Emit({{"phonetic", {{"cell", edit.cell}, {"answer", OptionalText(answer)}}}});
  return answer;
}

void ScriptedUi::Beep(int type) { Emit({{"beep", type}}); }

void ScriptedUi::PrintPreview(const std::vector<std::string>& sheets) {
  Emit({{"preview", {{"sheets", sheets}}}});
}

}  // namespace tessarin::cli
