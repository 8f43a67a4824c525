// SettingsFile: the add-in's key:value settings file in the data folder under the documents folder.
#include "core/settings/settings_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/host/host_error.h"
#include "core/host/safe_replace.h"
#include "core/host/text_encoding.h"

namespace tessarin::settings {

using host::HostError;

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr uint64_t kMaxSettingsBytes = uint64_t{1} << 20;

[[noreturn]] void ThrowErrno(int err, const std::string& what, const std::string& path) {
  int number;
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      number = host::kErrPathNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = host::kErrPermissionDenied;
      break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      number = host::kErrDiskFull;
      break;
    default:
      number = host::kErrPathFileAccess;
  }
  throw HostError(number, what + " " + path + ": " + std::system_category().message(err));
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The XDG_DOCUMENTS_DIR entry of a user-dirs.dirs file, the way xdg-user-dirs reads it:
// `XDG_DOCUMENTS_DIR="$HOME/Docs"` or an absolute path in quotes, the last entry winning.
std::string DocumentsFromUserDirs(const std::string& file, const std::string& home) {
  std::ifstream in(file);
  std::string line, found;
  constexpr std::string_view kName = "XDG_DOCUMENTS_DIR";
  while (std::getline(in, line)) {
    std::string_view s = line;
    const auto skip_blanks = [&s] {
      while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    };
    skip_blanks();
    if (!s.starts_with(kName)) continue;
    s.remove_prefix(kName.size());
    skip_blanks();
    if (!s.starts_with('=')) continue;
    s.remove_prefix(1);
    skip_blanks();
    if (!s.starts_with('"')) continue;
    s.remove_prefix(1);
    std::string value;
    if (s.starts_with("$HOME") && (s.size() == 5 || s[5] == '/' || s[5] == '"')) {
      if (home.empty()) continue;
      value = home;
      s.remove_prefix(5);
    } else if (!s.starts_with('/')) {
      continue;  // only home-relative or absolute paths are allowed
    }
    bool closed = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '"') {
        closed = true;
        break;
      }
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      value.push_back(s[i]);
    }
    if (closed) found = value;
  }
  return found;
}

// Splits file text into lines as a line-by-line reader sees them: LF or CR LF ends a line (a CR
// just before the end of the file too), and a final line end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

// Why bytes read from the settings file cannot be its text, or nullptr when they can: a file
// this big, with NUL bytes or in UTF-16 was never written by the add-in, and reading it again
// for every value would block every later test.
const char* Unusable(std::string_view bytes, uint64_t size) {
  if (size > kMaxSettingsBytes) return "it is larger than 1 MiB";
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return "it is UTF-16 text";
  if (bytes.find('\0') != std::string_view::npos) return "it holds binary data";
  return nullptr;
}

}  // namespace

// The file's text as UTF-8, or nullopt when there is no file (or it was set aside). Reads the
// file only when it changed since the last read.
std::optional<std::string> SettingsFile::ReadText(const std::string& path) {
  // Non-blocking, so that a FIFO or device in its place is refused, never waited on or read.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno(errno, "cannot open the settings file", path);
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int err = errno;
    close(fd);
    ThrowErrno(err, "cannot read the settings file", path);
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    throw HostError(host::kErrPathFileAccess,
                    "cannot read the settings file " + path + ": it is not a regular file");
  }
  const Stamp stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  if (cached_ && cached_path_ == path && cached_stamp_ == stamp) {
    close(fd);
    return cached_;
  }
  std::string bytes;
  char buffer[16384];
  const char* unusable = Unusable({}, static_cast<uint64_t>(st.st_size));
  while (!unusable) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      close(fd);
      ThrowErrno(err, "cannot read the settings file", path);
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxSettingsBytes) unusable = Unusable({}, bytes.size());
  }
  close(fd);

  std::optional<std::string> text;
  if (!unusable) unusable = Unusable(bytes, bytes.size());
  if (!unusable && host::IsValidUtf8(bytes)) {
    if (std::string_view(bytes).starts_with(kUtf8Bom)) bytes.erase(0, kUtf8Bom.size());
    text = std::move(bytes);
  } else if (!unusable) {
    // Not UTF-8: a file written by the Windows add-in, in code page 932.
    // Text that is neither is kept for the user to mend: it may be a real file gone slightly wrong.
    text = host::TryCp932ToUtf8(bytes);
    if (!text) {
      throw HostError(host::kErrPathFileAccess,
                      "the settings file " + path + " is neither UTF-8 nor code page 932 text");
    }
  }
  if (unusable) {
    SetAside(path, unusable);
    return std::nullopt;
  }
  cached_ = text;
  cached_path_ = path;
  cached_stamp_ = stamp;
  return text;
}

