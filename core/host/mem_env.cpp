// MemEnv: files, folders and links in a map from path to node.
#include "core/host/mem_env.h"

#include <errno.h>

namespace tessarin::host {
namespace {

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

}  // namespace

class MemEnv::File : public WritableFile {
 public:
  File(MemEnv& env, std::shared_ptr<Node> node) : env_(env), node_(std::move(node)) {}
  int Append(std::string_view data) override {
    std::lock_guard lock(env_.mutex_);
    if (!node_) return EBADF;
    node_->bytes.append(data);
    env_.Touch(*node_);
    return 0;
  }
  int Sync() override { return node_ ? 0 : EBADF; }
  int Close() override {
    if (!node_) return EBADF;
    node_.reset();
    return 0;
  }
  int SetOwner(uint32_t uid, uint32_t gid) override {
    std::lock_guard lock(env_.mutex_);
    if (env_.user_ != 0 && uid != env_.user_) return EPERM;
    node_->info.uid = uid;
    node_->info.gid = gid;
    return 0;
  }
  int SetMode(uint32_t mode) override {
    std::lock_guard lock(env_.mutex_);
    node_->info.mode = mode & 07777;
    return 0;
  }
  int Stat(FileInfo* info) override {
    std::lock_guard lock(env_.mutex_);
    *info = node_->info;
    info->size = static_cast<int64_t>(node_->bytes.size());
    return 0;
  }

 private:
  MemEnv& env_;
  std::shared_ptr<Node> node_;
};

class MemEnv::Lock : public FileLock {
 public:
  Lock(MemEnv& env, std::shared_ptr<Node> node) : env_(env), node_(std::move(node)) {}
  ~Lock() override {
    std::lock_guard lock(env_.mutex_);
    node_->locked = false;
  }

 private:
  MemEnv& env_;
  std::shared_ptr<Node> node_;
};

MemEnv::MemEnv() {
  auto root = std::make_shared<Node>();
  root->info.kind = FileKind::kFolder;
  root->info.mode = 0755;
  root->info.inode = next_inode_++;
  nodes_["/"] = root;
}

void MemEnv::Touch(Node& node) { node.info.mtime_ns = ++clock_; }

std::shared_ptr<MemEnv::Node> MemEnv::Find(const std::string& path, bool follow) const {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    const auto it = nodes_.find(current);
    if (it == nodes_.end()) return nullptr;
    if (!follow || it->second->info.kind != FileKind::kLink) return it->second;
    const std::string& to = it->second->bytes;
    current =
        to.starts_with('/') ? to : (ParentOf(current) == "/" ? "" : ParentOf(current)) + "/" + to;
  }
  return nullptr;
}

int MemEnv::ParentFolder(const std::string& path) const {
  if (!path.starts_with('/')) return ENOENT;
  const auto parent = Find(ParentOf(path), true);
  if (!parent) return ENOENT;
  return parent->info.kind == FileKind::kFolder ? 0 : ENOTDIR;
}

void MemEnv::AddFolder(const std::string& path, uint32_t mode, uint32_t uid) {
  std::lock_guard lock(mutex_);
  auto node = std::make_shared<Node>();
  node->info = {FileKind::kFolder, mode, uid, uid, 0, ++clock_, 1, next_inode_++};
  nodes_[path] = node;
}

void MemEnv::AddFile(const std::string& path, std::string bytes, uint32_t mode, uint32_t uid,
                     uint32_t gid) {
  std::lock_guard lock(mutex_);
  auto node = std::make_shared<Node>();
  node->info = {FileKind::kRegular, mode, uid, gid, 0, ++clock_, 1, next_inode_++};
  node->bytes = std::move(bytes);
  nodes_[path] = node;
}

void MemEnv::AddLink(const std::string& path, const std::string& target, uint32_t uid) {
  std::lock_guard lock(mutex_);
  auto node = std::make_shared<Node>();
  node->info = {FileKind::kLink, 0777, uid, uid, 0, ++clock_, 1, next_inode_++};
  node->bytes = target;
  nodes_[path] = node;
}

void MemEnv::AddFifo(const std::string& path) {
  std::lock_guard lock(mutex_);
  auto node = std::make_shared<Node>();
  node->info = {FileKind::kOther, 0644, 0, 0, 0, ++clock_, 1, next_inode_++};
  nodes_[path] = node;
}

