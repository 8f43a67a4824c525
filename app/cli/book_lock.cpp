// LockBook: the host's workbook lock, with the command line's message.
#include "app/cli/book_lock.h"

#include "app/cli/messages.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"

namespace tessarin::cli {

std::string LockBook(const std::string& book, std::unique_ptr<host::WorkbookLock>& lock) {
  try {
    lock = host::WorkbookLock::Acquire(book);
  } catch (const host::HostError&) {
    return Tr("%1 is being changed by another program", {host::EscapeInvalidUtf8(book)});
  }
  return "";
}

}  // namespace tessarin::cli
