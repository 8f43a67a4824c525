// SaveGuard: a check the file service runs before a save replaces a file that is not simply the
// workbook's own, unchanged copy. The add-in's record guard implements it; the host model knows
// nothing of what it protects.
#pragma once

#include <string>

#include "core/host/workbook.h"

namespace tessarin::host {

class SaveGuard {
 public:
  virtual ~SaveGuard() = default;

  // Called by FileService::Save before anything is written when `target` (a full path) exists
  // and is either not the file `content` was opened from or last saved to, or that file changed
  // on disk since. `on_disk` is the target as it is now. Throws HostError to refuse the save;
  // the file service then writes nothing (no temporary file, no backup).
  virtual void CheckReplace(const Workbook& content, const Workbook& on_disk,
                            const std::string& target) const = 0;
};

}  // namespace tessarin::host
