// StringPool: arena storage with an open-addressing index.
#include "core/host/string_pool.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace tessarin::host {
namespace {

constexpr size_t kBlockBytes = 256 * 1024;

uint32_t HashBytes(std::string_view s) {
  // Eight bytes a step with a multiply-xorshift mix: cell strings are short, and a byte-wise
  // hash was the largest cost of typing a sheet.
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
  uint64_t h = s.size() * kMul;
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * kMul;
    h ^= h >> 29;
  }
  if (n > 0) {
    // The tail without a call to memcpy: two overlapping words, or first, middle and last byte.
    uint64_t w;
    if (n >= 4) {
      uint32_t a, b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + n - 4, 4);
      w = (uint64_t{a} << 32) | b;
    } else {
      const auto* u = reinterpret_cast<const unsigned char*>(p);
      w = (uint64_t{u[0]} << 16) | (uint64_t{u[n >> 1]} << 8) | u[n - 1];
    }
    h = (h ^ w) * kMul;
    h ^= h >> 29;
  }
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

uint64_t Slot(uint32_t hash, uint32_t id) { return (uint64_t{hash} << 32) | (id + 1); }

}  // namespace

void PoolIndexFree::operator()(uint64_t* p) const {
  if (mapped)
    munmap(p, mapped);
  else
    std::free(p);
}

// Zeroed slots fresh from the system, touched only where strings land. A big index is mapped
// in huge pages where the system allows: every string looks at a random slot, and with small
// pages each look would also miss the address translation cache.
std::unique_ptr<uint64_t[], PoolIndexFree> StringPool::NewSlots(size_t count) {
  constexpr size_t kHugePage = size_t{2} << 20;
  const size_t bytes = count * sizeof(uint64_t);
  if (bytes >= kHugePage) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE);  // a hint: small pages work as well, only slower
    return std::unique_ptr<uint64_t[], PoolIndexFree>(static_cast<uint64_t*>(p),
                                                      PoolIndexFree{bytes});
  }
  auto* p = static_cast<uint64_t*>(std::calloc(count, sizeof(uint64_t)));
  if (!p) throw std::bad_alloc();
  return std::unique_ptr<uint64_t[], PoolIndexFree>(p);
}

StringPool::StringPool() {
  slots_ = NewSlots(1024);
  slot_count_ = 1024;
  const uint32_t h = HashBytes({});
  Append({"", 0, h});
  slots_[h & (slot_count_ - 1)] = Slot(h, 0);
}

uint32_t StringPool::Hash(std::string_view text) { return HashBytes(text); }

void StringPool::Append(const Entry& e) {
  if (count_ <= kChunkMask) {
    first_.push_back(e);
    if (chunks_.empty()) chunks_.push_back(nullptr);
    chunks_[0] = first_.data();  // the vector may have moved
  } else {
    const size_t at = count_ & kChunkMask;
    if (at == 0) {
      more_.push_back(std::make_unique<Entry[]>(size_t{1} << kChunkBits));
      chunks_.push_back(more_.back().get());
    }
    chunks_.back()[at] = e;
  }
  ++count_;
}

const char* StringPool::Store(std::string_view text) {
  if (text.size() > kBlockBytes / 4) {
    auto big = std::make_unique<char[]>(text.size());
    std::memcpy(big.get(), text.data(), text.size());
    const char* p = big.get();
    // Keep the open block last so small strings keep filling it.
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(big));
    stored_bytes_ += text.size();
    return p;
  }
  if (blocks_.empty() || block_used_ + text.size() > block_size_) {
    blocks_.push_back(std::make_unique<char[]>(kBlockBytes));
    block_used_ = 0;
    block_size_ = kBlockBytes;
  }
  char* p = blocks_.back().get() + block_used_;
  std::memcpy(p, text.data(), text.size());
  block_used_ += text.size();
  stored_bytes_ += text.size();
  return p;
}

void StringPool::Grow() { Rehash(slot_count_ * 2); }

void StringPool::Rehash(size_t slot_count) {
  auto slots = NewSlots(slot_count);
  const size_t mask = slot_count - 1;
  for (uint32_t id = 0; id < count_; ++id) {
    const uint32_t h = At(id).hash;
    size_t i = h & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = Slot(h, id);
  }
  slots_ = std::move(slots);
  slot_count_ = slot_count;
}

void StringPool::Reserve(size_t more) {
  size_t want = slot_count_;
  while ((count_ + more) * 4 > want * 3) want *= 2;
  if (want != slot_count_) Rehash(want);
}

uint32_t StringPool::Intern(std::string_view text, uint32_t h) {
  const size_t mask = slot_count_ - 1;
  size_t i = h & mask;
  while (uint64_t slot = slots_[i]) {
    if (static_cast<uint32_t>(slot >> 32) == h) {
      const uint32_t id = static_cast<uint32_t>(slot) - 1;
      const Entry& e = At(id);
      // As views: an empty item may come with no data at all, which memcmp must not be given.
      if (std::string_view(e.data, e.size) == text) return id;
    }
    i = (i + 1) & mask;
  }
  const uint32_t id = static_cast<uint32_t>(count_);
  Append({Store(text), static_cast<uint32_t>(text.size()), h});
  slots_[i] = Slot(h, id);
  if (count_ * 4 > slot_count_ * 3) Grow();
  return id;
}

size_t StringPool::MemoryBytes() const {
  return (first_.capacity() + more_.size() * (size_t{1} << kChunkBits)) * sizeof(Entry) +
         chunks_.capacity() * sizeof(Entry*) + slot_count_ * sizeof(uint64_t) +
         (blocks_.size() * kBlockBytes > stored_bytes_ ? blocks_.size() * kBlockBytes
                                                       : stored_bytes_);
}

}  // namespace tessarin::host
