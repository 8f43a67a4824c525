// LockBook: the workbook lock a subcommand holds while it reads, changes and saves a workbook.
#pragma once

#include <memory>
#include <string>

#include "core/host/workbook_lock.h"

namespace tessarin::cli {

// Takes the lock on `book` (an absolute path) into `lock`, waiting a moment for another program
// that holds it. Returns "" or the message for the user: "BOOK is being changed by another
// program".
std::string LockBook(const std::string& book, std::unique_ptr<host::WorkbookLock>& lock);

}  // namespace tessarin::cli
