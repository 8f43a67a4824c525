// FileWriter: the seam through which saved bytes reach the disk. The default writes with
// write(2) and flushes with fsync(2); tests install one that fails part way, to prove that a
// failed save reaches the caller and keeps the old file, also when they run as root.
#pragma once

#include <string_view>

namespace tessarin::host {

class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // Writes all of `data` to the open file `fd`. Returns 0, or the errno value of the failure.
  virtual int Write(int fd, std::string_view data);
  // Makes what was written durable. Returns 0, or an errno value.
  virtual int Sync(int fd);
};

}  // namespace tessarin::host
