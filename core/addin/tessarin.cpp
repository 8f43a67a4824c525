// Tessarin: the public methods, start-up and shut-down.
#include "core/addin/tessarin.h"

#include <new>

#include "core/addin/dialogs.h"
#include "core/addin/method_table.h"
#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/running_object.h"
#include "core/marking/answers.h"
#include "core/marking/marking.h"
#include "core/marking/phonetic_editor.h"
#include "core/reports/form1.h"
#include "core/reports/mistake_report.h"
#include "core/reports/must_report.h"
#include "core/reports/repeat_kanji.h"
#include "core/testgen/kanji_form.h"
#include "core/testgen/print_form.h"
#include "core/version.h"
#include "core/workbook/file_selection.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::addin {

Tessarin::Tessarin(forms::Ui& ui) : dialogs_(std::make_unique<Dialogs>(module_)) {
  module_.ui = &ui;
  ui.set_title(std::string(workbook::kAddinTitle));
}

Tessarin::~Tessarin() = default;

template <typename F>
int Tessarin::Guard(F&& body) {
  last_error_.clear();
  int result = 0;
  try {
    body();
  } catch (const host::HostError& e) {
    last_error_ = e.description();
    result = e.number();
  } catch (const std::bad_alloc&) {
    last_error_ = "Out of memory";
    result = host::kErrOutOfMemory;
  }
  // The host turns screen updating back on when a command ends.
  if (module_.XlApp != nullptr) module_.XlApp->SetScreenUpdating(true);
  // A settings file that had to be set aside is told once, after the command that found it.
  if (const std::string notice = module_.settings.TakeNotice(); !notice.empty() && module_.ui) {
    module_.ui->MsgBox(notice);
  }
  return result;
}

int Tessarin::Auto_Open() {
  return Guard([this] {
    module_.XlApp = &host::GetRunningObject(host::kHostClassName);
    module_.DataFolderName = module_.settings.DataFolderName();
    module_.IniFileName = module_.settings.IniFileName();

    host::CommandBar& cell = module_.XlApp->CommandBars().Item("cell");
    cell.Reset();
    cell.Controls().Item(1).SetBeginGroup(true);
    cell.Controls().Add(host::kMsoControlPopup, 1).SetCaption(std::string(kPopupCaption));
    for (const Method& method : kMethods) {
      if (!method.menu) continue;
      host::CommandBarControl& button =
          cell.Controls().Item(kPopupCaption).Controls().Add(host::kMsoControlButton);
      if (method.menu->face_id) button.SetFaceId(*method.menu->face_id);
      button.SetCaption(std::string(method.menu->caption));
      button.SetOnAction("K_" + std::string(method.name));
      if (method.menu->begin_group) button.SetBeginGroup(true);
    }

    dialogs_->FileSelection().Show(module_.Dialogs());

    for (const Method& method : kMethods) {
      if (!method.key.empty())
        module_.XlApp->MacroOptions("K_" + std::string(method.name), true, method.key);
    }
  });
}

int Tessarin::START() {
  return Guard([this] { testgen::START(module_, dialogs_->TestCreation()); });
}

int Tessarin::InPutAns() {
  return Guard([this] { marking::InPutAns(module_); });
}
int Tessarin::ANS_DEL() {
  return Guard([this] { marking::ANS_DEL(module_); });
}
int Tessarin::ThisQSisNG() {
  return Guard([this] { marking::ThisQSisNG(module_); });
}
int Tessarin::ThisQSisHITU() {
  return Guard([this] { marking::ThisQSisHITU(module_); });
}
int Tessarin::ThisQSisNGWith(const marking::QuestionIndex& index) {
  return Guard([&] { marking::ThisQSisNG(module_, &index); });
}
int Tessarin::ThisQSisHITUWith(const marking::QuestionIndex& index) {
  return Guard([&] { marking::ThisQSisHITU(module_, &index); });
}
int Tessarin::GoJUMP() {
  return Guard([this] { marking::GoJUMP(module_); });
}

int Tessarin::Edit_Furigana() {
  return Guard([this] {
    if (!readings_) readings_ = marking::MakeMecabSuggester();
    marking::Edit_Furigana(module_, readings_.get());
  });
}

int Tessarin::RepeatKanji() {
  return Guard([this] { reports::RepeatKanji(module_); });
}
int Tessarin::NG_Report() {
  return Guard([this] { reports::NG_Report(module_); });
}
int Tessarin::HITU_Report() {
  return Guard([this] { reports::HITU_Report(module_); });
}
int Tessarin::SetPaper() {
  return Guard([this] { testgen::SetPaper(module_, dialogs_->PaperAdjustment()); });
}

int Tessarin::QVersion() {
  return Guard([this] {
    module_.Dialogs().MsgBox("バージョン " + std::to_string(kVersionMajor) + "." +
                                 std::to_string(kVersionMinor) + "." +
                                 std::to_string(kVersionRevision),
                             "ミラトス バージョン情報");
  });
}

int Tessarin::SheetActivate(std::string& Sh) {
  return Guard([&] {
    if (Sh == workbook::kTestSheet40) {
      module_.Is40Sheet = true;
    } else if (Sh == workbook::kTestSheet20) {
      module_.Is40Sheet = false;
    }
  });
}

int Tessarin::END_Shori() {
  return Guard([this] {
    host::Application& app = module_.App();
    if (app.Workbooks().Count() == 0) return;
    host::Workbook& book = app.ActiveWorkbook();
    const std::string folder = book.path();
    const std::string name = book.name();
    app.CommandBars().Item("cell").Reset();
    if (folder.empty()) return;
    const std::string full_path = folder + "/" + name;
    const std::string key = workbook::UpdateFileHistory(module_, full_path);
    if (key != "NoSave") module_.SetIniValue(key, full_path, false);
  });
}

int Tessarin::Command1() {
  return Guard([this] { dialogs_->FileSelection().Show(module_.Dialogs()); });
}

int Tessarin::Command2() {
  return Guard([this] { dialogs_->GradeSearch().Show(module_.Dialogs()); });
}
int Tessarin::Command3() { return 0; }
int Tessarin::Command4() { return 0; }
int Tessarin::Command5() { return 0; }

const std::vector<std::string>& Tessarin::MethodNames() {
  static const std::vector<std::string> kNames = [] {
    std::vector<std::string> names;
    for (const Method& method : kMethods) names.emplace_back(method.name);
    return names;
  }();
  return kNames;
}

int Tessarin::Call(std::string_view name, std::string arg) {
  const Method* method = FindMethod(name);
  if (method == nullptr) return -1;
  if (auto* member = std::get_if<int (Tessarin::*)()>(&method->member)) return (this->**member)();
  return (this->*std::get<int (Tessarin::*)(std::string&)>(method->member))(arg);
}

int Tessarin::RunMacro(std::string_view macro) {
  if (!macro.starts_with("K_")) return -1;
  const Method* method = FindMethod(macro.substr(2));
  // A method that needs an argument cannot be a macro: no macro can name one.
  if (method == nullptr || method->TakesArgument()) return -1;
  return Call(method->name);
}

}  // namespace tessarin::addin
