// LockingFiles: the workbook locks of the open workbooks.
#include "core/host/locking_files.h"

#include <filesystem>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

// True when `a` and `b` name one file: a second lock of this process on it would wait for the
// first.
bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

LockingFiles::LockingFiles(std::shared_ptr<FileService> files, IsOpen is_open,
                           std::chrono::milliseconds wait)
    : files_(std::move(files)), is_open_(std::move(is_open)), wait_(wait) {}

std::unique_ptr<Workbook> LockingFiles::Open(const std::string& path) {
  // A workbook closed since, on the same file, must not make this open wait for itself.
  ReleaseClosed();
  std::unique_ptr<WorkbookLock> lock = WorkbookLock::Acquire(path, wait_);
  std::unique_ptr<Workbook> workbook = files_->Open(path);
  // An address freed by a closed workbook may come back: the entry is the new workbook's.
  locks_[workbook.get()] = std::move(lock);
  return workbook;
}

std::string LockingFiles::Save(Workbook& workbook, const std::string& path) {
  return SaveWith(workbook, path, [&] { return files_->Save(workbook, path); });
}

std::string LockingFiles::SaveWith(Workbook& workbook, const std::string& path,
                                   const std::function<std::string()>& save) {
  ReleaseClosed();
  std::unique_ptr<WorkbookLock>& own = locks_[&workbook];
  std::unique_ptr<WorkbookLock> target;
  if (own == nullptr || !SameFile(own->path(), path)) target = WorkbookLock::Acquire(path, wait_);
  const std::string written = save();
  // The save put a new file at the name: the lock moves to it. Should another program take it
  // in between, this one goes on without (that program then reads what was saved).
  if (target == nullptr && SameFile(written, own->path())) {
    own->Renew();
  } else if (target != nullptr && SameFile(written, target->path())) {
    target->Renew();
    own = std::move(target);
  } else {
    // Written beside the name given (a .xls is saved as .xlsx).
    try {
      own = WorkbookLock::Acquire(written, std::chrono::milliseconds(0));
    } catch (const HostError&) {
      own.reset();
    }
  }
  return written;
}

void LockingFiles::ReleaseClosed() {
  for (auto it = locks_.begin(); it != locks_.end();) {
    it = is_open_(it->first) ? std::next(it) : locks_.erase(it);
  }
}

std::string LockingFiles::LockedPath(const Workbook& workbook) const {
  auto it = locks_.find(&workbook);
  return it != locks_.end() && it->second != nullptr && it->second->held() ? it->second->path()
                                                                           : "";
}

}  // namespace tessarin::host
