// Fuzzes the script runner's lines: every input is a script run by a fresh runner in a
// scratch folder. The runner must never crash, and its transcript must be valid UTF-8 JSON lines.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/script_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessarin::fuzz::CheckScript(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
