// Fuzzes the number-format engine: any format code with a spread of values and a text must
// format without throwing, give valid UTF-8, and agree with itself when asked twice.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessarin::fuzz::CheckNumberFormat(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
