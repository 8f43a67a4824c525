// .xls import: Excel 97-2003 (BIFF8) workbooks through libfreexl, Excel 5.0/95 (BIFF5) ones by
// their records; sheets and cell values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/host/workbook.h"

namespace tessarin::ooxml {

// True when `bytes` begin with the signature of an OLE compound file, the container of .xls
// workbooks and of password-encrypted .xlsx packages.
bool LooksLikeCompoundFile(std::string_view bytes);

struct XlsImportLimits {
  uint64_t max_bytes = uint64_t{256} << 20;     // the file as stored
  uint64_t max_cell_slots = uint64_t{1} << 24;  // rows x columns over all sheets, as declared
  // libfreexl runs in a child process (a damaged file can crash it) with this much address
  // space beyond the parent's (0: no cap, as under AddressSanitizer) and this much time.
  uint64_t max_reader_bytes = uint64_t{1} << 30;
  int max_reader_seconds = 60;
};

// Reads the .xls workbook held in `bytes` into a new workbook named `file_name` (its last path
// component); the caller sets folder, format and stamp. Each worksheet becomes a sheet with its
// name, order and visibility; cells get their values: text, numbers, Booleans, error values, the
// last results of formulas (not the formulas), and dates and times as serial numbers in the
// file's date system with a date or time format. Chart sheets and macro sheets are left out.
// Formats, comments and everything else are not imported; saving goes to .xlsx. Excel 5.0/95
// text is decoded in the code page the file declares.
// Throws HostError 1004 naming the file and what is wrong when the bytes are not a readable
// workbook: a damaged container or record stream, a password-protected or encrypted file, an
// Excel 4.0 or older workbook, another kind of compound file, declared sizes beyond `limits`, or
// no worksheet at all. Throws HostError 7 when memory runs out. Never writes the file.
std::unique_ptr<host::Workbook> ImportXls(std::string_view bytes, const std::string& file_name,
                                          const XlsImportLimits& limits = {});

}  // namespace tessarin::ooxml
