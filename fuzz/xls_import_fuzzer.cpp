// Fuzzes the .xls import (the compound-file and record walk, and libfreexl behind it).
#include <cstdint>
#include <string_view>

#include "core/host/host_error.h"
#include "core/ooxml/xls_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessarin;
  ooxml::XlsImportLimits limits;
  limits.max_cell_slots = uint64_t{1} << 20;  // libfreexl allocates every declared cell
  try {
    ooxml::ImportXls(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xls", limits);
  } catch (const host::HostError&) {
  }
  return 0;
}
