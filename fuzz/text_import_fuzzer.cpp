// Fuzzes the .txt/.csv import; every imported workbook must survive .xlsx with the same values.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessarin::fuzz::CheckTextImport(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
