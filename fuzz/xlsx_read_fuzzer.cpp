// Fuzzes the .xlsx reader; whatever it accepts must also survive a write and a second read.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/host/host_error.h"
#include "core/ooxml/xlsx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessarin;
  // Smaller bounds than the defaults keep each run within the fuzzer's memory limit.
  ooxml::ReadLimits limits;
  limits.max_total_expanded = uint64_t{64} << 20;
  limits.max_part_size = uint64_t{32} << 20;
  std::unique_ptr<host::Workbook> workbook;
  try {
    workbook = ooxml::ReadXlsx(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xlsx", limits);
  } catch (const host::HostError&) {
    return 0;  // a clear refusal is the expected outcome for most inputs
  }
  const std::string written = ooxml::WriteXlsx(*workbook);
  try {
    ooxml::ReadXlsx(written, "rewritten.xlsx");
  } catch (const host::HostError&) {
    std::abort();  // we wrote a package that we cannot read back
  }
  return 0;
}
