// HeldText: room reserved with mmap, and large pages asked for past the first 2 MiB, where a
// big text would otherwise take a page fault every 4 KiB.
#include "core/ooxml/held_text.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace tessarin::ooxml {
namespace {

constexpr size_t kLargePage = size_t{2} << 20;

}  // namespace

HeldText::HeldText(size_t capacity) {
  if (capacity == 0) return;
  void* p = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return;
  base_ = static_cast<char*>(p);
  capacity_ = capacity;
  // A small text stays in small pages: a large one would take 2 MiB for a few KiB. Only a hint,
  // so its failure changes nothing.
  const auto start = reinterpret_cast<uintptr_t>(base_) + kLargePage;
  const uintptr_t first = (start + kLargePage - 1) & ~uintptr_t{kLargePage - 1};
  const uintptr_t last =
      (reinterpret_cast<uintptr_t>(base_) + capacity) & ~uintptr_t{kLargePage - 1};
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

HeldText::HeldText(HeldText&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

HeldText& HeldText::operator=(HeldText&& other) noexcept {
  if (this != &other) {
    Release();
    base_ = std::exchange(other.base_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

HeldText::~HeldText() { Release(); }

bool HeldText::Append(std::string_view text) {
  if (text.size() > room()) return false;
  if (!text.empty()) std::memcpy(base_ + size_, text.data(), text.size());
  size_ += text.size();
  return true;
}

void HeldText::GiveBack(size_t prefix) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t whole = std::min(prefix, size_) / page * page;
  if (base_ && whole > 0) madvise(base_, whole, MADV_DONTNEED);
}

void HeldText::Release() {
  if (base_) munmap(base_, capacity_);
  base_ = nullptr;
  size_ = capacity_ = 0;
}

}  // namespace tessarin::ooxml
