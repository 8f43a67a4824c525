// WorkbookFiles: format dispatch on open, and the write-flush-rename save with its backup.
#include "core/ooxml/workbook_io.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/ooxml/text_import.h"
#include "core/ooxml/xls_import.h"
#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {
namespace {

namespace fs = std::filesystem;
using host::HostError;

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
  return ext;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) p = path;
  return p.lexically_normal().string();
}

// An errno value as the host's run-time error for `action` ("open", "save") on `file`.
[[noreturn]] void ThrowErrno(int err, const std::string& action, const std::string& file,
                             const std::string& tail = "") {
  const std::string reason = std::strerror(err);
  std::string text;
  int number;
  switch (err) {
    case ENOSPC:
    case EDQUOT:
      number = host::kErrDiskFull;
      text = "Cannot " + action + " " + file + ": the disk is full (" + reason + ").";
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = host::kErrPermissionDenied;
      text = "Cannot " + action + " " + file + ": permission denied (" + reason + ").";
      break;
    case ENOENT:
    case ENOTDIR:
      number = host::kErrPathNotFound;
      text = "Cannot " + action + " " + file + ": the folder does not exist (" + reason + ").";
      break;
    default:
      number = host::kErrPathFileAccess;
      text = "Cannot " + action + " " + file + ": " + reason + ".";
      break;
  }
  throw HostError(number, text + tail);
}

host::FileStamp StampFromStat(const struct stat& st) {
  return {static_cast<int64_t>(st.st_size),
          int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Close() {
    if (fd_ < 0) return 0;
    const int rc = close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Our temporary files are ".~tsr-PID-N.tmp": short, so that a target name near the file system's
// limit still fits, and marked with the writer's process so that a later save can tell one left
// by a killed save from one still being written.
constexpr std::string_view kTempPrefix = ".~tsr-";
constexpr std::string_view kTempSuffix = ".tmp";

// A temporary file beside the target, removed unless it was renamed into place. It is created
// with O_EXCL, so a link planted under its name is never followed.
class TempFile {
 public:
  TempFile(const std::string& folder, mode_t mode) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = folder + "/" + std::string(kTempPrefix) + std::to_string(getpid()) + "-" +
              std::to_string(counter++) + std::string(kTempSuffix);
      const int fd =
          open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd >= 0) {
        fd_ = std::make_unique<Fd>(fd);
        return;
      }
      if (errno != EEXIST) {
        error_ = errno;
        path_.clear();
        return;
      }
    }
    error_ = EEXIST;
    path_.clear();
  }
  ~TempFile() {
    if (fd_) fd_->Close();
    if (!path_.empty() && !kept_) unlink(path_.c_str());
  }
  int error() const { return error_; }
  int fd() const { return fd_->get(); }
  int Close() { return fd_->Close(); }
  const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  std::unique_ptr<Fd> fd_;
  int error_ = 0;
  bool kept_ = false;
};

// Removes temporary files of ours in `folder` whose writing process is gone (a save that was
// killed). Only regular files of our own user are touched, never a link.
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  const int dfd = dirfd(dir);
  while (const dirent* e = readdir(dir)) {
    std::string_view name = e->d_name;
    if (name.substr(0, kTempPrefix.size()) != kTempPrefix) continue;
    std::string_view rest = name.substr(kTempPrefix.size());
    if (rest.size() > 4 && rest.substr(rest.size() - 4) == ".bak") rest.remove_suffix(4);
    if (rest.size() < kTempSuffix.size() ||
        rest.substr(rest.size() - kTempSuffix.size()) != kTempSuffix)
      continue;
    long pid = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (ec != std::errc() || end == rest.data() || *end != '-' || pid <= 0) continue;
    if (pid == getpid() || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != geteuid())
      continue;
    unlinkat(dfd, e->d_name, 0);
  }
  closedir(dir);
}