// Moves an unusable settings file out of the way (replacing an older one set aside), so the
// defaults are used now and the next value stored starts a good file.
void SettingsFile::SetAside(const std::string& path, const char* why) {
  const std::string broken = path + ".broken";
  cached_.reset();
  if (rename(path.c_str(), broken.c_str()) != 0) {
    ThrowErrno(errno,
               std::string("the settings file cannot be used (") + why + ") nor set aside:", path);
  }
  notice_ = "The settings file " + path + " could not be used (" + why + "). It was renamed " +
            broken + " and the default settings are used.";
}

std::string SettingsFile::TakeNotice() { return std::exchange(notice_, std::string()); }

bool SettingsFile::IsSetAsideNotice(std::string_view text) {
  return text.starts_with("The settings file ") &&
         (text.ends_with(" and the default settings are used.") || text.ends_with(" is used."));
}

namespace {

void RequireStorable(std::string_view what, std::string_view text) {
  if (text.find_first_of("\r\n") != std::string_view::npos) {
    throw HostError(host::kErrInvalidProcedureCall,
                    "a settings " + std::string(what) + " cannot hold a line break");
  }
  if (!host::IsValidUtf8(text)) {
    throw HostError(host::kErrInvalidProcedureCall,
                    "a settings " + std::string(what) + " must be valid UTF-8 text");
  }
}

}  // namespace

std::string DocumentsFolder() {
  const std::string home = WithoutTrailingSlash(Env("HOME"));
  const std::string from_env = Env("XDG_DOCUMENTS_DIR");
  if (from_env.starts_with('/')) return WithoutTrailingSlash(from_env);

  std::string config = Env("XDG_CONFIG_HOME");
  if (!config.starts_with('/')) config = home.empty() ? std::string() : home + "/.config";
  if (!config.empty()) {
    const std::string from_file = DocumentsFromUserDirs(config + "/user-dirs.dirs", home);
    if (!from_file.empty()) return WithoutTrailingSlash(from_file);
  }
  if (home.empty()) return std::string();
  if (IsDirectory(home + "/Documents")) return home + "/Documents";
  return home;
}

SettingsFile::SettingsFile()
    : SettingsFile(std::string(kDataFolderName), std::string(kIniFileName)) {}

SettingsFile::SettingsFile(std::string data_folder_name, std::string ini_file_name)
    : data_folder_name_(std::move(data_folder_name)), ini_file_name_(std::move(ini_file_name)) {}

std::string SettingsFile::DataFolderPath() const {
  // With no documents folder the data folder sits at the root of the file system.
  std::string documents = DocumentsFolder();
  if (documents == "/") documents.clear();
  return documents + "/" + data_folder_name_;
}

const std::string& SettingsFile::IniFilePath() {
  // Without a documents folder the data folder would land at the root of the file system.
  const std::string documents = DocumentsFolder();
  if (documents.empty() || documents == "/") {
    throw HostError(host::kErrPathNotFound,
                    "there is no documents folder to keep the data folder " + data_folder_name_ +
                        " in: HOME is " +
                        (Env("HOME").empty() ? "not set" : "\"" + Env("HOME") + "\""));
  }
  const std::string folder = DataFolderPath();
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT) ThrowErrno(errno, "cannot reach the data folder", folder);
    if (mkdir(folder.c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(folder))) {
      ThrowErrno(errno, "cannot create the data folder", folder);
    }
  } else if (!S_ISDIR(st.st_mode)) {
    throw HostError(host::kErrPathFileAccess,
                    "cannot create the data folder " + folder + ": a file of that name exists");
  }
  ini_path_ = folder + "/" + ini_file_name_;
  return ini_path_;
}

std::string SettingsFile::GetIniValue(std::string_view key, std::string_view default_value) {
  IniFilePath();
  const std::string prefix = std::string(key) + ":";
  const std::optional<std::string> text = ReadText(ini_path_);
  if (!text) return std::string(default_value);
  for (std::string_view line : SplitLines(*text)) {
    if (line.starts_with(prefix)) return std::string(line.substr(prefix.size()));
  }
  return std::string(default_value);
}

