// Session: the host, the workbook files, the Ui's hooks and the add-in, started together.
#include "core/addin/session.h"

#include <cctype>
#include <filesystem>

#include "core/addin/method_table.h"
#include "core/forms/ui.h"
#include "core/host/running_object.h"
#include "core/host/text_util.h"
#include "core/ooxml/xlsx.h"
#include "core/workbook/record_guard.h"

namespace tessarin::addin {

Session::Session(forms::Ui& ui, WorkbookLocks locks)
    : files_(std::make_shared<ooxml::WorkbookFiles>()),
      app_(std::make_unique<host::Application>()) {
  // Every save passes the record guard: no front end replaces a file whose record it lost.
  files_->set_save_guard(workbook::MakeRecordGuard());
  if (locks == WorkbookLocks::kHold) {
    locks_ = std::make_shared<host::LockingFiles>(files_, [this](const host::Workbook* book) {
      for (const auto& each : app_->workbooks()) {
        if (each.get() == book) return true;
      }
      return false;
    });
    app_->set_file_service(locks_);
  } else {
    app_->set_file_service(files_);
  }
  // The host's own boxes (Application.GetOpenFilename, PrintPreview) are the front end's.
  app_->set_get_open_filename_hook([&ui](std::string_view filter) -> std::string {
    std::optional<std::string> path = ui.GetOpenFilename(filter);
    return path ? *path : "False";
  });
  app_->set_print_preview_hook(
      [&ui](const std::vector<std::string>& sheets) { ui.PrintPreview(sheets); });
  host::RegisterRunningApplication(app_.get());
  addin_ = std::make_unique<Tessarin>(ui);
}

Session::~Session() {
  addin_.reset();  // its shut-down may still reach the host
  host::RegisterRunningApplication(nullptr);
}

std::optional<int> Session::RunMacro(std::string_view macro, std::string* method) {
  if (macro.size() < 2 || !host::EqualsIgnoringAsciiCase(macro.substr(0, 2), "K_")) {
    return std::nullopt;
  }
  const std::string_view wanted = macro.substr(2);
  for (const Method& each : kMethods) {
    if (!host::EqualsIgnoringAsciiCase(each.name, wanted) || each.TakesArgument()) continue;
    if (method != nullptr) *method = std::string(each.name);
    return addin_->RunMacro("K_" + std::string(each.name));
  }
  return std::nullopt;
}

std::vector<Shortcut> Session::Shortcuts() const {
  std::vector<Shortcut> shortcuts;
  for (const auto& [key, macro] : app_->shortcuts()) {
    if (std::optional<host::KeyChord> chord = host::ChordOfKey(key)) {
      shortcuts.push_back({*chord, macro});
    }
  }
  return shortcuts;
}

std::optional<std::string> Session::MacroFor(host::KeyChord chord) const {
  return app_->MacroForKey(host::KeyOfChord(chord));
}

SaveReport Session::Save(host::Workbook& workbook, const std::string& path,
                         const ooxml::SaveOptions& options) {
  const bool had_macros = ooxml::HasMacros(workbook);
  SaveReport report;
  report.path =
      locks_ == nullptr
          ? files_->Save(workbook, path, options)
          : locks_->SaveWith(workbook, path, [&] { return files_->Save(workbook, path, options); });
  std::string extension = std::filesystem::path(report.path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  report.macros_left_out = had_macros && extension != ".xlsm";
  return report;
}

void Session::ReleaseClosedLocks() {
  if (locks_ != nullptr) locks_->ReleaseClosed();
}

std::string Session::LockedPath(const host::Workbook& workbook) const {
  return locks_ == nullptr ? "" : locks_->LockedPath(workbook);
}

}  // namespace tessarin::addin
