// Huge pages for the heap: the mark lands on the heap's own mapping, and memory works after it.
#include "core/host/heap_pages.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tessarin::host {
namespace {

// The kernel's setting for transparent huge pages: "always", "madvise" or "never" ("" without).
std::string HugePageMode() {
  std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string line;
  std::getline(in, line);
  const size_t open = line.find('['), close = line.find(']');
  return open == std::string::npos || close == std::string::npos
             ? std::string()
             : line.substr(open + 1, close - open - 1);
}

// True when the mapping named [heap] has the huge-page advice flag ("hg").
bool HeapIsAdvised() {
  std::ifstream in("/proc/self/smaps");
  std::string line;
  bool in_heap = false;
  while (std::getline(in, line)) {
    if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
        line.find('-') != std::string::npos && line.find(' ') != std::string::npos) {
      in_heap = line.size() >= 6 && line.compare(line.size() - 6, 6, "[heap]") == 0;
    } else if (in_heap && line.rfind("VmFlags:", 0) == 0) {
      std::istringstream flags(line.substr(8));
      for (std::string f; flags >> f;) {
        if (f == "hg") return true;
      }
    }
  }
  return false;
}

// Runs `body` in a child process, since the heap's settings last for the rest of a process;
// the child's exit code is what body returned.
int InChild(int (*body)()) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(HeapPages, TheHeapIsAdvisedAndStillServesMemory) {
  if (HugePageMode().empty() || HugePageMode() == "never")
    GTEST_SKIP() << "the kernel offers no transparent huge pages";
  const int code = InChild([] {
    const size_t marked = BackHeapWithHugePages(size_t{16} << 20);
    if (marked < (size_t{8} << 20)) return 1;  // at most the pages cut at either end are lost
    if (!HeapIsAdvised()) return 2;
    // Many small blocks, written and read back, then freed and taken again.
    std::vector<char*> blocks;
    for (int i = 0; i < 20000; ++i) {
      blocks.push_back(static_cast<char*>(std::malloc(200)));
      if (!blocks.back()) return 3;
      std::memset(blocks.back(), i & 0xFF, 200);
    }
    for (int i = 0; i < 20000; ++i) {
      if (blocks[i][199] != static_cast<char>(i & 0xFF)) return 4;
      std::free(blocks[i]);
    }
    return HeapIsAdvised() ? 0 : 5;
  });
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace tessarin::host
