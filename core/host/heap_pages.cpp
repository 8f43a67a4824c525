// Backing the heap with huge pages: glibc's heap grows by brk in one mapping, which a single
// madvise can mark, provided the heap is grown ahead far enough that later growth stays inside
// what was marked (a later brk beyond it makes a mapping of its own, with small pages).
#include "core/host/heap_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace tessarin::host {

namespace {

// Whether the kernel gives transparent huge pages to memory that asks ("always" or "madvise");
// without them the memory kept back would buy nothing.
bool KernelGivesHugePages() {
  std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(in, modes);
  return modes.find("[always]") != std::string::npos ||
         modes.find("[madvise]") != std::string::npos;
}

}  // namespace

size_t BackHeapWithHugePages(size_t reserve) {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (reserve < kHugePage || reserve > (size_t{1} << 30) || !KernelGivesHugePages()) return 0;
  // The heap now grows `reserve` past each request and trims back to no less than that.
  if (mallopt(M_TOP_PAD, static_cast<int>(reserve)) != 1) return 0;
  // Requests below the size malloc maps apart, until the heap has grown once: at most as many as
  // its free memory takes, and one more (only their headers are written).
  constexpr size_t kStep = 60 << 10;
  const size_t steps = std::min<size_t>(mallinfo2().fordblks / kStep + 2, 1024);
  char* const before = static_cast<char*>(sbrk(0));
  std::vector<void*> held;
  held.reserve(steps);
  while (held.size() < steps && static_cast<char*>(sbrk(0)) == before) {
    void* p = std::malloc(kStep);
    if (!p) break;
    held.push_back(p);
  }
  for (void* p : held) std::free(p);
  // Read after the blocks are given back: freeing them may trim the heap down to `reserve`.
  const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
  const uintptr_t low = (reinterpret_cast<uintptr_t>(before) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t high = end & ~(kHugePage - 1);
  if (before == reinterpret_cast<char*>(-1) || high <= low) return 0;
  if (madvise(reinterpret_cast<void*>(low), high - low, MADV_HUGEPAGE) != 0) return 0;
  return high - low;
#else
  (void)reserve;
  return 0;
#endif
}

}  // namespace tessarin::host
