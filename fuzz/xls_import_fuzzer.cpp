// Fuzzes the .xls import (the compound-file and record walk, and libfreexl behind it).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessarin::fuzz::CheckXlsImport(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
