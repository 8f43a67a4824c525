// libfreexl, the reader of Excel 97-2003 workbooks, run in a child process with bounded memory
// and time; what it read comes back over a pipe. Used by the .xls import only; nothing else
// includes freexl.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ooxml/xls_import.h"

namespace tessarin::ooxml::xls {

struct FreeXlCell {
  enum class Kind : uint8_t { kNumber, kText, kDate, kDateTime, kTime };
  uint32_t row = 0;  // 0-based
  uint16_t col = 0;  // 0-based
  Kind kind = Kind::kNumber;
  double number = 0;  // kNumber
  std::string
      text;  // the others: the text as libfreexl gives it (dates as ISO text), maybe not UTF-8
};

struct FreeXlSheet {
  std::string name;
  std::vector<FreeXlCell> cells;  // by row, then column; empty cells left out
};

struct FreeXlBook {
  bool password_obfuscated = false;  // protected by a password (XOR obfuscation)
  bool date1904 = false;
  std::vector<FreeXlSheet> sheets;  // in workbook order, chart and macro sheets included
};

// Reads the BIFF8 workbook in `bytes` with libfreexl in a child process capped at
// `limits.max_reader_bytes` more address space and `limits.max_reader_seconds`. Throws
// HostError 1004 naming `file_name` when the child crashes, runs out of memory or time, when
// the sheets declare more than `limits.max_cell_slots` cells, or when libfreexl refuses the file
// (the message says why); HostError 75 or 7 when the child cannot be started.
FreeXlBook ReadFreeXlIsolated(std::string_view bytes, const XlsImportLimits& limits,
                              const std::string& file_name);

}  // namespace tessarin::ooxml::xls
