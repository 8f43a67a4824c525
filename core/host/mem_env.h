// MemEnv: an Env that keeps files in memory, for tests that must not touch the disk and for
// scenes the disk cannot set up cheaply (another user's file, a folder that fails to sync).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/host/env.h"

namespace tessarin::host {

// Paths are absolute, "/"-separated and normal (no "." or ".." parts, no doubled "/"); "/"
// exists from the start. Modification times are a counter that moves on every change. Safe to
// use from several threads.
class MemEnv : public Env {
 public:
  MemEnv();

  // Makes the folder `path` (its parent must exist) with `mode`, owned by `uid`.
  void AddFolder(const std::string& path, uint32_t mode = 0755, uint32_t uid = 0);
  // Puts a regular file at `path` holding `bytes`, replacing what is there.
  void AddFile(const std::string& path, std::string bytes, uint32_t mode = 0644, uint32_t uid = 0,
               uint32_t gid = 0);
  // Puts a symbolic link at `path` leading to `target`, owned by `uid`.
  void AddLink(const std::string& path, const std::string& target, uint32_t uid = 0);
  // Puts a FIFO (a non-regular file) at `path`.
  void AddFifo(const std::string& path);
  // The content of the regular file at `path` ("" when there is none), and whether one is there.
  std::string Content(const std::string& path) const;
  bool Exists(const std::string& path) const;
  // The user this process runs as (default 0, root).
  void set_user(uint32_t uid) { user_ = uid; }

  int Stat(const std::string& path, FileInfo* info) override;
  int LinkStat(const std::string& path, FileInfo* info) override;
  int ReadLink(const std::string& path, std::string* target) override;
  int ReadFile(const std::string& path, uint64_t max_bytes, std::string* bytes,
               FileInfo* info) override;
  int NewExclusiveFile(const std::string& path, uint32_t mode,
                       std::unique_ptr<WritableFile>* file) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Link(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
  int SyncFolder(const std::string& folder) override;
  int ListFolder(const std::string& folder, std::vector<std::string>* names) override;
  int TryLock(const std::string& path, std::unique_ptr<FileLock>* lock, FileInfo* locked) override;
  uint32_t UserId() override { return user_; }
  long ProcessId() override { return 1; }
  bool ProcessGone(long pid) override { return pid != 1; }

 private:
  struct Node {
    FileInfo info;
    std::string bytes;  // the content of a file, the target of a link
    bool locked = false;
  };
  class File;
  class Lock;
  std::shared_ptr<Node> Find(const std::string& path, bool follow) const;
  int ParentFolder(const std::string& path) const;
  void Touch(Node& node);

  mutable std::recursive_mutex mutex_;
  std::map<std::string, std::shared_ptr<Node>> nodes_;
  uint64_t next_inode_ = 1;
  int64_t clock_ = 1;
  uint32_t user_ = 0;
};

}  // namespace tessarin::host
