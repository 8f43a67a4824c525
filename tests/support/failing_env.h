// FailingEnv: an Env whose files write the first N bytes for real and then fail as a full disk
// (or any other errno) would, or fail the flush or the close, so the error paths of every file
// this program writes run as root too, on the real disk or in memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "core/host/env.h"

namespace tessarin::testing {

class FailingEnv : public host::EnvWrapper {
 public:
  // Fails the write that would go past byte `budget` (counted over all files) with
  // `write_error`; fails every flush with `sync_error` and every close with `close_error` when
  // they are not 0.
  FailingEnv(size_t budget, int write_error, int sync_error = 0, int close_error = 0,
             std::shared_ptr<host::Env> base = host::Env::Default())
      : EnvWrapper(std::move(base)),
        budget_(budget),
        write_error_(write_error),
        sync_error_(sync_error),
        close_error_(close_error) {}

  // Runs before each write, with its bytes: a test kills the process or changes the target there.
  std::function<void(std::string_view data)> before_write;

  int NewExclusiveFile(const std::string& path, uint32_t mode,
                       std::unique_ptr<host::WritableFile>* file) override {
    std::unique_ptr<host::WritableFile> real;
    if (int err = target().NewExclusiveFile(path, mode, &real)) return err;
    *file = std::make_unique<File>(*this, std::move(real));
    return 0;
  }

 private:
  class File : public host::WritableFile {
   public:
    File(FailingEnv& env, std::unique_ptr<host::WritableFile> real)
        : env_(env), real_(std::move(real)) {}
    int Append(std::string_view data) override {
      if (env_.before_write) env_.before_write(data);
      const size_t n = std::min(env_.budget_, data.size());
      if (int err = real_->Append(data.substr(0, n))) return err;
      env_.budget_ -= n;
      return n < data.size() ? env_.write_error_ : 0;
    }
    int Sync() override { return env_.sync_error_ ? env_.sync_error_ : real_->Sync(); }
    int Close() override {
      const int err = real_->Close();
      return env_.close_error_ ? env_.close_error_ : err;
    }
    int SetOwner(uint32_t uid, uint32_t gid) override { return real_->SetOwner(uid, gid); }
    int SetMode(uint32_t mode) override { return real_->SetMode(mode); }
    int Stat(host::FileInfo* info) override { return real_->Stat(info); }

   private:
    FailingEnv& env_;
    std::unique_ptr<host::WritableFile> real_;
  };

  size_t budget_;
  int write_error_;
  int sync_error_;
  int close_error_;
};

}  // namespace tessarin::testing
