// Fuzzes the .xlsx reader; whatever it accepts must also survive a write and a second read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessarin::fuzz::CheckXlsxRead(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
