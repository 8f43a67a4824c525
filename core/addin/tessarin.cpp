// Tessarin: the public methods, start-up and shut-down.
#include "core/addin/tessarin.h"

#include <new>

#include "core/addin/command_surface.h"
#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/running_object.h"
#include "core/testgen/kanji_form.h"
#include "core/version.h"
#include "core/workbook/file_selection.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::addin {

// One instance of each dialog, made the first time it is shown and reused afterwards.
class Dialogs {
 public:
  explicit Dialogs(workbook::KanjiModule& module) : module_(module) {}

  workbook::FILE_Sentaku& FileSelection() {
    if (!file_selection_) file_selection_ = std::make_unique<workbook::FILE_Sentaku>(module_);
    return *file_selection_;
  }
  testgen::KanjiForm1& TestCreation() {
    if (!test_creation_) test_creation_ = std::make_unique<testgen::KanjiForm1>(module_);
    return *test_creation_;
  }

 private:
  workbook::KanjiModule& module_;
  std::unique_ptr<workbook::FILE_Sentaku> file_selection_;
  std::unique_ptr<testgen::KanjiForm1> test_creation_;
};

namespace {

constexpr int kNotAvailable = host::kErrNotSupported;

[[noreturn]] void NotAvailableYet() { throw host::HostError(kNotAvailable, "not available yet"); }

}  // namespace

Tessarin::Tessarin(forms::Ui& ui) : dialogs_(std::make_unique<Dialogs>(module_)) { module_.ui = &ui; }

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
    for (const MenuItem& item : kMenuItems) {
      host::CommandBarControl& button =
          cell.Controls().Item(kPopupCaption).Controls().Add(host::kMsoControlButton);
      if (item.face_id) button.SetFaceId(*item.face_id);
      button.SetCaption(std::string(item.caption));
      button.SetOnAction(std::string(item.on_action));
      if (item.begin_group) button.SetBeginGroup(true);
    }

    dialogs_->FileSelection().Show(module_.Dialogs());

    for (const ShortcutKey& shortcut : kShortcutKeys) {
      module_.XlApp->MacroOptions(shortcut.macro, true, shortcut.key);
    }
  });
}

int Tessarin::START() {
  return Guard([this] { testgen::START(module_, dialogs_->TestCreation()); });
}

int Tessarin::InPutAns() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::ANS_DEL() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::ThisQSisNG() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::ThisQSisHITU() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::GoJUMP() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::Edit_Furigana() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::RepeatKanji() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::NG_Report() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::HITU_Report() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::SetPaper() { return Guard([] { NotAvailableYet(); }); }

int Tessarin::QVersion() {
  return Guard([this] {
    module_.Dialogs().MsgBox("バージョン " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                                 "." + std::to_string(kVersionRevision),
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

int Tessarin::Command2() { return Guard([] { NotAvailableYet(); }); }
int Tessarin::Command3() { return 0; }
int Tessarin::Command4() { return 0; }
int Tessarin::Command5() { return 0; }

const std::vector<std::string>& Tessarin::MethodNames() {
  static const std::vector<std::string> kNames = {
      "Auto_Open", "START",      "InPutAns",    "ANS_DEL",  "ThisQSisNG", "ThisQSisHITU", "GoJUMP",
      "Edit_Furigana", "RepeatKanji", "NG_Report", "HITU_Report", "SetPaper", "QVersion",
      "SheetActivate", "END_Shori", "Command1", "Command2", "Command3", "Command4", "Command5"};
  return kNames;
}

int Tessarin::Call(std::string_view name, std::string arg) {
  if (name == "Auto_Open") return Auto_Open();
  if (name == "START") return START();
  if (name == "InPutAns") return InPutAns();
  if (name == "ANS_DEL") return ANS_DEL();
  if (name == "ThisQSisNG") return ThisQSisNG();
  if (name == "ThisQSisHITU") return ThisQSisHITU();
  if (name == "GoJUMP") return GoJUMP();
  if (name == "Edit_Furigana") return Edit_Furigana();
  if (name == "RepeatKanji") return RepeatKanji();
  if (name == "NG_Report") return NG_Report();
  if (name == "HITU_Report") return HITU_Report();
  if (name == "SetPaper") return SetPaper();
  if (name == "QVersion") return QVersion();
  if (name == "SheetActivate") return SheetActivate(arg);
  if (name == "END_Shori") return END_Shori();
  if (name == "Command1") return Command1();
  if (name == "Command2") return Command2();
  if (name == "Command3") return Command3();
  if (name == "Command4") return Command4();
  if (name == "Command5") return Command5();
  return -1;
}

int Tessarin::RunMacro(std::string_view macro) {
  if (!macro.starts_with("K_")) return -1;
  const std::string_view method = macro.substr(2);
  if (method == "SheetActivate") return -1;  // needs an argument; no macro names it
  return Call(method);
}

}  // namespace tessarin::addin
