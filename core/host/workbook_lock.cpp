// WorkbookLock: take turns on a workbook file.
#include "core/host/workbook_lock.h"

#include <errno.h>

#include <thread>

#include "core/host/host_error.h"

namespace tessarin::host {

int WorkbookLock::TryOnce(std::unique_ptr<FileLock>* lock) {
  // A holder that saved meanwhile left our lock on a file no longer at the path: try again on
  // the file that is there now.
  for (int attempt = 0; attempt < 100; ++attempt) {
    FileInfo locked, now;
    if (int err = env_->TryLock(path_, lock, &locked)) return err;
    if (env_->Stat(path_, &now) == 0 && now.device == locked.device && now.inode == locked.inode)
      return 0;
    lock->reset();
  }
  return EWOULDBLOCK;
}

std::unique_ptr<WorkbookLock> WorkbookLock::Acquire(const std::string& path,
                                                    std::chrono::milliseconds wait,
                                                    std::shared_ptr<Env> env) {
  std::unique_ptr<WorkbookLock> holder(
      new WorkbookLock(env ? std::move(env) : Env::Default(), path));
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const int err = holder->TryOnce(&holder->lock_);
    if (err == 0) return holder;
    if (err != EWOULDBLOCK && err != EAGAIN) return holder;  // the open will say what is wrong
    if (std::chrono::steady_clock::now() >= deadline) {
      throw HostError(kErrPermissionDenied, path + " is being changed by another program.");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

bool WorkbookLock::Renew() {
  std::unique_ptr<FileLock> fresh;
  if (TryOnce(&fresh) != 0) return false;
  lock_ = std::move(fresh);
  return true;
}

}  // namespace tessarin::host
