// HeldText: a heap buffer while small, then room reserved with mmap, with large pages asked for
// past the first 2 MiB, where a big text would otherwise take a page fault every 4 KiB.
#include "core/ooxml/held_text.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tessarin::ooxml {
namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// Past this a text is moved, once, into reserved room: below it a copy costs little, and many
// small parts (a workbook of thousands of sheets) take no system calls and no page of their own.
constexpr size_t kOnHeap = size_t{256} << 10;

size_t PageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

}  // namespace

HeldText::HeldText(size_t capacity) : capacity_(capacity) {}

HeldText::HeldText(HeldText&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      taken_(std::exchange(other.taken_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

HeldText& HeldText::operator=(HeldText&& other) noexcept {
  if (this != &other) {
    Release();
    base_ = std::exchange(other.base_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    taken_ = std::exchange(other.taken_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

HeldText::~HeldText() { Release(); }

bool HeldText::Reserve(size_t n) {
  if (n > room()) return false;
  return size_ + n <= taken_ || Grow(size_ + n);
}

bool HeldText::Grow(size_t needed) {
  if (needed <= kOnHeap) {
    const size_t bigger = std::min(kOnHeap, std::max({needed, 2 * taken_, size_t{1024}}));
    char* p = static_cast<char*>(std::realloc(base_, bigger));
    if (!p) return Release(), false;
    base_ = p;
    taken_ = bigger;
    return true;
  }
  void* p = mmap(nullptr, capacity_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return Release(), false;
  // Small pages for the first 2 MiB, which the text has only just passed. Only a hint, so its
  // failure changes nothing.
  const auto at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t first = (at + 2 * kLargePage - 1) & ~uintptr_t{kLargePage - 1};
  const uintptr_t last = (at + capacity_) & ~uintptr_t{kLargePage - 1};
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  if (size_ > 0) std::memcpy(p, base_, size_);
  std::free(base_);
  base_ = static_cast<char*>(p);
  taken_ = capacity_;
  mapped_ = true;
  return true;
}

bool HeldText::Append(std::string_view text) {
  if (!Reserve(text.size())) return false;
  if (!text.empty()) std::memcpy(base_ + size_, text.data(), text.size());
  size_ += text.size();
  return true;
}

void HeldText::Fit() {
  if (!mapped_) {
    // Shrunk in place on the heap: what a small part takes is its text.
    if (char* p = static_cast<char*>(std::realloc(base_, std::max<size_t>(size_, 1)))) {
      base_ = p;
      taken_ = std::max<size_t>(size_, 1);
    }
    capacity_ = taken_;
    return;
  }
  const size_t page = PageSize();
  const size_t keep = std::max<size_t>(1, (size_ + page - 1) / page) * page;
  if (keep >= taken_) return;
  munmap(base_ + keep, taken_ - keep);
  capacity_ = taken_ = keep;
}

void HeldText::Release() {
  if (mapped_)
    munmap(base_, taken_);
  else
    std::free(base_);
  base_ = nullptr;
  size_ = capacity_ = taken_ = 0;
  mapped_ = false;
}

}  // namespace tessarin::ooxml
