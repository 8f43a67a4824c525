// FailingWriter: a file writer that writes the first N bytes for real and then fails as a full
// disk (or any other errno) would, or fails the flush, so error paths of saving run as root too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "core/host/file_writer.h"

namespace tessarin::testing {

// `Base` is the writer seam of the code under test (host::FileWriter by default).
template <typename Base = host::FileWriter>
class FailingWriterOf : public Base {
 public:
  // Fails the write that would go past byte `budget` with `write_error`; fails every flush with
  // `sync_error` when it is not 0.
  FailingWriterOf(size_t budget, int write_error, int sync_error = 0)
      : budget_(budget), write_error_(write_error), sync_error_(sync_error) {}

  int Write(int fd, std::string_view data) override {
    const size_t n = std::min(budget_, data.size());
    if (int err = Base::Write(fd, data.substr(0, n))) return err;
    budget_ -= n;
    return n < data.size() ? write_error_ : 0;
  }
  int Sync(int fd) override { return sync_error_ ? sync_error_ : Base::Sync(fd); }

 private:
  size_t budget_;
  int write_error_;
  int sync_error_;
};

using FailingWriter = FailingWriterOf<>;

}  // namespace tessarin::testing
