// KanjiModule: the add-in's module-wide state, alive from load to unload, shared by every
// command through the one object that the add-in class owns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/settings_file.h"

namespace tessarin::host {
class Application;
}
namespace tessarin::forms {
class Ui;
}

namespace tessarin::workbook {

// The add-in's title: the caption of every message box that names none.
inline constexpr std::string_view kAddinTitle = "ミラトス";

struct KanjiModule {
  // The host every operation goes through, and the front end's dialogs; both outlive the
  // module. XlApp is null until start-up attaches to the host.
  host::Application* XlApp = nullptr;
  forms::Ui* ui = nullptr;

  std::string DataFolderName;
  std::string IniFileName;
  settings::SettingsFile settings;  // holds IniPath

  std::string QSheetName;
  std::string TestTitle;
  bool Is40Sheet = false;

  // Test generation, kept between its steps and between commands.
  int32_t PageCount = 0;
  int32_t QuestionRowCount = 0;
  int32_t RequestedCount = 0;
  int32_t CandidateCount = 0;
  int16_t QuestionsPerPage = 0;
  std::vector<int32_t> QuestionWeight{0, 0};
  bool IgnoreWrongCount = false;
  bool ExcludeAsked = false;
  bool ConsiderMustAppear = false;
  bool WriteSourceNote = false;

  // The host, or HostError 424 (object required) when start-up has not attached to it yet.
  host::Application& App() const;
  forms::Ui& Dialogs() const;

  std::string GetIniValue(const std::string& key, const std::string& default_value) {
    return settings.GetIniValue(key, default_value);
  }
  // A size from the settings, or its default (with a notice) when the stored text is not a
  // decimal number from `min` to `max` (see SettingsFile::GetIniNumber).
  std::string GetIniNumber(const std::string& key, const std::string& default_value, double min,
                           double max) {
    return settings.GetIniNumber(key, default_value, min, max);
  }
  void SetIniValue(const std::string& key, const std::string& value, bool remove) {
    settings.SetIniValue(key, value, remove);
  }
  // Several keys with one rewrite of the settings file (see SettingsFile::SetIniValues).
  void SetIniValues(std::initializer_list<settings::SettingsFile::IniEntry> entries) {
    settings.SetIniValues(entries);
  }
};

}  // namespace tessarin::workbook
