// The POSIX Env: the real file system through open(2), fsync(2), rename(2), flock(2) ...
#include "core/host/env.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::host {
namespace {

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  info.kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
              : S_ISDIR(st.st_mode) ? FileKind::kFolder
              : S_ISLNK(st.st_mode) ? FileKind::kLink
                                    : FileKind::kOther;
  info.mode = st.st_mode & 07777;
  info.uid = st.st_uid;
  info.gid = st.st_gid;
  info.size = st.st_size;
  info.mtime_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  info.device = st.st_dev;
  info.inode = st.st_ino;
  return info;
}

int CloseFd(int& fd) {
  if (fd < 0) return 0;
  const int rc = close(fd);
  fd = -1;
  // Linux releases the descriptor even when close reports EINTR; retrying could close another.
  return rc == 0 || errno == EINTR ? 0 : errno;
}

class PosixFile : public WritableFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { CloseFd(fd_); }

  int Append(std::string_view data) override {
    if (fd_ < 0) return EBADF;
    while (!data.empty()) {
      const ssize_t n = write(fd_, data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      if (n == 0) return EIO;  // a write that makes no progress would loop for ever
      data.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
  }
  int Sync() override { return fd_ < 0 ? EBADF : fsync(fd_) == 0 ? 0 : errno; }
  int Close() override { return CloseFd(fd_); }
  int SetOwner(uint32_t uid, uint32_t gid) override {
    return fchown(fd_, uid, gid) == 0 ? 0 : errno;
  }
  int SetMode(uint32_t mode) override { return fchmod(fd_, mode) == 0 ? 0 : errno; }
  int Stat(FileInfo* info) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return errno;
    *info = InfoOf(st);
    return 0;
  }

 private:
  int fd_;
};

class PosixLock : public FileLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}
  ~PosixLock() override { CloseFd(fd_); }  // closing the last descriptor releases the lock

 private:
  int fd_;
};

class PosixEnv : public Env {
 public:
  int Stat(const std::string& path, FileInfo* info) override {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return errno;
    *info = InfoOf(st);
    return 0;
  }
  int LinkStat(const std::string& path, FileInfo* info) override {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno;
    *info = InfoOf(st);
    return 0;
  }
  int ReadLink(const std::string& path, std::string* target) override {
    std::string link(PATH_MAX + 1, '\0');
    const ssize_t n = readlink(path.c_str(), link.data(), link.size());
    if (n < 0) return errno;
    link.resize(static_cast<size_t>(n));
    *target = std::move(link);
    return 0;
  }

  int ReadFile(const std::string& path, uint64_t max_bytes, std::string* bytes,
               FileInfo* info) override {
    // Non-blocking, so that a FIFO or device is looked at and refused, never waited on or read.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    int err = fstat(fd, &st) == 0 ? 0 : errno;
    if (!err) *info = InfoOf(st);
    if (!err && info->kind != FileKind::kRegular)
      err = info->kind == FileKind::kFolder ? EISDIR : EINVAL;
    if (!err && static_cast<uint64_t>(st.st_size) > max_bytes) err = EFBIG;
    if (!err) {
      bytes->resize(static_cast<size_t>(st.st_size));
      size_t done = 0;
      while (done < bytes->size()) {
        const ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
          err = errno;
          break;
        }
        if (n == 0) break;  // shrank while we read
        done += static_cast<size_t>(n);
      }
      bytes->resize(done);
    }
    CloseFd(fd);
    return err;
  }

  int NewExclusiveFile(const std::string& path, uint32_t mode,
                       std::unique_ptr<WritableFile>* file) override {
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 07777);
    if (fd < 0) return errno;
    *file = std::make_unique<PosixFile>(fd);
    return 0;
  }

  int Rename(const std::string& from, const std::string& to) override {
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  int Link(const std::string& from, const std::string& to) override {
    return link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  int Remove(const std::string& path) override { return unlink(path.c_str()) == 0 ? 0 : errno; }
  int SyncFolder(const std::string& folder) override {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = fsync(fd) == 0 ? 0 : errno;
    CloseFd(fd);
    return err;
  }
  int ListFolder(const std::string& folder, std::vector<std::string>* names) override {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return errno;
    names->clear();
    while (const dirent* e = readdir(dir)) {
      const std::string_view name = e->d_name;
      if (name != "." && name != "..") names->emplace_back(name);
    }
    closedir(dir);
    return 0;
  }

  int TryLock(const std::string& path, std::unique_ptr<FileLock>* lock, FileInfo* locked) override {
    // flock, not fcntl: an fcntl lock would vanish when any other descriptor of the same file
    // in this process is closed, as reading the workbook does.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    if (fstat(fd, &st) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      CloseFd(fd);
      return err;
    }
    *locked = InfoOf(st);
    *lock = std::make_unique<PosixLock>(fd);
    return 0;
  }

  uint32_t UserId() override { return geteuid(); }
  long ProcessId() override { return getpid(); }
  bool ProcessGone(long pid) override {
    return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
  }
};

}  // namespace

std::shared_ptr<Env> Env::Default() {
  static const std::shared_ptr<Env> env = std::make_shared<PosixEnv>();
  return env;
}

}  // namespace tessarin::host