// The file a save of `target` writes: a symbolic link is followed as an editor would, except one
// that the kernel's protected-links rule would not follow: a link in a sticky, world-writable
// folder (/tmp) owned neither by us nor by the folder's owner was planted there by someone else.
// We resolve the link ourselves (to write beside its target), so we apply that rule ourselves.
std::string ResolveSaveTarget(const std::string& target) {
  std::string current = target;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat lst;
    if (lstat(current.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) return current;
    const fs::path parent = fs::path(current).parent_path();
    struct stat folder;
    if (stat(parent.empty() ? "/" : parent.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
        (folder.st_mode & S_IWOTH) && lst.st_uid != geteuid() && lst.st_uid != folder.st_uid) {
      throw HostError(host::kErrPathFileAccess,
                      "Cannot save " + target + ": " + current +
                          " is a link that another user made in the shared folder " +
                          parent.string() + "; it is not followed.");
    }
    std::string link(static_cast<size_t>(lst.st_size > 0 ? lst.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = readlink(current.c_str(), link.data(), link.size());
    if (n < 0) ThrowErrno(errno, "save", target);
    link.resize(static_cast<size_t>(n));
    const fs::path next(link);
    current = (next.is_absolute() ? next : parent / next).lexically_normal().string();
  }
  ThrowErrno(ELOOP, "save", target);
}

// Writes `bytes` to a new temporary file in `folder` and flushes it; returns the file, ready to
// be renamed. Throws with the reason when any step fails; the temporary file is then gone.
// When `keep` is given, the new file gets its owner, group and mode before any byte is written.
std::unique_ptr<TempFile> WriteTemporary(FileWriter& writer, const std::string& folder,
                                         const struct stat* keep, std::string_view bytes,
                                         const std::string& shown) {
  const std::string untouched = " The file on disk was not changed.";
  auto temp = std::make_unique<TempFile>(folder, keep ? (keep->st_mode & 0777) : 0666);
  if (temp->error())
    ThrowErrno(temp->error(), "save", shown,
               " (A temporary file could not be made in " + folder + ".)" + untouched);
  if (keep) {
    struct stat now;
    if (fstat(temp->fd(), &now) != 0) ThrowErrno(errno, "save", shown, untouched);
    if ((now.st_uid != keep->st_uid || now.st_gid != keep->st_gid) &&
        fchown(temp->fd(), keep->st_uid, keep->st_gid) != 0) {
      throw HostError(host::kErrPermissionDenied,
                      "Cannot save " + shown + ": it belongs to another user or group (" +
                          std::to_string(keep->st_uid) + ":" + std::to_string(keep->st_gid) +
                          "), which a replacement written by this user could not keep." +
                          untouched);
    }
    // After the owner (which clears set-id bits), and unnarrowed by the umask.
    if (fchmod(temp->fd(), keep->st_mode & 07777) != 0) ThrowErrno(errno, "save", shown, untouched);
  }
  if (int err = writer.Write(temp->fd(), bytes)) ThrowErrno(err, "save", shown, untouched);
  if (int err = writer.Sync(temp->fd())) ThrowErrno(err, "save", shown, untouched);
  if (int err = temp->Close()) ThrowErrno(err, "save", shown, untouched);
  return temp;
}

void SyncFolder(const std::string& folder) {
  Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) fsync(dir.get());
}

std::string ReadAll(int fd, uint64_t size) {
  std::string bytes;
  bytes.resize(size);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {};
    if (n == 0) break;  // shrank while we read
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

WorkbookFiles::WorkbookFiles(std::shared_ptr<FileWriter> writer, OpenLimits limits)
    : writer_(writer ? std::move(writer) : std::make_shared<FileWriter>()), limits_(limits) {}

std::string WorkbookFiles::SaveTarget(const std::string& path) {
  fs::path p(Absolute(path));
  const std::string ext = LowerExtension(p.string());
  if (ext == ".xls" || ext == ".txt" || ext == ".csv" || ext == ".tsv" || ext == ".prn") {
    p.replace_extension(".xlsx");
  } else if (ext.empty()) {
    p += ".xlsx";
  }
  return p.string();
}

std::string WorkbookFiles::BackupPath(const std::string& target) {
  // A name near the file system's limit is shortened (at a character boundary) to make room.
  constexpr size_t kMaxName = NAME_MAX - 4;
  const size_t slash = target.rfind('/');
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  size_t end = target.size();
  if (end - name_start > kMaxName) {
    end = name_start + kMaxName;
    while (end > name_start && (static_cast<unsigned char>(target[end]) & 0xC0) == 0x80) --end;
  }
  return target.substr(0, end) + ".bak";
}

void WorkbookFiles::CheckSavePath(const std::string& path) {
  if (path.empty() || path.back() == '/') {
    throw HostError(host::kErrBadFileName,
                    path.empty()
                        ? std::string("Cannot save: no file name was given.")
                        : "Cannot save " + path + ": the path names a folder, not a file.");
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    throw HostError(host::kErrPathFileAccess,
                    "Cannot save " + path + ": it is a folder, not a file.");
  }
  const std::string name = fs::path(SaveTarget(path)).filename().string();
  if (name.size() > NAME_MAX) {
    throw HostError(host::kErrBadFileName,
                    "Cannot save " + path + ": the file name is longer than the " +
                        std::to_string(NAME_MAX) + " bytes a file name may have.");
  }
}

void WorkbookFiles::AskGuard(const host::Workbook& workbook, const std::string& real_target,
                             const std::string& target) {
  std::unique_ptr<host::Workbook> on_disk;
  try {
    on_disk = Open(real_target);
  } catch (const HostError&) {
    return;
  }
  guard_->CheckReplace(workbook, *on_disk, target);
}

host::FileStamp WorkbookFiles::StampOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {};
  return StampFromStat(st);
}

std::unique_ptr<host::Workbook> WorkbookFiles::Open(const std::string& path) {
  const std::string full = Absolute(path);
  // Non-blocking, so that a FIFO or device is looked at and refused, never waited on or read.
  Fd fd(open(full.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int err = errno;
    if (err == ENOENT) {
      // Tell a missing file from a missing folder, as the host does.
      struct stat st;
      const std::string folder = fs::path(full).parent_path().string();
      if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        throw HostError(host::kErrFileNotFound, "File not found: '" + path + "'.");
      }
      throw HostError(host::kErrPathNotFound,
                      "Path not found: '" + path + "' (the folder does not exist).");
    }
    ThrowErrno(err, "open", "'" + path + "'");
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) ThrowErrno(errno, "open", "'" + path + "'");
  if (S_ISDIR(st.st_mode))
    throw HostError(host::kErrPathFileAccess,
                    "Cannot open '" + path + "': it is a folder, not a file.");
  if (!S_ISREG(st.st_mode))
    throw HostError(host::kErrPathFileAccess,
                    "Cannot open '" + path + "': it is not a regular file.");
  if (static_cast<uint64_t>(st.st_size) > limits_.max_file_bytes) {
    throw HostError(host::kErrApplicationDefined,
                    "Cannot open " + full + ": the file has " + std::to_string(st.st_size) +
                        " bytes, more than the " + std::to_string(limits_.max_file_bytes) +
                        " a workbook file may have.");
  }
  const host::FileStamp stamp = StampFromStat(st);
  errno = 0;
  const std::string bytes = ReadAll(fd.get(), static_cast<uint64_t>(st.st_size));
  if (errno != 0 && bytes.empty() && st.st_size > 0) ThrowErrno(errno, "read", "'" + path + "'");

  const std::string ext = LowerExtension(full);
  std::unique_ptr<host::Workbook> workbook;
  host::FileFormat format;
  if (LooksLikeZip(bytes)) {
    workbook = ReadXlsx(bytes, full, limits_.read);
    format = ext == ".xlsm" ? host::FileFormat::kXlsm : host::FileFormat::kXlsx;
  } else if (LooksLikeCompoundFile(bytes)) {
    workbook = ImportXls(bytes, full);  // also names an encrypted .xlsx for what it is
    format = host::FileFormat::kXls;
  } else if (ext == ".csv") {
    workbook = ImportText(bytes, full, ',');
    format = host::FileFormat::kCsv;
  } else if (ext == ".txt" || ext == ".tsv" || ext == ".prn") {
    workbook = ImportText(bytes, full, '\t');
    format = host::FileFormat::kText;
  } else if (ext == ".xlsx" || ext == ".xlsm") {
    throw HostError(
        host::kErrApplicationDefined,
        "Cannot open " + full + ": the file is not an Excel workbook (it is not a zip package).");
  } else if (ext == ".xls") {
    throw HostError(
        host::kErrApplicationDefined,
        "Cannot open " + full +
            ": the file is not an Excel 97-2003 workbook (it is not an OLE container).");
  } else {
    throw HostError(
        host::kErrApplicationDefined,
        "Cannot open " + full +
            ": the file format is not recognised (expected .xlsx, .xlsm, .xls, .csv or .txt).");
  }
  const fs::path p(full);
  workbook->set_name(p.filename().string());
  workbook->set_path(p.parent_path().string());
  workbook->set_file_format(format);
  workbook->set_disk_stamp(stamp);
  workbook->set_saved(true);
  return workbook;
}

std::string WorkbookFiles::Save(host::Workbook& workbook, const std::string& path) {
  return Save(workbook, path, SaveOptions{});
}

std::string WorkbookFiles::Save(host::Workbook& workbook, const std::string& path,
                                const SaveOptions& options) {
  CheckSavePath(path);
  const std::string target = SaveTarget(path);
  const bool redirected = target != Absolute(path);
  const fs::path target_path(target);
  std::string folder = target_path.parent_path().string();
  if (folder.empty()) folder = "/";

  // Write through a symbolic link rather than replacing it (unless it was planted on us).
  const std::string real_target = ResolveSaveTarget(target);
  std::string real_folder = fs::path(real_target).parent_path().string();
  if (real_folder.empty()) real_folder = "/";

  struct stat folder_st;
  if (stat(real_folder.c_str(), &folder_st) != 0 || !S_ISDIR(folder_st.st_mode)) {
    throw HostError(host::kErrPathNotFound,
                    "Cannot save " + target + ": the folder " + real_folder + " does not exist.");
  }
  struct stat target_st;
  const bool exists = stat(real_target.c_str(), &target_st) == 0;
  if (exists && !S_ISREG(target_st.st_mode)) {
    throw HostError(host::kErrPathFileAccess,
                    "Cannot save " + target + ": a folder or other non-file has that name.");
  }
  // Root may write anything; a file its owner marked read-only is still not replaced.
  if (exists && !(target_st.st_mode & S_IWUSR)) {
    throw HostError(host::kErrPathFileAccess, "Cannot save " + target + ": the file is read-only.");
  }

  const bool own_file = !workbook.path().empty() && Absolute(workbook.FullName()) == target &&
                        (workbook.file_format() == host::FileFormat::kXlsx ||
                         workbook.file_format() == host::FileFormat::kXlsm);
  // Replacing another file, or our own that changed on disk, may lose a record: the guard says.
  if (exists && guard_ &&
      (!own_file ||
       (workbook.disk_stamp().Known() && StampFromStat(target_st) != workbook.disk_stamp()))) {
    AskGuard(workbook, real_target, target);
  }
  if (exists && !options.force) {
    const host::FileStamp current = StampFromStat(target_st);
    if (own_file && workbook.disk_stamp().Known() && current != workbook.disk_stamp()) {
      throw SaveConflict(SaveConflict::Kind::kChangedOnDisk, target,
                         "Cannot save " + target +
                             ": the file was changed by another program after it was opened "
                             "or last saved here. Saving now would discard those changes.");
    }
    if (redirected && !own_file) {
      throw SaveConflict(SaveConflict::Kind::kTargetExists, target,
                         "Cannot save " + target_path.filename().string() + " beside " +
                             fs::path(path).filename().string() +
                             ": a file of that name already exists in " + folder +
                             " and would be replaced.");
    }
  }

  // A .xlsx cannot hold macros: the macro project is left out, as spreadsheet programs do.
  const std::string bytes = WriteXlsx(workbook, {limits_.read, LowerExtension(target) != ".xlsm"});
  RemoveStaleTemporaries(real_folder);
  std::unique_ptr<TempFile> temp =
      WriteTemporary(*writer_, real_folder, exists ? &target_st : nullptr, bytes, target);

  // Writing took a while: look again, so a save made meanwhile by another program is not lost.
  if (exists && !options.force) {
    struct stat again;
    if (stat(real_target.c_str(), &again) == 0 &&
        StampFromStat(again) != StampFromStat(target_st)) {
      throw SaveConflict(SaveConflict::Kind::kChangedOnDisk, target,
                         "Cannot save " + target +
                             ": the file was changed by another program while it was being "
                             "saved here. Saving now would discard those changes.");
    }
  }

  if (exists && options.keep_backup) {
    // A hard link keeps the old content under the backup name while the target still holds it;
    // where links are not supported the old bytes are copied the same safe way.
    const std::string backup = BackupPath(real_target);
    const std::string link_name = temp->path() + ".bak";
    bool kept = link(real_target.c_str(), link_name.c_str()) == 0;
    if (kept && rename(link_name.c_str(), backup.c_str()) != 0) {
      const int err = errno;
      unlink(link_name.c_str());
      ThrowErrno(err, "save", target,
                 " The previous version could not be kept as " + backup +
                     "; the file on disk was not changed.");
    }
    if (!kept) {
      Fd old(open(real_target.c_str(), O_RDONLY | O_CLOEXEC));
      struct stat old_st;
      if (old.get() < 0 || fstat(old.get(), &old_st) != 0) {
        ThrowErrno(errno, "save", target,
                   " The previous version could not be read to keep it; the file on disk was not "
                   "changed.");
      }
      const std::string old_bytes = ReadAll(old.get(), static_cast<uint64_t>(old_st.st_size));
      if (old_bytes.size() != static_cast<uint64_t>(old_st.st_size)) {
        ThrowErrno(EIO, "save", target,
                   " The previous version could not be read to keep it; the file on disk was not "
                   "changed.");
      }
      auto copy = WriteTemporary(*writer_, real_folder, &old_st, old_bytes, backup);
      if (rename(copy->path().c_str(), backup.c_str()) != 0) {
        ThrowErrno(errno, "save", target,
                   " The previous version could not be kept as " + backup +
                       "; the file on disk was not changed.");
      }
      copy->Keep();
    }
  }
  if (rename(temp->path().c_str(), real_target.c_str()) != 0) {
    ThrowErrno(errno, "save", target, " The file on disk was not changed.");
  }
  temp->Keep();
  SyncFolder(real_folder);

  workbook.set_name(target_path.filename().string());
  workbook.set_path(folder);
  workbook.set_file_format(LowerExtension(target) == ".xlsm" ? host::FileFormat::kXlsm
                                                             : host::FileFormat::kXlsx);
  workbook.set_disk_stamp(StampOf(real_target));
  workbook.set_saved(true);
  return target;
}

}  // namespace tessarin::ooxml
