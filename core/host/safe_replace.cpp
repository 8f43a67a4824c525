// ReplaceFile: write a temporary beside the target, flush it, rename it over.
#include "core/host/safe_replace.h"

#include <errno.h>
#include <limits.h>

#include <atomic>
#include <charconv>
#include <cstring>
#include <memory>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

// Our temporary files are ".~tsr-PID-N.tmp": short, so that a target name at the file system's
// limit still fits, and marked with the writer's process so that a later write can tell one
// left by a killed process from one still being written.
constexpr std::string_view kTempPrefix = ".~tsr-";
constexpr std::string_view kTempSuffix = ".tmp";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, std::string_view name) {
  return folder == "/" ? "/" + std::string(name) : folder + "/" + std::string(name);
}

// The process id in one of our temporary names, or 0 when the name is not ours.
long WriterOf(std::string_view name) {
  if (!name.starts_with(kTempPrefix)) return 0;
  std::string_view rest = name.substr(kTempPrefix.size());
  if (rest.ends_with(".bak")) rest.remove_suffix(4);  // a backup link not yet renamed
  if (!rest.ends_with(kTempSuffix)) return 0;
  long pid = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
  if (ec != std::errc() || end == rest.data() || *end != '-' || pid <= 0) return 0;
  return pid;
}

// Removes temporary files of ours in `folder` whose writing process is gone. Only regular files
// of our own user are touched, never a link.
void RemoveStaleTemporaries(Env& env, const std::string& folder) {
  std::vector<std::string> names;
  if (env.ListFolder(folder, &names) != 0) return;
  for (const std::string& name : names) {
    const long pid = WriterOf(name);
    if (pid == 0 || pid == env.ProcessId() || !env.ProcessGone(pid)) continue;
    const std::string path = Join(folder, name);
    FileInfo info;
    if (env.LinkStat(path, &info) != 0 || info.kind != FileKind::kRegular ||
        info.uid != env.UserId())
      continue;
    env.Remove(path);
  }
}

// A new temporary file in `folder`, removed unless it was renamed into place.
class Temporary {
 public:
  Temporary(Env& env, const std::string& folder, uint32_t mode) : env_(env) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = Join(folder, std::string(kTempPrefix) + std::to_string(env.ProcessId()) + "-" +
                               std::to_string(counter++) + std::string(kTempSuffix));
      error_ = env.NewExclusiveFile(path_, mode, &file_);
      if (error_ != EEXIST) break;
    }
    if (error_) path_.clear();
  }
  ~Temporary() {
    file_.reset();
    if (!path_.empty() && !kept_) env_.Remove(path_);
  }
  int error() const { return error_; }
  WritableFile& file() { return *file_; }
  const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  Env& env_;
  std::string path_;
  std::unique_ptr<WritableFile> file_;
  int error_ = 0;
  bool kept_ = false;
};

const std::string kUntouched = " The file on disk was not changed.";

// Writes `bytes` to a new temporary file in `folder`, flushed and closed, with the owner, group
// and mode of `keep` when given. Throws with the reason; the temporary file is then gone.
std::unique_ptr<Temporary> WriteTemporary(Env& env, const std::string& folder, const FileInfo* keep,
                                          std::string_view bytes, std::string_view action,
                                          const std::string& shown) {
  auto temp = std::make_unique<Temporary>(env, folder, keep ? (keep->mode & 0777) : 0666);
  if (temp->error())
    ThrowFileError(temp->error(), action, shown,
                   " (A temporary file could not be made in " + folder + ".)" + kUntouched);
  WritableFile& file = temp->file();
  if (keep) {
    FileInfo now;
    if (int err = file.Stat(&now)) ThrowFileError(err, action, shown, kUntouched);
    if ((now.uid != keep->uid || now.gid != keep->gid) && file.SetOwner(keep->uid, keep->gid)) {
      throw HostError(kErrPermissionDenied,
                      "Cannot " + std::string(action) + " " + shown +
                          ": it belongs to another user or group (" + std::to_string(keep->uid) +
                          ":" + std::to_string(keep->gid) +
                          "), which a replacement written by this user could not keep." +
                          kUntouched);
    }
    // After the owner (which clears set-id bits), and unnarrowed by the umask.
    if (int err = file.SetMode(keep->mode & 07777)) ThrowFileError(err, action, shown, kUntouched);
  }
  if (int err = file.Append(bytes)) ThrowFileError(err, action, shown, kUntouched);
  if (int err = file.Sync()) ThrowFileError(err, action, shown, kUntouched);
  if (int err = file.Close()) ThrowFileError(err, action, shown, kUntouched);
  return temp;
}