namespace {

// A plain decimal number ("190", "10.5", "-3"): no exponent, hex, inf or nan, as a user types
// a size into the settings; its value in `number`.
bool ParseDecimal(std::string_view text, double* number) {
  size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  size_t digits = 0, dots = 0;
  for (size_t j = i; j < text.size(); ++j) {
    if (text[j] >= '0' && text[j] <= '9') {
      ++digits;
    } else if (text[j] == '.' && dots++ == 0) {
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 30) return false;
  *number = std::strtod(std::string(text).c_str(), nullptr);
  return true;
}

}  // namespace

std::string SettingsFile::GetIniNumber(std::string_view key, std::string_view default_value,
                                       double min, double max) {
  const std::string text = GetIniValue(key, default_value);
  double number = 0;
  if (ParseDecimal(text, &number) && number >= min && number <= max) return text;
  const std::string note = "The settings file " + ini_path_ + " holds a bad value for " +
                           std::string(key) + " (\"" + host::EscapeInvalidUtf8(text) +
                           "\"): its default " + std::string(default_value) + " is used.";
  notice_ = notice_.empty() ? note : notice_ + "\n" + note;
  return std::string(default_value);
}

namespace {

// The settings text (nullopt: no file) after SetIniValue(key, value, remove); nullopt when there
// is still no file.
std::optional<std::string> EditedText(const std::optional<std::string>& text, std::string_view key,
                                      std::string_view value, bool remove) {
  const std::string prefix = std::string(key) + ":";
  const std::string entry = prefix + std::string(value);
  if (!text) {
    if (remove) return std::nullopt;
    return entry + std::string(kCrLf);
  }

  // The first line of the key keeps its place; the lines before it form the head, the other
  // lines after it the tail. Appending to an empty part drops empty lines at its start.
  std::string head, found, tail;
  const auto append = [](std::string& part, std::string_view line) {
    if (!part.empty()) part.append(kCrLf);
    part.append(line);
  };
  for (std::string_view line : SplitLines(*text)) {
    if (line.starts_with(prefix)) {
      found = entry;  // later lines of the same key are dropped
    } else {
      append(found.empty() ? head : tail, line);
    }
  }
  if (found.empty()) found = entry;

  std::string out;
  if (!head.empty()) {
    out.append(head);
    if (!(tail.empty() && remove)) out.append(kCrLf);
  }
  if (!remove) {
    out.append(found);
    if (!tail.empty()) out.append(kCrLf);
  }
  out.append(tail);
  out.append(kCrLf);
  return out;
}

}  // namespace

void SettingsFile::SetIniValue(std::string_view key, std::string_view value, bool remove) {
  RequireStorable("key", key);
  if (!remove) RequireStorable("value", value);
  IniFilePath();
  const std::optional<std::string> text = ReadText(ini_path_);
  const std::optional<std::string> edited = EditedText(text, key, value, remove);
  // A file that already says this is left alone: rewriting it costs two flushes to disk, and a
  // test made for each learner of a class stores the same options every time.
  if (edited && edited != text) ReplaceFile(*edited);
}

void SettingsFile::SetIniValues(std::initializer_list<IniEntry> entries) {
  for (const IniEntry& entry : entries) {
    RequireStorable("key", entry.key);
    RequireStorable("value", entry.value);
  }
  IniFilePath();
  const std::optional<std::string> text = ReadText(ini_path_);
  std::optional<std::string> edited = text;
  for (const IniEntry& entry : entries) edited = EditedText(edited, entry.key, entry.value, false);
  if (edited && edited != text) ReplaceFile(*edited);
}

// A rewrite follows the rules of every file this program writes: whole or not at all, owner and
// mode kept, a read-only file or a link planted in a shared folder refused.
void SettingsFile::ReplaceFile(std::string_view text) {
  host::ReplaceOptions options;
  options.action = "write the settings file";
  host::ReplaceFile(*env_, ini_path_, text, options);
}

void SettingsFile::set_env(std::shared_ptr<host::Env> env) {
  env_ = env ? std::move(env) : host::Env::Default();
}

}  // namespace tessarin::settings