std::string MemEnv::Content(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto node = Find(path, true);
  return node && node->info.kind == FileKind::kRegular ? node->bytes : std::string();
}

bool MemEnv::Exists(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return nodes_.count(path) != 0;
}

int MemEnv::Stat(const std::string& path, FileInfo* info) {
  std::lock_guard lock(mutex_);
  const auto node = Find(path, true);
  if (!node) return ENOENT;
  *info = node->info;
  if (info->kind == FileKind::kRegular) info->size = static_cast<int64_t>(node->bytes.size());
  return 0;
}

int MemEnv::LinkStat(const std::string& path, FileInfo* info) {
  std::lock_guard lock(mutex_);
  const auto node = Find(path, false);
  if (!node) return ENOENT;
  *info = node->info;
  info->size = static_cast<int64_t>(node->bytes.size());
  return 0;
}

int MemEnv::ReadLink(const std::string& path, std::string* target) {
  std::lock_guard lock(mutex_);
  const auto node = Find(path, false);
  if (!node) return ENOENT;
  if (node->info.kind != FileKind::kLink) return EINVAL;
  *target = node->bytes;
  return 0;
}

int MemEnv::ReadFile(const std::string& path, uint64_t max_bytes, std::string* bytes,
                     FileInfo* info) {
  std::lock_guard lock(mutex_);
  if (int err = Stat(path, info)) return err;
  if (info->kind != FileKind::kRegular) return info->kind == FileKind::kFolder ? EISDIR : EINVAL;
  if (static_cast<uint64_t>(info->size) > max_bytes) return EFBIG;
  *bytes = Find(path, true)->bytes;
  return 0;
}

int MemEnv::NewExclusiveFile(const std::string& path, uint32_t mode,
                             std::unique_ptr<WritableFile>* file) {
  std::lock_guard lock(mutex_);
  if (int err = ParentFolder(path)) return err;
  if (nodes_.count(path)) return EEXIST;
  auto node = std::make_shared<Node>();
  node->info = {FileKind::kRegular, mode & 0777, user_, user_, 0, ++clock_, 1, next_inode_++};
  nodes_[path] = node;
  *file = std::make_unique<File>(*this, node);
  return 0;
}

int MemEnv::Rename(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(from);
  if (it == nodes_.end()) return ENOENT;
  if (int err = ParentFolder(to)) return err;
  if (const auto old = nodes_.find(to); old != nodes_.end()) {
    if (old->second->info.kind == FileKind::kFolder) return EISDIR;
  }
  auto node = it->second;
  nodes_.erase(it);
  nodes_[to] = node;
  return 0;
}

int MemEnv::Link(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  const auto node = Find(from, false);
  if (!node) return ENOENT;
  if (int err = ParentFolder(to)) return err;
  if (nodes_.count(to)) return EEXIST;
  nodes_[to] = node;
  return 0;
}

int MemEnv::Remove(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(path);
  if (it == nodes_.end()) return ENOENT;
  if (it->second->info.kind == FileKind::kFolder) return EISDIR;
  nodes_.erase(it);
  return 0;
}

int MemEnv::SyncFolder(const std::string& folder) {
  std::lock_guard lock(mutex_);
  const auto node = Find(folder, true);
  return !node ? ENOENT : node->info.kind == FileKind::kFolder ? 0 : ENOTDIR;
}

int MemEnv::ListFolder(const std::string& folder, std::vector<std::string>* names) {
  std::lock_guard lock(mutex_);
  const auto node = Find(folder, true);
  if (!node) return ENOENT;
  if (node->info.kind != FileKind::kFolder) return ENOTDIR;
  const std::string prefix = folder == "/" ? "/" : folder + "/";
  names->clear();
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
    if (!it->first.starts_with(prefix)) break;
    const std::string rest = it->first.substr(prefix.size());
    if (!rest.empty() && rest.find('/') == std::string::npos) names->push_back(rest);
  }
  return 0;
}

int MemEnv::TryLock(const std::string& path, std::unique_ptr<FileLock>* lock_out,
                    FileInfo* locked) {
  std::lock_guard lock(mutex_);
  const auto node = Find(path, true);
  if (!node) return ENOENT;
  if (node->locked) return EWOULDBLOCK;
  node->locked = true;
  *locked = node->info;
  *lock_out = std::make_unique<Lock>(*this, node);
  return 0;
}

}  // namespace tessarin::host
