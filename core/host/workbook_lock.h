// WorkbookLock: keeps a second program from changing a workbook while this one reads, changes
// and saves it, so that no change reported as saved is lost to another program's save.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "core/host/env.h"

namespace tessarin::host {

// An advisory lock on a workbook file, held from before it is read until after it is saved.
// Programs that take it (the command line's mark, answers and create, the desktop window) take
// turns; one that does not is not stopped. The lock is on the file, so after this process saves
// over it (a new file takes the name) call Renew() to go on holding it.
class WorkbookLock {
 public:
  // How long a second program waits for the first to finish before it gives up.
  static constexpr std::chrono::milliseconds kDefaultWait{3000};

  // Takes the lock on the file `path`, waiting up to `wait` while another holder has it. Throws
  // HostError 70 "PATH is being changed by another program." when it is still held then. A file
  // that is missing or cannot be opened is not locked (the returned object holds nothing): the
  // open that follows reports why.
  static std::unique_ptr<WorkbookLock> Acquire(const std::string& path,
                                               std::chrono::milliseconds wait = kDefaultWait,
                                               std::shared_ptr<Env> env = nullptr);

  // After this process replaced the file: locks the file now at path() and releases the old
  // one. False (still holding the old one) when another program took the new file first.
  bool Renew();

  const std::string& path() const { return path_; }
  // True when a lock is held (false for a file that could not be opened).
  bool held() const { return lock_ != nullptr; }

 private:
  WorkbookLock(std::shared_ptr<Env> env, std::string path) : env_(env), path_(std::move(path)) {}
  // One attempt: 0 with the lock taken on the file now at path(), or an errno value.
  int TryOnce(std::unique_ptr<FileLock>* lock);

  std::shared_ptr<Env> env_;
  std::string path_;
  std::unique_ptr<FileLock> lock_;
};

}  // namespace tessarin::host