// Keeps the file at `real` as `backup`. A hard link keeps the old content under the backup name
// while the target still holds it; where links are not supported the old bytes are copied the
// same safe way.
void KeepBackup(Env& env, const std::string& real, const std::string& folder,
                const std::string& link_name, std::string_view action, const std::string& shown) {
  const std::string backup = BackupPath(real);
  const std::string not_kept =
      " The previous version could not be kept as " + backup + ";" + kUntouched.substr(4);
  if (env.Link(real, link_name) == 0) {
    if (int err = env.Rename(link_name, backup)) {
      env.Remove(link_name);
      ThrowFileError(err, action, shown, " " + not_kept.substr(1));
    }
    return;
  }
  std::string old_bytes;
  FileInfo old;
  if (int err = env.ReadFile(real, UINT64_MAX, &old_bytes, &old)) {
    ThrowFileError(err, action, shown,
                   " The previous version could not be read to keep it; the file on disk was not "
                   "changed.");
  }
  auto copy = WriteTemporary(env, folder, &old, old_bytes, action, backup);
  if (int err = env.Rename(copy->path(), backup)) ThrowFileError(err, action, shown, not_kept);
  copy->Keep();
}

}  // namespace

void ThrowFileError(int err, std::string_view action, const std::string& file,
                    const std::string& tail) {
  const std::string head = "Cannot " + std::string(action) + " " + file + ": ";
  const std::string reason = std::strerror(err);
  switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      throw HostError(kErrDiskFull, head + "the disk is full (" + reason + ")." + tail);
    case EACCES:
    case EPERM:
    case EROFS:
      throw HostError(kErrPermissionDenied, head + "permission denied (" + reason + ")." + tail);
    case ENOENT:
    case ENOTDIR:
      throw HostError(kErrPathNotFound,
                      head + "the folder does not exist (" + reason + ")." + tail);
    default:
      throw HostError(kErrPathFileAccess, head + reason + "." + tail);
  }
}

bool IsReplaceTemporary(std::string_view name) { return WriterOf(name) != 0; }

std::string BackupPath(const std::string& target) {
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

// The kernel's protected-links rule would not follow a link in a sticky, world-writable folder
// (/tmp) owned neither by us nor by the folder's owner: someone else planted it. We resolve the
// link ourselves (to write beside its target), so we apply that rule ourselves.
std::string ResolveWriteTarget(Env& env, const std::string& target, std::string_view action) {
  std::string current = target;
  for (int hops = 0; hops < 40; ++hops) {
    FileInfo link;
    if (env.LinkStat(current, &link) != 0 || link.kind != FileKind::kLink) return current;
    const std::string parent = FolderOf(current);
    FileInfo folder;
    if (env.Stat(parent, &folder) == 0 && (folder.mode & 01000) && (folder.mode & 0002) &&
        link.uid != env.UserId() && link.uid != folder.uid) {
      throw HostError(kErrPathFileAccess,
                      "Cannot " + std::string(action) + " " + target + ": " + current +
                          " is a link that another user made in the shared folder " + parent +
                          "; it is not followed.");
    }
    std::string next;
    if (int err = env.ReadLink(current, &next)) ThrowFileError(err, action, target);
    current = next.starts_with('/') ? next : Join(parent, next);
  }
  ThrowFileError(ELOOP, action, target);
}

std::string ReplaceFile(Env& env, const std::string& target, std::string_view bytes,
                        const ReplaceOptions& options) {
  const std::string_view action = options.action;
  if (target.empty() || target.back() == '/') {
    throw HostError(kErrBadFileName,
                    target.empty() ? "Cannot " + std::string(action) + ": no file name was given."
                                   : "Cannot " + std::string(action) + " " + target +
                                         ": the path names a folder, not a file.");
  }
  if (NameOf(target).size() > NAME_MAX) {
    throw HostError(kErrBadFileName, "Cannot " + std::string(action) + " " + target +
                                         ": the file name is longer than the " +
                                         std::to_string(NAME_MAX) + " bytes a file name may have.");
  }
  const std::string real = ResolveWriteTarget(env, target, action);
  const std::string folder = FolderOf(real);
  FileInfo folder_info;
  if (env.Stat(folder, &folder_info) != 0 || folder_info.kind != FileKind::kFolder) {
    throw HostError(kErrPathNotFound, "Cannot " + std::string(action) + " " + target +
                                          ": the folder " + folder + " does not exist.");
  }
  FileInfo old;
  const bool exists = env.LinkStat(real, &old) == 0;
  if (exists && old.kind == FileKind::kFolder) {
    throw HostError(kErrPathFileAccess, "Cannot " + std::string(action) + " " + target +
                                            ": it is a folder, not a file.");
  }
  if (exists && old.kind != FileKind::kRegular) {
    throw HostError(kErrPathFileAccess, "Cannot " + std::string(action) + " " + target +
                                            ": it is not a regular file (a pipe or a device).");
  }
  // Root may write anything; a file its owner marked read-only is still not replaced.
  if (exists && !(old.mode & 0200)) {
    throw HostError(kErrPathFileAccess,
                    "Cannot " + std::string(action) + " " + target + ": the file is read-only.");
  }

  RemoveStaleTemporaries(env, folder);
  std::unique_ptr<Temporary> temp =
      WriteTemporary(env, folder, exists ? &old : nullptr, bytes, action, target);
  if (options.before_rename) options.before_rename(real);
  if (exists && options.keep_backup)
    KeepBackup(env, real, folder, temp->path() + ".bak", action, target);
  if (int err = env.Rename(temp->path(), real)) ThrowFileError(err, action, target, kUntouched);
  temp->Keep();
  // The new file is in place; a failed folder sync only loses durability of the rename.
  env.SyncFolder(folder);
  return real;
}

}  // namespace tessarin::host
