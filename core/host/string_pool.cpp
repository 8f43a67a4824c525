// StringPool: arena storage with an open-addressing index.
#include "core/host/string_pool.h"

#include <cstring>

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

StringPool::StringPool() {
  slots_.assign(1024, 0);
  const uint32_t h = HashBytes({});
  Append({"", 0, h});
  slots_[h & (slots_.size() - 1)] = Slot(h, 0);
}

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

void StringPool::Grow() {
  std::vector<uint64_t> slots(slots_.size() * 2, 0);
  const size_t mask = slots.size() - 1;
  for (uint32_t id = 0; id < count_; ++id) {
    const uint32_t h = At(id).hash;
    size_t i = h & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = Slot(h, id);
  }
  slots_.swap(slots);
}

uint32_t StringPool::Intern(std::string_view text) {
  const uint32_t h = HashBytes(text);
  const size_t mask = slots_.size() - 1;
  size_t i = h & mask;
  while (uint64_t slot = slots_[i]) {
    if (static_cast<uint32_t>(slot >> 32) == h) {
      const uint32_t id = static_cast<uint32_t>(slot) - 1;
      const Entry& e = At(id);
      if (e.size == text.size() && std::memcmp(e.data, text.data(), e.size) == 0) return id;
    }
    i = (i + 1) & mask;
  }
  const uint32_t id = static_cast<uint32_t>(count_);
  Append({Store(text), static_cast<uint32_t>(text.size()), h});
  slots_[i] = Slot(h, id);
  if (count_ * 4 > slots_.size() * 3) Grow();
  return id;
}

size_t StringPool::MemoryBytes() const {
  return (first_.capacity() + more_.size() * (size_t{1} << kChunkBits)) * sizeof(Entry) +
         chunks_.capacity() * sizeof(Entry*) + slots_.capacity() * sizeof(uint64_t) +
         (blocks_.size() * kBlockBytes > stored_bytes_ ? blocks_.size() * kBlockBytes
                                                       : stored_bytes_);
}

}  // namespace tessarin::host
