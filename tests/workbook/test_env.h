// A temporary HOME for tests that touch the settings file, and a scripted host to run against.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/cli/scripted_ui.h"
#include "core/host/application.h"
#include "core/host/running_object.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testing {

// Points HOME (and the documents folder) at a fresh folder for the life of the object.
class TempHome {
 public:
  TempHome() {
    char pattern[] = "/tmp/tessarin-home-XXXXXX";
    path_ = mkdtemp(pattern);
    setenv("HOME", path_.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::create_directories(path_ + "/Documents");
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string DataFolder() const { return path_ + "/Documents/ミラトス保存データ"; }
  std::string IniFile() const { return DataFolder() + "/ミラトス_設定値.ini"; }
  void WriteIni(const std::string& text) const {
    std::filesystem::create_directories(DataFolder());
    std::ofstream(IniFile(), std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream in(IniFile(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool IniExists() const { return std::filesystem::exists(IniFile()); }

 private:
  std::string path_;
};

// A host with a scripted user interface, and the module attached to both.
struct ScriptedHost {
  ScriptedHost() {
    ui.set_sink([this](const nlohmann::json& event) { events.push_back(event); });
    host::RegisterRunningApplication(&app);
    module.XlApp = &app;
    module.ui = &ui;
    ui.set_title(std::string(workbook::kAddinTitle));  // as the add-in does when it is made
  }
  ~ScriptedHost() { host::RegisterRunningApplication(nullptr); }

  // The message box events logged so far, as "caption|text".
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.contains("msgbox")) out.push_back(e["msgbox"]["caption"].get<std::string>() + "|" + e["msgbox"]["text"].get<std::string>());
    }
    return out;
  }

  host::Application app;
  cli::ScriptedUi ui;
  workbook::KanjiModule module;
  std::vector<nlohmann::json> events;
};

}  // namespace tessarin::testing
