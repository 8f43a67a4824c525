// ScriptedUi: script answers into the queues, Ui events into transcript lines.
#include "app/cli/scripted_ui.h"

#include <stdexcept>
#include <string>

#include "core/forms/form.h"

namespace tessarin::cli {

using forms::Form;
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

json ControlSnapshot(const forms::ControlView& control) {
  using Kind = forms::Control::Kind;
  json out = json::object();
  switch (control.kind) {
    case Kind::kTextBox:
      out["text"] = control.text;
      break;
    case Kind::kCheckBox:
    case Kind::kToggleButton:
      out["value"] = control.checked;
      out["caption"] = control.caption;
      break;
    case Kind::kMultiPage:
      out["value"] = control.page;
      out["pages"] = json::array();
      for (const auto& [caption, enabled] : control.pages)
        out["pages"].push_back({{"caption", caption}, {"enabled", enabled}});
      break;
    case Kind::kLabel:
    case Kind::kCommandButton:
      out["caption"] = control.caption;
      break;
    case Kind::kImage:
      break;
  }
  out["enabled"] = control.enabled;
  if (!control.tooltip.empty()) out["tooltip"] = control.tooltip;
  return out;
}

json ViewSnapshot(const forms::FormView& view) {
  json controls = json::object();
  for (const auto& [name, control] : view.controls) controls[name] = ControlSnapshot(control);
  return {{"name", view.name},
          {"caption", view.caption},
          {"focus", view.focus.empty() ? json() : json(view.focus)},
          {"controls", std::move(controls)}};
}

// The actions as a JSON list, as the script wrote them.
std::string ActionList(const std::vector<forms::UserAction>& actions) {
  std::string list = "[";
  for (const forms::UserAction& action : actions) {
    if (list.size() > 1) list += ",";
    list += action.source;
  }
  return list + "]";
}

}  // namespace

json FormSnapshot(const Form& form) { return ViewSnapshot(forms::ViewOf(form)); }

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

void ScriptedUi::Emit(const forms::UiEvent& e) {
  if (!sink_) return;
  using Kind = forms::UiEvent::Kind;
  switch (e.kind) {
    case Kind::kMsgBox:
      sink_({{"msgbox",
              {{"text", e.text},
               {"caption", e.caption},
               {"buttons", ButtonsName(e.buttons)},
               {"answer", ResultName(e.answer)},
               {"auto", e.automatic}}}});
      break;
    case Kind::kForm:
      sink_({{"form", ViewSnapshot(e.view)}});
      break;
    case Kind::kFormClosed:
      sink_({{"form", {{"name", e.view.name}, {"closed", true}}}});
      break;
    case Kind::kFormHidden:
      sink_({{"form", {{"name", e.view.name}, {"hidden", true}}}});
      break;
    case Kind::kBeep:
      sink_({{"beep", e.beep}});
      break;
    case Kind::kPreview:
      sink_({{"preview", {{"sheets", e.sheets}}}});
      break;
    case Kind::kOpenFile:
      sink_({{"openfile", {{"filter", e.text}, {"answer", OptionalText(e.reply)}}}});
      break;
    case Kind::kPhonetic:
      sink_({{"phonetic", {{"cell", e.text}, {"answer", OptionalText(e.reply)}}}});
      break;
    case Kind::kUnfitAnswer:
      sink_({{"error", "message box " + JsonText(e.text) + " has no button \"" +
                           std::string(ResultName(e.queued)) + "\"; it took \"" +
                           std::string(ResultName(e.answer)) + "\""}});
      break;
    case Kind::kRefusedAction:
      sink_({{"error", e.view.name + ": " + e.actions.front().source + " ignored: " + e.text}});
      break;
    case Kind::kActionsLeft:
      sink_({{"error", e.view.name + (e.form_loaded ? " was hidden" : " closed") + " with " +
                           std::to_string(e.actions.size()) +
                           " action(s) left: " + ActionList(e.actions)}});
      break;
    case Kind::kCloseRefused:
      sink_({{"error", e.view.name + " refused its close box; unloaded to end the run"}});
      break;
  }
}

}  // namespace tessarin::cli
