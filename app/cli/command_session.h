// CommandSession: the host and the add-in as a subcommand drives them, in process and without
// the script runner: one Application saving through the guarded workbook files, the add-in
// started as a user starts it, and a Ui that answers every dialog from what the command queued.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/addin/session.h"
#include "core/addin/tessarin.h"
#include "core/forms/form.h"
#include "core/forms/ui.h"
#include "core/host/application.h"

namespace tessarin::cli {

// The dialog port of a subcommand. A form shown modally is activated, then runs the first
// queued script of its name (the gestures a user would make) and is closed with its close box
// if it is still open. Message boxes take their first button and are kept for the command to
// read; a notice that the settings file was set aside goes to `warnings` instead.
class CommandUi : public forms::Ui {
 public:
  using FormScript = std::function<void(forms::Form& form)>;
  explicit CommandUi(std::ostream& warnings) : warnings_(warnings) {}

  void QueueForm(std::string form, FormScript script);
  void QueueOpenFile(std::string path) { open_files_.push_back(std::move(path)); }
  // The texts of the message boxes shown since the last call, in order.
  std::vector<std::string> TakeMessages();

  std::optional<std::string> GetOpenFilename(std::string_view filter) override;
  void Beep(int type) override {}
  void PrintPreview(const std::vector<std::string>& sheets) override {}
  std::optional<std::string> EditPhonetic(const forms::PhoneticEdit& edit) override {
    return std::nullopt;
  }

 protected:
  forms::MsgBoxResult ShowMessage(const std::string& text, const std::string& caption,
                                  forms::MsgBoxButtons buttons) override;
  void ShowModal(forms::Form& form) override;

 private:
  std::ostream& warnings_;
  std::deque<std::pair<std::string, FormScript>> forms_;
  std::deque<std::string> open_files_;
  std::vector<std::string> messages_;
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
  // Activates the sheet of the active workbook and tells the add-in, as a user's click on its
  // tab does. Throws HostError 9 when there is no such sheet.
  void Activate(const std::string& sheet);

  host::Application& app() { return session_.app(); }
  addin::Tessarin& addin() { return session_.addin(); }
  CommandUi& ui() { return ui_; }

 private:
  CommandUi ui_;
  addin::Session session_;  // made after the Ui it reports to
};

}  // namespace tessarin::cli
