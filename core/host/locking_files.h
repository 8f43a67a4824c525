// LockingFiles: a file service that holds the workbook lock (see WorkbookLock) of every
// workbook it opened for as long as that workbook is open, so that another program taking turns
// on the file (the command line's mark, answers and create) waits for this one, and this one
// refuses a file another program is changing.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/host/file_service.h"
#include "core/host/workbook_lock.h"

namespace tessarin::host {

class LockingFiles : public FileService {
 public:
  // Tells whether a workbook this service opened or saved is still open; locks of workbooks
  // that are not are released.
  using IsOpen = std::function<bool(const Workbook* workbook)>;

  // Reads and writes through `files`; a lock held by another program is waited for up to `wait`.
  LockingFiles(std::shared_ptr<FileService> files, IsOpen is_open,
               std::chrono::milliseconds wait = WorkbookLock::kDefaultWait);

  // Takes the lock on `path`, then reads it (see FileService::Open) and keeps the lock for the
  // workbook. Throws HostError 70 "PATH is being changed by another program." when another
  // program holds it, reading nothing; whatever the read throws, holding nothing then.
  std::unique_ptr<Workbook> Open(const std::string& path) override;

  // Saves through the inner service, see SaveWith.
  std::string Save(Workbook& workbook, const std::string& path) override;

  // Runs `save`, which writes `workbook` to `path` and returns the file written, with the lock
  // on `path` held (taken first, throwing as Open does, when it is not the workbook's own file);
  // afterwards the workbook holds the lock of the file written and lets go of its old file's.
  // Whatever `save` throws passes through, the workbook keeping its lock.
  std::string SaveWith(Workbook& workbook, const std::string& path,
                       const std::function<std::string()>& save);

  // Lets go of the locks of workbooks that are no longer open.
  void ReleaseClosed();

  // The file whose lock `workbook` holds, or "" when it holds none.
  std::string LockedPath(const Workbook& workbook) const;

 private:
  std::shared_ptr<FileService> files_;
  IsOpen is_open_;
  std::chrono::milliseconds wait_;
  std::map<const Workbook*, std::unique_ptr<WorkbookLock>> locks_;
};

}  // namespace tessarin::host
