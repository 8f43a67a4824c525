// CommandSession and its Ui.
#include "app/cli/command_session.h"

#include <new>

#include "app/cli/messages.h"
#include "core/host/host_error.h"
#include "core/settings/settings_file.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::cli {

CommandUi::CommandUi(std::ostream& warnings)
    : forms::QueuedUi([this](const forms::UiEvent& event) {
        if (event.kind != forms::UiEvent::Kind::kMsgBox) return;
        // The defaults are used and the work goes on: a warning, not the command's failure.
        if (settings::SettingsFile::IsSetAsideNotice(event.text)) {
          warnings_ << Tr("warning: %1", {event.text}) << "\n";
        } else {
          messages_.push_back({event.text, event.buttons});
        }
      }),
      warnings_(warnings) {}

void CommandUi::QueueForm(std::string form, FormScript script) {
  QueuedUi::QueueForm({std::move(form), {}, std::move(script)});
}

std::string AddinCall::Problem() const {
  return messages.empty() ? failure : messages.front().text;
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
  std::vector<CommandUi::Message> messages = ui_.TakeMessages();
  if (result != 0) {
    return HostErrorText(session_.addin().last_error(), result);
  }
  return messages.empty() ? "" : messages.front().text;
}

AddinCall CommandSession::Run(std::string_view name, const std::function<int()>& method) {
  ui_.TakeMessages();
  const int result = method();
  AddinCall call{ui_.TakeMessages(), ""};
  if (result != 0) {
    call.failure = Tr("the add-in's %1 failed: %2",
                      {std::string(name), HostErrorText(session_.addin().last_error(), result)});
  }
  return call;
}

void CommandSession::Activate(const std::string& sheet) {
  host::Sheet activated = session_.app().Sheets().Item(sheet);
  activated.Activate();
  std::string name = activated.Name();
  session_.addin().SheetActivate(name);
}

std::string CommandSession::Save(const std::string& out, std::string* written) {
  return Attempt([&] {
    host::Workbook& workbook = session_.app().ActiveWorkbook();
    if (out.empty() && workbook.path().empty()) {
      throw host::HostError(host::kErrApplicationDefined,
                            "Save method of Workbook class failed: " + workbook.name() +
                                " has never been saved; use SaveAs.");
    }
    *written = session_.Save(workbook, out.empty() ? workbook.FullName() : out).path;
  });
}

std::string Attempt(const std::function<void()>& work) {
  try {
    work();
  } catch (const host::HostError& e) {
    return HostErrorText(e.description(), e.number());
  } catch (const std::bad_alloc&) {
    return HostErrorText("Out of memory", host::kErrOutOfMemory);
  }
  return "";
}

std::string QuestionSheetName(host::Application& app, std::string* problem) {
  std::string found;
  for (int i = 1; i <= app.Sheets().Count(); ++i) {
    const std::string& name = app.Sheets().Item(i).Name();
    if (!workbook::IsQuestionSheetName(name)) continue;
    if (!found.empty()) {
      *problem = Tr("the workbook has several question sheets; keep one whose name starts with %1",
                    {std::string(workbook::kProductWord)});
      return "";
    }
    found = name;
  }
  if (found.empty()) {
    *problem = Tr("the workbook has no question sheet (a sheet whose name starts with %1)",
                  {std::string(workbook::kProductWord)});
  }
  return found;
}

}  // namespace tessarin::cli
