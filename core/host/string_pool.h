// StringPool: interned UTF-8 strings with stable views, one pool per workbook.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace tessarin::host {

// Frees a pool's index: unmapped when it was mapped, else given back to free().
struct PoolIndexFree {
  size_t mapped = 0;  // bytes mapped for a big index; 0 for one from calloc
  void operator()(uint64_t* p) const;
};

// Strings are stored once in large blocks and never move, so a view returned by Get stays valid
// for the life of the pool. Id 0 is the empty string. Not thread-safe.
class StringPool {
 public:
  StringPool();
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;

  // Returns the id of `text`, adding it when it is new.
  uint32_t Intern(std::string_view text) { return Intern(text, Hash(text)); }
  // The same, for `hash` = Hash(text) computed before (with a Prefetch, say).
  uint32_t Intern(std::string_view text, uint32_t hash);
  static uint32_t Hash(std::string_view text);
  // Brings the index's slot for `hash` towards the cache: a string about to be interned costs
  // a miss in a big pool's index, which the work before it can hide.
  void Prefetch(uint32_t hash) const { __builtin_prefetch(&slots_[hash & (slot_count_ - 1)]); }
  // Makes room for `more` strings beyond size() without growing the index on the way. The
  // room not used costs address space only: the index is zeroed memory fresh from the system.
  void Reserve(size_t more);
  std::string_view Get(uint32_t id) const {
    const Entry& e = chunks_[id >> kChunkBits][id & kChunkMask];
    return {e.data, e.size};
  }
  size_t size() const { return count_; }
  size_t MemoryBytes() const;

 private:
  struct Entry {
    const char* data;
    uint32_t size;
    uint32_t hash;
  };
  // Entries live in chunks of 65,536 that never move: a pool of millions of strings grows by a
  // chunk at a time, never holding a doubled array and its copy. The first chunk grows as a
  // vector, so a small workbook's pool stays small.
  static constexpr uint32_t kChunkBits = 16;
  static constexpr uint32_t kChunkMask = (1u << kChunkBits) - 1;
  const Entry& At(uint32_t id) const { return chunks_[id >> kChunkBits][id & kChunkMask]; }
  void Append(const Entry& e);
  const char* Store(std::string_view text);
  void Grow();
  void Rehash(size_t slot_count);

  std::vector<Entry> first_;                    // ids 0 .. 65,535
  std::vector<std::unique_ptr<Entry[]>> more_;  // each further 65,536 ids
  std::vector<Entry*> chunks_;                  // chunks_[0] is first_.data()
  size_t count_ = 0;
  // Open addressing: (hash << 32) | (id + 1), 0 = free. The hash in the slot spares a look at
  // the entry for every probe that cannot match. Filled up to three quarters: with the hash in
  // the slot a probe is a read of the next word, and the table is half the size.
  static std::unique_ptr<uint64_t[], PoolIndexFree> NewSlots(size_t count);
  std::unique_ptr<uint64_t[], PoolIndexFree> slots_;
  size_t slot_count_ = 0;  // a power of two
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0;
  size_t block_size_ = 0;
  size_t stored_bytes_ = 0;
};

}  // namespace tessarin::host
