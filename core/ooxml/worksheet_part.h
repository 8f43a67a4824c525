// The worksheet part (xl/worksheets/sheetN.xml): cells, rows, columns, merges, views, page setup,
// and the elements the model does not hold, kept in their place.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/units.h"
#include "core/host/worksheet.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/held_text.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// Column widths convert as the host defines them (core/host/units.h).
using host::CharsToFileWidth;
using host::DefaultWidthFromBase;
using host::FileWidthToChars;
using host::MaxDigitWidth;

// ISO 8601 date-time text ("2024-02-29T12:00:00") as a serial day number; false when malformed.
bool IsoDateToSerial(std::string_view text, bool date1904, double& serial);

struct WorksheetReadContext {
  std::string_view file;
  std::string_view part;
  SharedStrings* shared_strings = nullptr;
  const std::vector<host::StyleId>* xf_styles = nullptr;
  int max_digit_width = 8;
  bool date1904 = false;
  uint64_t* cell_budget = nullptr;  // cells still allowed; the read fails when it runs out
};

// Reads the part (whole, or streamed from `source`) into `sheet`, keeping what the model does
// not hold in `extras`; <legacyDrawing> is among the kept elements.
// Throws HostError 1004 naming file, part and what is wrong (malformed XML, a cell reference
// outside the sheet ...).
void ReadWorksheet(std::string_view xml, const WorksheetReadContext& context,
                   host::Worksheet& sheet, SheetExtras& extras);
void ReadWorksheet(XmlScanner::Source source, const WorksheetReadContext& context,
                   host::Worksheet& sheet, SheetExtras& extras);

struct WorksheetWriteContext {
  const Namespaces* ns = nullptr;
  int max_digit_width = 8;
  bool active = false;            // the workbook's active sheet
  std::string legacy_drawing_id;  // r:id for <legacyDrawing>, "" for none
};

// Writes a worksheet part in pieces, so that a big sheet never sits in memory as one text. The
// constructor adds the sheet's strings to `strings` and measures the part exactly (a zip entry
// of known size needs no ZIP64 header, which some programs refuse); the sheet must not change
// while the writer lives.
class WorksheetWriter {
 public:
  // A part of fewer than `keep_below` bytes is written whole while it is measured, and held
  // (whole()) until the writer goes; 0 writes every part again piece by piece.
  WorksheetWriter(const host::Worksheet& sheet, const SheetExtras* extras,
                  SharedStringsWriter& strings, const WorksheetWriteContext& context,
                  uint64_t keep_below = 0);
  uint64_t size() const { return size_; }
  // True when the part was written whole while it was measured.
  bool kept() const { return kept_; }
  // The whole part when kept(), else empty; valid while the writer lives.
  std::string_view whole() const { return whole_.view(); }
  // Appends the next piece (whole rows, at least `piece` bytes unless the part ends; a kept part
  // in one piece) to `out`; false once the part is complete.
  bool Next(std::string& out, size_t piece);

 private:
  class MeasureOut;
  // A column's letters, made once per column.
  struct ColumnText {
    char text[8] = {};
    size_t size = 0;
  };
  // A row's number as text, in room enough to be copied 8 bytes at a time.
  struct RowText {
    char text[16] = {};
    size_t size = 0;
    std::string_view view() const { return {text, size}; }
  };
  // What writing rows keeps from one row to the next.
  struct RowScratch {
    std::string checked_attrs, declared_attrs;  // the last row attributes checked, and what stays
    std::string height;                         // the height of the row being written, as text
    std::string row;                            // a row written cell by cell
    std::vector<ColumnText> columns;
  };

  void Measure(uint64_t keep_below);
  template <typename Out>
  void WriteRow(Out& out, RowScratch& s, int32_t row, const host::RowData& data, bool sizing);
  // The kept attributes a row tag ends with (checked once per distinct text).
  std::string_view RowAttrs(RowScratch& s, const host::RowData& data);
  char* WriteRowTag(char* p, const RowScratch& s, const RowText& row, const host::RowData& data,
                    std::string_view attrs);
  // Plain shared strings and whole numbers: written straight into room made for the row.
  bool IsQuickCell(const host::Cell& cell) const;
  char* WriteQuickCell(char* p, RowScratch& s, const RowText& row, const host::Cell& cell,
                       bool sizing);
  void WriteCell(std::string& out, RowScratch& s, int32_t row, const RowText& row_text,
                 const host::Cell& cell, bool sizing);
  void WriteFormula(std::string& out, int32_t row, int32_t col, const host::CellExtra& extra);
  void WriteValue(std::string& out, RowScratch& s, const host::Cell& cell,
                  const host::CellExtra* extra, bool has_formula, bool sizing);
  static const ColumnText& Column(RowScratch& s, uint16_t col);
  uint32_t SharedStringIndex(RowScratch& s, const host::Cell& cell, const host::CellExtra* extra,
                             bool sizing);
  bool WrittenInPlace(const host::Cell& cell, const host::CellExtra* extra) const;
  // Shared formulas: a master (the first cell of its range) opens its group and returns the
  // attributes to write, "" if it is no longer a master; a member is written as a bare
  // reference only while its formula is still the group's.
  std::string SharedMaster(int32_t row, int32_t col, std::string_view attrs,
                           const std::string& formula);
  bool SharedChild(int32_t row, int32_t col, std::string_view attrs, const std::string& formula);
  struct SharedGroup {
    std::string formula;
    host::Area area;
  };

  const host::Worksheet& sheet_;
  SharedStringsWriter& strings_;
  std::string head_, tail_;
  HeldText whole_;  // the whole part, when it was kept
  bool kept_ = false;
  std::string root_attrs_;  // namespaces the part declares
  RowScratch scratch_;
  std::vector<uint32_t> rich_indices_;
  std::map<std::string, SharedGroup> shared_groups_;
  size_t next_rich_ = 0;
  int32_t next_row_ = 1;
  int stage_ = 0;
  uint64_t size_ = 0;
};

// <pageMargins> and <pageSetup> as the writer writes them for a page setup.
std::string PageMarginsXml(const host::PageSetup& page_setup);
std::string PageSetupXml(const host::PageSetup& page_setup, const SheetExtras* extras);

// Appends the whole part to `out`, adding its strings to `strings`.
void WriteWorksheet(std::string& out, const host::Worksheet& sheet, const SheetExtras* extras,
                    SharedStringsWriter& strings, const WorksheetWriteContext& context);

}  // namespace tessarin::ooxml
