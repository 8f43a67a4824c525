// StringPool: interned UTF-8 strings with stable views, one pool per workbook.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tessarin::host {

// Strings are stored once in large blocks and never move, so a view returned by Get stays valid
// for the life of the pool. Id 0 is the empty string. Not thread-safe.
class StringPool {
 public:
  StringPool();
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;

  // Returns the id of `text`, adding it when it is new.
  uint32_t Intern(std::string_view text);
  std::string_view Get(uint32_t id) const { return {entries_[id].data, entries_[id].size}; }
  size_t size() const { return entries_.size(); }
  size_t MemoryBytes() const;

 private:
  struct Entry {
    const char* data;
    uint32_t size;
    uint32_t hash;
  };
  const char* Store(std::string_view text);
  void Grow();

  std::vector<Entry> entries_;
  // Open addressing: (hash << 32) | (id + 1), 0 = free. The hash in the slot spares a look at
  // the entry for every probe that cannot match.
  std::vector<uint64_t> slots_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0;
  size_t block_size_ = 0;
  size_t stored_bytes_ = 0;
};

}  // namespace tessarin::host
