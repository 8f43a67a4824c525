// FileService: how the host reaches workbook files. The file layer implements it and the front
// ends install it, so the host model never depends on a file format.
#pragma once

#include <memory>
#include <string>

#include "core/host/workbook.h"

namespace tessarin::host {

class FileService {
 public:
  virtual ~FileService() = default;

  // Reads the workbook at `path` (full path). The result has its name, folder, format and disk
  // stamp set. Throws HostError (53 file not found, 75 access, 1004 unreadable content ...).
  virtual std::unique_ptr<Workbook> Open(const std::string& path) = 0;

  // Writes `workbook` to `path` safely and returns the path actually written, which differs from
  // `path` when the format cannot be written (a .xls is saved as .xlsx beside it). Updates the
  // workbook's name, folder, format, disk stamp and saved flag. Throws HostError on failure,
  // leaving any existing file untouched.
  virtual std::string Save(Workbook& workbook, const std::string& path) = 0;
};

}  // namespace tessarin::host
