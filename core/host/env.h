// Env: the one seam between the program and the file system. Everything that creates, writes,
// syncs, renames, stats or locks a file goes through an Env, so a test can run on an in-memory
// one (MemEnv) or on one that fails any step. Env::Default() is the real POSIX file system.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessarin::host {

// Every call returns 0 on success or the errno value of the failure (ENOENT, EACCES, ENOSPC ...),
// so callers can name the reason; none throws.

enum class FileKind { kMissing, kRegular, kFolder, kLink, kOther };

struct FileInfo {
  FileKind kind = FileKind::kMissing;
  uint32_t mode = 0;  // permission bits with set-id and sticky bits (07777)
  uint32_t uid = 0;
  uint32_t gid = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
};

// A file open for writing, made by Env::NewExclusiveFile. Destroying it closes it (ignoring a
// failure: call Close() to learn of one).
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all of `data` after what was written before.
  virtual int Append(std::string_view data) = 0;
  // Makes what was written durable (fsync).
  virtual int Sync() = 0;
  // Closes the file; a failure here can mean bytes were lost (NFS, a full disk).
  virtual int Close() = 0;
  virtual int SetOwner(uint32_t uid, uint32_t gid) = 0;
  virtual int SetMode(uint32_t mode) = 0;
  virtual int Stat(FileInfo* info) = 0;
};

// An advisory lock held on a file until the object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class Env {
 public:
  virtual ~Env() = default;

  // The real file system; shared, never null.
  static std::shared_ptr<Env> Default();

  // What `path` is, following links (Stat) or not (LinkStat). A missing path is ENOENT.
  virtual int Stat(const std::string& path, FileInfo* info) = 0;
  virtual int LinkStat(const std::string& path, FileInfo* info) = 0;
  // The text of the symbolic link at `path`.
  virtual int ReadLink(const std::string& path, std::string* target) = 0;

  // Reads the whole regular file at `path` (at most `max_bytes`, else EFBIG) and what it is. A
  // FIFO, device or folder is refused (EISDIR for a folder, EINVAL otherwise) without waiting
  // on it or reading from it.
  virtual int ReadFile(const std::string& path, uint64_t max_bytes, std::string* bytes,
                       FileInfo* info) = 0;

  // Creates a new file at `path` with permission bits `mode` (narrowed by the umask) and opens
  // it for writing. Fails with EEXIST when anything is there, a symbolic link included: a link
  // is never followed.
  virtual int NewExclusiveFile(const std::string& path, uint32_t mode,
                               std::unique_ptr<WritableFile>* file) = 0;

  // rename(2): atomically replaces `to` with `from`.
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  // A second name `to` for the file `from` (a hard link); EEXIST when `to` exists.
  virtual int Link(const std::string& from, const std::string& to) = 0;
  // Removes the file (never a folder) at `path`.
  virtual int Remove(const std::string& path) = 0;
  // Makes the folder's entries (a rename into it) durable.
  virtual int SyncFolder(const std::string& folder) = 0;
  // The names in `folder`, without "." and "..".
  virtual int ListFolder(const std::string& folder, std::vector<std::string>* names) = 0;

  // Takes an exclusive advisory lock on the existing file `path` without waiting: EWOULDBLOCK
  // when another holder has it. The lock is on the file, not the name: once the name is
  // replaced (a save renames over it) the lock no longer guards the new file.
  virtual int TryLock(const std::string& path, std::unique_ptr<FileLock>* lock,
                      FileInfo* locked) = 0;

  // The effective user of this process.
  virtual uint32_t UserId() = 0;
  // This process's id, and whether the process `pid` has ended.
  virtual long ProcessId() = 0;
  virtual bool ProcessGone(long pid) = 0;
};

// Forwards every call to another Env; a test derives from it to change one step (leveldb's
// EnvWrapper). `target` must not be null.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(std::shared_ptr<Env> target) : target_(std::move(target)) {}
  Env& target() { return *target_; }

  int Stat(const std::string& p, FileInfo* i) override { return target_->Stat(p, i); }
  int LinkStat(const std::string& p, FileInfo* i) override { return target_->LinkStat(p, i); }
  int ReadLink(const std::string& p, std::string* t) override { return target_->ReadLink(p, t); }
  int ReadFile(const std::string& p, uint64_t max, std::string* b, FileInfo* i) override {
    return target_->ReadFile(p, max, b, i);
  }
  int NewExclusiveFile(const std::string& p, uint32_t mode,
                       std::unique_ptr<WritableFile>* f) override {
    return target_->NewExclusiveFile(p, mode, f);
  }
  int Rename(const std::string& f, const std::string& t) override { return target_->Rename(f, t); }
  int Link(const std::string& f, const std::string& t) override { return target_->Link(f, t); }
  int Remove(const std::string& p) override { return target_->Remove(p); }
  int SyncFolder(const std::string& f) override { return target_->SyncFolder(f); }
  int ListFolder(const std::string& f, std::vector<std::string>* n) override {
    return target_->ListFolder(f, n);
  }
  int TryLock(const std::string& p, std::unique_ptr<FileLock>* l, FileInfo* i) override {
    return target_->TryLock(p, l, i);
  }
  uint32_t UserId() override { return target_->UserId(); }
  long ProcessId() override { return target_->ProcessId(); }
  bool ProcessGone(long pid) override { return target_->ProcessGone(pid); }

 private:
  std::shared_ptr<Env> target_;
};

}  // namespace tessarin::host
