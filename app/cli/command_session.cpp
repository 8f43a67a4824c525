// CommandSession and its Ui.
#include "app/cli/command_session.h"

#include "app/cli/messages.h"
#include "core/settings/settings_file.h"

namespace tessarin::cli {

void CommandUi::QueueForm(std::string form, FormScript script) {
  forms_.emplace_back(std::move(form), std::move(script));
}

std::vector<std::string> CommandUi::TakeMessages() { return std::exchange(messages_, {}); }

std::optional<std::string> CommandUi::GetOpenFilename(std::string_view filter) {
  if (open_files_.empty()) return std::nullopt;
  std::string path = std::move(open_files_.front());
  open_files_.pop_front();
  return path;
}

forms::MsgBoxResult CommandUi::ShowMessage(const std::string& text, const std::string& caption,
                                           forms::MsgBoxButtons buttons) {
  // The defaults are used and the work goes on: a warning, not the command's failure.
  if (settings::SettingsFile::IsSetAsideNotice(text)) {
    warnings_ << Tr("warning: %1", {text}) << "\n";
  } else {
    messages_.push_back(text);
  }
  return forms::FirstButton(buttons);
}

void CommandUi::ShowModal(forms::Form& form) {
  FormScript script;
  for (auto it = forms_.begin(); it != forms_.end(); ++it) {
    if (it->first != form.name()) continue;
    // Taken before it runs: a handler may show the same form again.
    script = std::move(it->second);
    forms_.erase(it);
    break;
  }
  form.Activated();
  if (script && form.visible()) script(form);
  // A command must never hang on a dialog: what is left open is closed, for good if it refuses.
  if (form.visible() && !form.UserCloseBox() && form.visible()) form.Unload();
}

CommandSession::CommandSession(std::ostream& warnings) : ui_(warnings), session_(ui_) {}

std::string CommandSession::OpenBook(const std::string& book) {
  ui_.QueueOpenFile(book);
  ui_.QueueForm("FILE_Sentaku", [](forms::Form& form) { form.UserClick("Command3"); });
  return Call(&addin::Tessarin::Auto_Open);
}

std::string CommandSession::Call(int (addin::Tessarin::*method)()) {
  ui_.TakeMessages();
  const int result = (session_.addin().*method)();
  std::vector<std::string> messages = ui_.TakeMessages();
  if (result != 0) {
    return HostErrorText(session_.addin().last_error(), result);
  }
  return messages.empty() ? "" : messages.front();
}

void CommandSession::Activate(const std::string& sheet) {
  host::Sheet activated = session_.app().Sheets().Item(sheet);
  activated.Activate();
  std::string name = activated.Name();
  session_.addin().SheetActivate(name);
}

}  // namespace tessarin::cli
