// Fuzzes the .txt/.csv import; every imported workbook must save as .xlsx and read back with the
// same values.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/host/host_error.h"
#include "core/ooxml/text_import.h"
#include "core/ooxml/xlsx.h"
#include "core/host/worksheet.h"

namespace {

bool SameValues(const tessarin::host::Workbook& a, const tessarin::host::Workbook& b) {
  using namespace tessarin::host;
  if (a.SheetCount() != b.SheetCount()) return false;
  for (int i = 1; i <= a.SheetCount(); ++i) {
    const Worksheet& sa = a.Sheet(i);
    const Worksheet& sb = b.Sheet(i);
    if (sa.name() != sb.name() || sa.cells().CellCount() != sb.cells().CellCount()) return false;
    bool same = true;
    sa.cells().ForEachCell(Area{1, 1, kMaxRows, kMaxColumns}, [&](int32_t row, const Cell& cell) {
      if (!(sa.Value(row, cell.col) == sb.Value(row, cell.col))) same = false;
    });
    if (!same) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessarin;
  if (size == 0) return 0;
  // The first byte picks the separator, so one corpus serves both .csv and .txt.
  const char separator = (data[0] & 1) ? ',' : '\t';
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::unique_ptr<host::Workbook> workbook;
  try {
    workbook = ooxml::ImportText(bytes, "fuzz.csv", separator);
  } catch (const host::HostError&) {
    return 0;
  }
  const std::string written = ooxml::WriteXlsx(*workbook);
  std::unique_ptr<host::Workbook> again;
  try {
    again = ooxml::ReadXlsx(written, "fuzz.xlsx");
  } catch (const host::HostError&) {
    std::abort();  // an imported workbook saved as a package we cannot read
  }
  if (!SameValues(*workbook, *again)) std::abort();  // values changed on the way through .xlsx
  return 0;
}
