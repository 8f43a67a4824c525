// SettingsFile: the add-in's key:value settings file in the data folder under the documents folder.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/host/env.h"

namespace tessarin::settings {

// The names the product gives its data folder and settings file.
inline constexpr std::string_view kDataFolderName = "ミラトス保存データ";
inline constexpr std::string_view kIniFileName = "ミラトス_設定値.ini";

// The user's documents folder, looked up afresh on every call: $XDG_DOCUMENTS_DIR when it is an
// absolute path; else the XDG_DOCUMENTS_DIR entry of ($XDG_CONFIG_HOME or ~/.config)/
// user-dirs.dirs ("$HOME/..." or an absolute path, the last entry winning); else ~/Documents
// when it is a directory; else $HOME. Empty when none of them is set. Never creates anything,
// and does not check that the first two exist. A trailing "/" is dropped (except for "/").
std::string DocumentsFolder();

// The settings file: one "key:value" line per entry, CR LF line ends. Every call looks at the
// file (its identity, size and modification time) but reads it again only when that changed, so
// a command that asks for many values reads it once, while two objects (or another program)
// still see each other's writes at once.
//
// A file that cannot be the add-in's (over 1 MiB, binary or UTF-16) is renamed NAME.broken, the
// defaults are used, and TakeNotice() says so; a FIFO, device or folder in its place is refused
// (75) without being read.
//
// Character set: the file is read as UTF-8 when it is valid UTF-8 (a leading byte order mark is
// skipped), else as code page 932 (a file copied from Windows), and is always written as UTF-8,
// so any path or value this platform can name survives. Reading accepts CR LF and bare LF.
//
// A rewrite goes through host::ReplaceFile: a failed or interrupted write leaves the previous
// file whole, and a read-only settings file (75) or a link another user planted in a shared
// data folder (75) is refused, never written through.
//
// Failures throw tessarin::host::HostError with a description naming the path:
//   70 permission denied, 76 path not found (e.g. the documents folder is missing), 61 disk full
//   (also a file size limit), 75 any other path/file access failure (e.g. the settings path is a
//   directory, or the file is neither UTF-8 nor code page 932 text);
//   5 invalid procedure call for a key or value that holds a line break or is not valid UTF-8,
//   which could not be stored without corrupting the file.
class SettingsFile {
 public:
  // Uses the product's names kDataFolderName and kIniFileName.
  SettingsFile();
  // Other names, for callers that keep their data elsewhere.
  SettingsFile(std::string data_folder_name, std::string ini_file_name);

  const std::string& DataFolderName() const { return data_folder_name_; }
  const std::string& IniFileName() const { return ini_file_name_; }
  // The settings file path as the last IniFilePath() computed it; empty before the first call.
  const std::string& IniPath() const { return ini_path_; }

  // DocumentsFolder() + "/" + DataFolderName(). With no documents folder it is "/" +
  // DataFolderName(), which IniFilePath refuses to create. Creates nothing.
  std::string DataFolderPath() const;

  // Computes IniPath = DataFolderPath() + "/" + IniFileName() and returns it. Creates the data
  // folder (one level, never its parents) when it is missing. Throws HostError when the folder
  // cannot be created (76 when its parent is missing or there is no documents folder, or it is
  // the root of the file system; 70 when not allowed, 75 otherwise, e.g. a file stands in its
  // place).
  const std::string& IniFilePath();

  // The value of the first line that starts with `key` + ":", up to the end of that line (it
  // may itself contain ":"), or `default_value` when the file or the key is missing. A stored
  // empty value is returned as "". Creates the data folder, never the file.
  std::string GetIniValue(std::string_view key, std::string_view default_value);

  // GetIniValue for a number from `min` to `max` written in plain decimal ("190", "10.5"). A
  // stored value that is not (a hand-edited "1e308", "0x10", "abc") gives `default_value`, and
  // TakeNotice() then names the file, the key and the value, so one bad line never stops the
  // command that reads it.
  std::string GetIniNumber(std::string_view key, std::string_view default_value, double min,
                           double max);

  // With `remove` false, the key's line becomes key ":" value: the first line of the key keeps
  // its place, later lines of the same key are dropped, and a new key goes after all lines (the
  // file is created holding that one line when it is missing). With `remove` true the key's
  // lines are taken out and `value` is ignored; a missing file stays missing. Other lines stay
  // as they are, in order, except that empty lines before the first other line of the file,
  // and those between the key's first line and the next other line, are dropped. The file
  // always ends with CR LF.
  void SetIniValue(std::string_view key, std::string_view value, bool remove);

  // A key and the value SetIniValues stores for it.
  struct IniEntry {
    std::string_view key;
    std::string_view value;
  };
  // Stores each entry as SetIniValue(key, value, false) would, in order, and leaves the file as
  // those calls one after another would, but rewrites it once (not at all when it already says
  // all of them): each rewrite costs two flushes to disk. Every key and value is checked before
  // anything is written, so a refused one (5) leaves the file as it was.
  void SetIniValues(std::initializer_list<IniEntry> entries);

  // The message about a settings file set aside, or about bad values replaced by their defaults,
  // since the last call ("" when none), for the front end to show the user; clears it.
  std::string TakeNotice();
  // True for a text TakeNotice() gave: a warning to pass on, not a failure.
  static bool IsSetAsideNotice(std::string_view text);

  // Puts rewrites on disk through `env` (nullptr: the real file system).
  void set_env(std::shared_ptr<host::Env> env);

 private:
  struct Stamp {
    dev_t dev;
    ino_t ino;
    off_t size;
    time_t sec;
    long nsec;
    friend bool operator==(const Stamp&, const Stamp&) = default;
  };
  std::optional<std::string> ReadText(const std::string& path);
  void SetAside(const std::string& path, const char* why);

  void ReplaceFile(std::string_view text);

  std::shared_ptr<host::Env> env_ = host::Env::Default();
  std::optional<std::string> cached_;
  std::string cached_path_;
  Stamp cached_stamp_{};
  std::string notice_;
  std::string data_folder_name_;
  std::string ini_file_name_;
  std::string ini_path_;
};

}  // namespace tessarin::settings
