// The BIFF record stream of an .xls workbook (Excel 5.0/95 and 97-2003): the workbook globals,
// the cell values of a worksheet substream, number formats that show dates, and the 8-bit text
// of Excel 5.0/95 files. Used by the .xls import only.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/host/cell.h"

namespace tessarin::ooxml::xls {

inline constexpr uint16_t kBiff5 = 0x0500, kBiff8 = 0x0600;

// One BOUNDSHEET record: a sheet of the workbook and where its substream starts.
struct SheetRecord {
  std::string name;  // BIFF8 only (UTF-8); Excel 5.0/95 names are in raw_sheet_names
  uint32_t offset = 0;
  int state = 0;  // 0 visible, 1 hidden, 2 very hidden
  int kind = 0;   // 0 worksheet, 2 chart, 6 module
};

// What the workbook globals (the records before the first sheet's substream) say.
struct WorkbookRecords {
  uint16_t version = 0;  // of the BOF record: kBiff5, kBiff8 or an older one
  bool encrypted = false;
  bool date1904 = false;
  uint16_t code_page = 1252;
  std::vector<SheetRecord> sheets;
  std::vector<std::string> raw_sheet_names;               // Excel 5.0/95: in the code page
  std::vector<uint16_t> xf_formats;                       // number format index of each XF record
  std::vector<std::pair<uint16_t, std::string>> formats;  // FORMAT records: index, raw code
};

// Reads the globals from the start of the workbook stream up to their EOF record (or the end of
// the stream, or a cut-off record). Throws HostError 1004 naming `file_name` when the stream
// does not begin with a BOF record.
WorkbookRecords ReadGlobals(std::string_view stream, const std::string& file_name);

// Decodes the 8-bit text of Excel 5.0/95 files in the code page the workbook declares; bytes the
// code page does not define become U+FFFD, and an unknown code page reads as Latin-1.
class CodePageText {
 public:
  CodePageText() = default;
  CodePageText(const CodePageText&) = delete;
  CodePageText& operator=(const CodePageText&) = delete;
  ~CodePageText();
  void SetCodePage(uint16_t code_page);
  std::string Decode(std::string_view bytes) const;

 private:
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

// A cell value read from the records (row and column 0-based, as stored).
struct RawCell {
  uint16_t row;
  uint16_t col;
  uint16_t xf;
  bool formula;  // the value is a formula's last result
  host::CellValue value;
};

// Collects the cell values of the worksheet substream at `offset` (skipping embedded charts):
// numbers, Booleans, errors and formula results; with `text` (Excel 5.0/95, strings in its code
// page) also the text cells. Returns nothing for an offset outside the stream or without a BOF
// record there; stops at a cut-off record. Numbers may be NaN or infinite: callers skip those.
std::vector<RawCell> ReadSheetCells(std::string_view stream, uint32_t offset,
                                    const CodePageText* text = nullptr);

// Whether a number format shows a date, a time or both. Built-in formats are known by index;
// others (FORMAT records of `wb`) by their date and time codes outside quotes and brackets.
enum class DateKind { kNotDate, kDate, kDateTime, kTime };
DateKind FormatDateKind(uint16_t index, const WorkbookRecords& wb);

}  // namespace tessarin::ooxml::xls
