// CommandSession: the host and the add-in as a subcommand drives them, in process and without
// the script runner: one Application saving through the guarded workbook files, the add-in
// started as a user starts it, and a Ui that answers every dialog from what the command queued.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/addin/session.h"
#include "core/addin/tessarin.h"
#include "core/forms/form.h"
#include "core/forms/queued_ui.h"
#include "core/host/application.h"

namespace tessarin::cli {

// The dialog port of a subcommand: the core's QueuedUi, whose forms run the scripts the command
// queued (the gestures a user would make) and are closed with their close box if still open.
// Message boxes take their first button and are kept for the command to read; a notice that the
// settings file was set aside goes to `warnings` instead.
class CommandUi : public forms::QueuedUi {
 public:
  using FormScript = std::function<void(forms::Form& form)>;
  // A message box as it was shown.
  struct Message {
    std::string text;
    forms::MsgBoxButtons buttons = forms::MsgBoxButtons::kOk;
  };

  explicit CommandUi(std::ostream& warnings);

  using QueuedUi::QueueForm;
  // Runs `script` on the next showing of the form named `form`.
  void QueueForm(std::string form, FormScript script);
  // The message boxes shown since the last call, in order.
  std::vector<Message> TakeMessages() { return std::exchange(messages_, {}); }

 private:
  std::ostream& warnings_;
  std::vector<Message> messages_;
};

// What a direct call of the add-in did.
struct AddinCall {
  std::vector<CommandUi::Message> messages;  // the boxes it showed, in order
  std::string failure;  // "the add-in's NAME failed: REASON" when it returned an error, else ""

  // The first box's text, else the failure; "" when it ran through silently.
  std::string Problem() const;
};

// One per command run: the add-in's session (see addin::Session) with a Ui that answers from
// what the command queued.
class CommandSession {
 public:
  explicit CommandSession(std::ostream& warnings);
  CommandSession(const CommandSession&) = delete;
  CommandSession& operator=(const CommandSession&) = delete;

  // Starts the add-in (Auto_Open) and opens `book` (an absolute path) from its file selection
  // dialog, as a user would. The problem that stopped it (see Call), or "".
  std::string OpenBook(const std::string& book);
  // Runs a public method of the add-in. The problem in plain words: the host error that ended
  // it, else the first message box it showed; "" when it ran through silently.
  std::string Call(int (addin::Tessarin::*method)());
  // Runs `method`, a call of the add-in named `name` that returns the add-in's result, and
  // tells what it did. Throws what the method throws.
  AddinCall Run(std::string_view name, const std::function<int()>& method);
  // Activates the sheet of the active workbook and tells the add-in, as a user's click on its
  // tab does. Throws HostError 9 when there is no such sheet.
  void Activate(const std::string& sheet);
  // Saves the active workbook over its file (`out` empty; the replaced file is kept as the
  // backup) or to `out` (an absolute path); `written` gets the file written (a .xls is saved as
  // .xlsx beside it). The problem in plain words, or "".
  std::string Save(const std::string& out, std::string* written);

  host::Application& app() { return session_.app(); }
  addin::Tessarin& addin() { return session_.addin(); }
  CommandUi& ui() { return ui_; }

 private:
  CommandUi ui_;
  addin::Session session_;  // made after the Ui it reports to
};

// Runs `work`, a call into the core made directly; the problem a host error or a lack of memory
// that stopped it describes, or "".
std::string Attempt(const std::function<void()>& work);

// The name of the one question sheet of the active workbook. Empty with `problem` set when
// there is none or there are several.
std::string QuestionSheetName(host::Application& app, std::string* problem);

}  // namespace tessarin::cli
