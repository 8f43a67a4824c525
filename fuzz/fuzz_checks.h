// What each fuzz target checks for one input; shared with the regression test, which replays
// fuzz/regressions/<target>/* in the ordinary build. A failed check aborts.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <string_view>

#include "core/host/host_error.h"
#include "core/host/number_format.h"
#include "core/host/text_encoding.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"
#include "core/ooxml/package.h"
#include "core/ooxml/text_import.h"
#include "core/ooxml/xls_import.h"
#include "core/ooxml/xlsx.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::fuzz {

inline bool SameValues(const host::Workbook& a, const host::Workbook& b) {
  if (a.SheetCount() != b.SheetCount()) return false;
  for (int i = 1; i <= a.SheetCount(); ++i) {
    const host::Worksheet& sa = a.Sheet(i);
    const host::Worksheet& sb = b.Sheet(i);
    if (sa.name() != sb.name()) return false;
    bool same = true;
    size_t values = 0;
    sa.cells().ForEachCell(host::Area{1, 1, host::kMaxRows, host::kMaxColumns},
                           [&](int32_t row, const host::Cell& cell) {
                             const host::CellValue v = sa.Value(row, cell.col);
                             if (v.IsEmpty()) return;
                             ++values;
                             if (!(v == sb.Value(row, cell.col))) same = false;
                           });
    size_t values_b = 0;
    sb.cells().ForEachCell(host::Area{1, 1, host::kMaxRows, host::kMaxColumns},
                           [&](int32_t row, const host::Cell& cell) {
                             values_b += !sb.Value(row, cell.col).IsEmpty();
                           });
    if (!same || values != values_b) return false;
  }
  return true;
}

// The parts we write ourselves (not those carried byte for byte) are well-formed UTF-8 XML
// without a document type, whatever the model held.
inline void CheckWrittenParts(const std::string& package) {
  ooxml::PackageReader reader(package, "written.xlsx", ooxml::ReadLimits{});
  for (const std::string& name : reader.names()) {
    const bool ours = name == "[Content_Types].xml" || name == "xl/workbook.xml" ||
                      name == "xl/styles.xml" || name == "xl/sharedStrings.xml" ||
                      name.rfind("xl/worksheets/sheet", 0) == 0 ||
                      name.rfind("xl/comments", 0) == 0;
    if (!ours || name.find("_rels") != std::string::npos) continue;
    const std::string& xml = reader.Get(name);
    if (!host::IsValidUtf8(xml) || ooxml::HasDoctype(xml)) std::abort();
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size())) std::abort();  // malformed XML written
  }
}

// The .xlsx reader refuses or reads; what it reads must write (within the same limits, or be
// refused before writing) and read back with the same values, also without its macros.
inline void CheckXlsxRead(std::string_view bytes) {
  ooxml::ReadLimits limits;  // smaller than the defaults to stay within the fuzzer's memory limit
  limits.max_total_expanded = uint64_t{64} << 20;
  limits.max_part_size = uint64_t{32} << 20;
  std::unique_ptr<host::Workbook> workbook;
  try {
    workbook = ooxml::ReadXlsx(bytes, "fuzz.xlsx", limits);
  } catch (const host::HostError&) {
    return;  // a clear refusal
  }
  for (const bool without_macros : {false, true}) {
    std::string written;
    try {
      written = ooxml::WriteXlsx(*workbook, {limits, without_macros});
    } catch (const host::HostError&) {
      continue;  // refused before writing: over the limits the reader keeps
    }
    std::unique_ptr<host::Workbook> again;
    try {
      again = ooxml::ReadXlsx(written, "rewritten.xlsx", limits);
    } catch (const host::HostError&) {
      std::abort();  // we wrote a package that we cannot read back
    }
    if (!SameValues(*workbook, *again)) std::abort();  // values lost or changed on the way
    CheckWrittenParts(written);
  }
}

// The first byte picks the separator, so one corpus serves .csv and .txt. An imported workbook
// must save as .xlsx and read back with the same values.
inline void CheckTextImport(std::string_view input) {
  if (input.empty()) return;
  const char separator = (input[0] & 1) ? ',' : '\t';
  std::unique_ptr<host::Workbook> workbook;
  try {
    workbook = ooxml::ImportText(input.substr(1), "fuzz.csv", separator);
  } catch (const host::HostError&) {
    return;
  }
  const std::string written = ooxml::WriteXlsx(*workbook);
  std::unique_ptr<host::Workbook> again;
  try {
    again = ooxml::ReadXlsx(written, "fuzz.xlsx");
  } catch (const host::HostError&) {
    std::abort();  // an imported workbook saved as a package we cannot read
  }
  if (!SameValues(*workbook, *again)) std::abort();  // values changed on the way through .xlsx
  CheckWrittenParts(written);
}

// The .xls import refuses or reads; never more.
inline void CheckXlsImport(std::string_view bytes) {
  ooxml::XlsImportLimits limits;
  limits.max_cell_slots = uint64_t{1} << 20;  // libfreexl allocates every declared cell
  limits.max_reader_bytes = 0;                // AddressSanitizer reserves more than any cap
  try {
    ooxml::ImportXls(bytes, "fuzz.xls", limits);
  } catch (const host::HostError&) {
  }
}

// Any format code formats a spread of numbers and a text without throwing, twice alike (the
// parsed-code cache must not change what a code means), as valid UTF-8 when the code is, and in
// a length bounded by the code's (no format multiplies its own text without end).
inline void CheckNumberFormat(std::string_view code) {
  static constexpr double kValues[] = {0,      1,          -1,    0.5,         -0.4,
                                       1234.5, 45000.25,   1e15,  -1e-10,      1e308,
                                       60,     2958465.99, 1e100, 0.000123456, 100000.999};
  const bool utf8 = host::IsValidUtf8(code);
  const size_t bound = code.size() * 64 + 4096;
  auto check = [&](const std::string& first, const std::string& second) {
    if (first != second) std::abort();                    // the cache changed the result
    if (utf8 && !host::IsValidUtf8(first)) std::abort();  // broke a character apart
    if (first.size() > bound) std::abort();               // text grew without bound
  };
  for (const double value : kValues) {
    for (const bool date1904 : {false, true}) {
      check(host::FormatNumber(value, code, date1904), host::FormatNumber(value, code, date1904));
    }
  }
  check(host::FormatText("漢字テスト", code), host::FormatText("漢字テスト", code));
  if (host::IsDateFormat(code) != host::IsDateFormat(code)) std::abort();
}

}  // namespace tessarin::fuzz
