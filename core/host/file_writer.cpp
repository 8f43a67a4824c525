// FileWriter: write(2) until all is written, and fsync(2).
#include "core/host/file_writer.h"

#include <unistd.h>

#include <cerrno>

namespace tessarin::host {

int FileWriter::Write(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;  // a write that makes no progress would loop for ever
    data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

int FileWriter::Sync(int fd) { return fsync(fd) == 0 ? 0 : errno; }

}  // namespace tessarin::host
