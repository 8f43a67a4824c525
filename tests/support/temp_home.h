// A temporary home folder for tests that touch the settings file or the documents folder, and
// the environment variable guard it is built on. Both put the environment back as it was.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tessarin::testing {

// Sets (or, with nullptr, unsets) an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_ ? setenv(name_.c_str(), old_->c_str(), 1) : unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A fresh folder with an empty Documents folder; HOME points at it and the XDG variables that
// would move the documents folder are unset until the object goes, when the folder is removed.
// The settings file starts absent.
class TempHome {
 public:
  TempHome() : path_(MakeFolder()), home_("HOME", path_.c_str()) {
    std::filesystem::create_directories(path_ + "/Documents");
  }
  ~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& path() const { return path_; }
  std::string DataFolder() const { return path_ + "/Documents/ミラトス保存データ"; }
  std::string IniFile() const { return DataFolder() + "/ミラトス_設定値.ini"; }
  void WriteIni(const std::string& text) const {
    std::filesystem::create_directories(DataFolder());
    std::ofstream(IniFile(), std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream in(IniFile(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool IniExists() const { return std::filesystem::exists(IniFile()); }

 private:
  static std::string MakeFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessarin-home-XXXXXX").string();
    return mkdtemp(pattern.data());
  }

  std::string path_;
  ScopedEnv home_;
  ScopedEnv documents_{"XDG_DOCUMENTS_DIR", nullptr};
  ScopedEnv config_{"XDG_CONFIG_HOME", nullptr};
};

}  // namespace tessarin::testing
