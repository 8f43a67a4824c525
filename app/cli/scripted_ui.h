// ScriptedUi: the Ui of the script runner, the core's QueuedUi with JSON: it queues the answers
// that script steps give and writes every box, form and sound as a transcript event.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/form_script.h"
#include "core/forms/queued_ui.h"

namespace tessarin::cli {

// Answers are queued before the step that needs them. Events go to the sink, in order:
//   {"msgbox": {"text", "caption", "buttons": "ok"|"yesno", "answer", "auto"}}
//   {"form": SNAPSHOT}  after the form activates and after each action it took
//   {"form": {"name", "closed": true}}  when it unloads ({"name", "hidden": true} when hidden)
//   {"beep": 64}  {"preview": {"sheets": [...]}}
//   {"openfile": {"filter", "answer"}}  {"phonetic": {"cell", "answer"}}  (answer null: cancelled)
//   {"error": TEXT}  an answer that does not fit its box, an action the user could not do,
//                    actions left when the form closed, a form that would not close
//
// A message box takes the next queued answer; one that does not fit its buttons is an error
// and the box takes its first button; with the queue empty it takes its first button ("auto").
// A shown form takes the first queued entry with its name and plays its actions; a form with
// no entry, or still open after them, is closed with its close box, and unloaded regardless
// when its QueryClose cancels that, so that a run cannot hang.
// {"name", "caption", "focus" (name or null), "controls": {NAME: {...}}}: each control with those
// of text, value, caption, enabled and tooltip (only when set) that its kind has; a MultiPage
// also with "pages": [{"caption", "enabled"}].
nlohmann::json FormSnapshot(const forms::Form& form);

class ScriptedUi : public forms::QueuedUi {
 public:
  using Sink = std::function<void(const nlohmann::json& event)>;

  // Without a sink the events are dropped.
  explicit ScriptedUi(Sink sink = {})
      : forms::QueuedUi([this](const forms::UiEvent& event) { Emit(event); }),
        sink_(std::move(sink)) {}

  void set_sink(Sink sink) { sink_ = std::move(sink); }

  // Queues the answer that a script step gives: {"msgbox": ...}, {"openfile": ...},
  // {"phonetic": ...} or {"form": ..., "do": [...]}. Returns false, queuing nothing, for any
  // other step. Throws std::invalid_argument when the step is one of these but malformed.
  bool QueueAnswer(const nlohmann::json& step);

 private:
  // The transcript event of a Ui event.
  void Emit(const forms::UiEvent& event);

  Sink sink_;
};

}  // namespace tessarin::cli
