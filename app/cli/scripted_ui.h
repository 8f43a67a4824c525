// ScriptedUi: the Ui of the script runner. It answers from queues that script steps fill and
// reports every box, form and sound as a transcript event; the tests drive dialogs through it.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/form_script.h"
#include "core/forms/ui.h"

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

class ScriptedUi : public forms::Ui {
 public:
  using Sink = std::function<void(const nlohmann::json& event)>;

  // Without a sink the events are dropped.
  explicit ScriptedUi(Sink sink = {}) : sink_(std::move(sink)) {}

  void set_sink(Sink sink) { sink_ = std::move(sink); }

  void QueueMsgBox(forms::MsgBoxResult answer) { msgbox_answers_.push_back(answer); }
  // nullopt cancels the box.
  void QueueOpenFile(std::optional<std::string> path) {
    openfile_answers_.push_back(std::move(path));
  }
  // nullopt cancels the editor.
  void QueuePhonetic(std::optional<std::string> reading) {
    phonetic_answers_.push_back(std::move(reading));
  }
  void QueueForm(FormEntry entry) { form_entries_.push_back(std::move(entry)); }

  // Queues the answer that a script step gives: {"msgbox": ...}, {"openfile": ...},
  // {"phonetic": ...} or {"form": ..., "do": [...]}. Returns false, queuing nothing, for any
  // other step. Throws std::invalid_argument when the step is one of these but malformed.
  bool QueueAnswer(const nlohmann::json& step);

  // Answers still waiting (the runner may report them at the end).
  std::size_t pending_msgbox() const { return msgbox_answers_.size(); }
  std::size_t pending_openfile() const { return openfile_answers_.size(); }
  std::size_t pending_phonetic() const { return phonetic_answers_.size(); }
  std::size_t pending_forms() const { return form_entries_.size(); }

  std::optional<std::string> GetOpenFilename(std::string_view filter) override;
  void Beep(int type) override;
  void PrintPreview(const std::vector<std::string>& sheets) override;
  std::optional<std::string> EditPhonetic(const forms::PhoneticEdit& edit) override;

 protected:
  forms::MsgBoxResult ShowMessage(const std::string& text, const std::string& caption,
                                  forms::MsgBoxButtons buttons) override;
  void ShowModal(forms::Form& form) override;
  void FormClosed(forms::Form& form, bool unloaded) override;

 private:
  void Emit(const nlohmann::json& event);
  void Error(const std::string& text);

  Sink sink_;
  std::deque<forms::MsgBoxResult> msgbox_answers_;
  std::deque<std::optional<std::string>> openfile_answers_;
  std::deque<std::optional<std::string>> phonetic_answers_;
  std::deque<FormEntry> form_entries_;
};

}  // namespace tessarin::cli
