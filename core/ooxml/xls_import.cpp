// The .xls import's entry point: tells what kind of file it is from the container and the
// workbook globals, reads Excel 5.0/95 workbooks from their records alone, and builds BIFF8
// workbooks from libfreexl's readout (shared strings, which numbers are dates) mended with the
// record walk (exact numbers, Booleans, errors, formula results).
#include "core/ooxml/xls_import.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/host/cell.h"
#include "core/host/date_serial.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"
#include "core/ooxml/xls_biff_records.h"
#include "core/ooxml/xls_bytes.h"
#include "core/ooxml/xls_compound_file.h"
#include "core/ooxml/xls_freexl_child.h"

namespace tessarin::ooxml {
namespace {

using xls::CompoundFile;
using xls::DateKind;
using xls::Fail;
using xls::FreeXlCell;

// The styles given to date and time cells, one per kind, made on first use.
class DateStyles {
 public:
  explicit DateStyles(host::Workbook& workbook) : workbook_(workbook) {}
  host::StyleId operator()(DateKind kind) {
    for (auto [k, id] : ids_) {
      if (k == kind) return id;
    }
    host::Style style = workbook_.styles().Get(host::kDefaultStyle);
    style.number_format = kind == DateKind::kDate   ? "yyyy/m/d"
                          : kind == DateKind::kTime ? "h:mm:ss"
                                                    : "yyyy/m/d h:mm";
    const host::StyleId id = workbook_.styles().Intern(style);
    ids_.emplace_back(kind, id);
    return id;
  }

 private:
  host::Workbook& workbook_;
  std::vector<std::pair<DateKind, host::StyleId>> ids_;
};

void SetActiveSheet(host::Workbook& workbook) {
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    if (workbook.Sheet(i).visibility() == host::SheetVisibility::kVisible) {
      workbook.set_active_sheet(&workbook.Sheet(i));
      return;
    }
  }
  workbook.Sheet(1).set_visibility(host::SheetVisibility::kVisible);
  workbook.set_active_sheet(&workbook.Sheet(1));
}

DateKind DateKindOf(FreeXlCell::Kind kind) {
  return kind == FreeXlCell::Kind::kDate   ? DateKind::kDate
         : kind == FreeXlCell::Kind::kTime ? DateKind::kTime
                                           : DateKind::kDateTime;
}

host::SheetVisibility Visibility(int state) {
  return state == 0   ? host::SheetVisibility::kVisible
         : state == 1 ? host::SheetVisibility::kHidden
                      : host::SheetVisibility::kVeryHidden;
}

// Excel 5.0/95 workbooks, which libfreexl does not read: every value comes from the record walk.
std::unique_ptr<host::Workbook> ImportBiff5(std::string_view stream,
                                            const xls::WorkbookRecords& records,
                                            const std::string& file_name) {
  xls::CodePageText text;
  text.SetCodePage(records.code_page);
  auto workbook = std::make_unique<host::Workbook>(std::string(host::BaseName(file_name)));
  workbook->set_date1904(records.date1904);
  DateStyles date_style(*workbook);
  for (size_t i = 0; i < records.sheets.size(); ++i) {
    const xls::SheetRecord& record = records.sheets[i];
    if (record.kind != 0) continue;
    host::Worksheet& sheet =
        workbook->AddSheet(workbook->NearestSheetName(text.Decode(records.raw_sheet_names[i])),
                           workbook->SheetCount() + 1);
    sheet.set_visibility(Visibility(record.state));
    for (const xls::RawCell& raw : xls::ReadSheetCells(stream, record.offset, &text)) {
      if (raw.col >= 256) continue;
      const int32_t row = raw.row + 1, col = raw.col + 1;
      if (raw.value.type == host::ValueType::kNumber && !std::isfinite(raw.value.number)) continue;
      sheet.SetValue(row, col, raw.value);
      if (raw.value.type == host::ValueType::kNumber && !raw.formula &&
          raw.xf < records.xf_formats.size()) {
        if (const DateKind kind = xls::FormatDateKind(records.xf_formats[raw.xf], records);
            kind != DateKind::kNotDate) {
          sheet.SetStyle(row, col, date_style(kind));
        }
      }
    }
  }
  if (workbook->SheetCount() == 0) Fail(file_name, "it holds no worksheet.");
  SetActiveSheet(*workbook);
  workbook->set_saved(true);
  return workbook;
}

// The workbook stream of the .xls container `bytes`; fails as ImportXls describes.
std::string ReadWorkbookStream(std::string_view bytes, const std::string& file_name,
                               const XlsImportLimits& limits) {
  if (bytes.size() > limits.max_bytes) {
    Fail(file_name, "the file has " + std::to_string(bytes.size()) + " bytes, more than the " +
                        std::to_string(limits.max_bytes) + " an .xls workbook may have.");
  }
  if (!LooksLikeCompoundFile(bytes)) {
    Fail(file_name,
         "it is not an Excel 97-2003 workbook (the file does not begin with the .xls container "
         "signature).");
  }
  CompoundFile container;
  if (std::string why = container.Open(bytes); !why.empty())
    Fail(file_name, "the file is damaged: " + why + ".");
  if (container.Find("EncryptedPackage") || container.Find("EncryptionInfo")) {
    Fail(file_name,
         "the workbook is encrypted with a password; remove the password in the program that made "
         "it and save it again.");
  }
  // Excel 97 and later name the stream "Workbook"; Excel 5.0/95 named it "Book".
  const CompoundFile::Entry* stream_entry = container.Find("Workbook");
  if (!stream_entry) stream_entry = container.Find("Book");
  if (!stream_entry)
    Fail(file_name, "it is not an Excel workbook (the container holds no workbook stream).");
  std::string stream;
  if (std::string why = container.Read(*stream_entry, bytes.size(), &stream); !why.empty()) {
    Fail(file_name, "the file is damaged: " + why + ".");
  }
  return stream;
}

// The cells libfreexl read of one sheet, text made UTF-8 and dates made serials.
void CopyFreeXlCells(const xls::FreeXlSheet& read, host::Worksheet& sheet, bool date1904,
                     DateStyles& date_style) {
  for (const FreeXlCell& cell : read.cells) {
    const int32_t row = static_cast<int32_t>(cell.row) + 1, col = cell.col + 1;
    switch (cell.kind) {
      case FreeXlCell::Kind::kNumber:
        sheet.SetNumber(row, col, cell.number);
        break;
      case FreeXlCell::Kind::kText:
        if (!cell.text.empty()) {
          if (host::IsValidUtf8(cell.text)) {
            sheet.SetText(row, col, cell.text);
          } else {
            sheet.SetText(row, col, host::ToUtf8(host::CodePoints(cell.text)));
          }
        }
        break;
      case FreeXlCell::Kind::kDate:
      case FreeXlCell::Kind::kDateTime:
      case FreeXlCell::Kind::kTime:
        if (auto serial = host::SerialFromIsoDate(cell.text, date1904)) {
          sheet.SetNumber(row, col, *serial);
          sheet.SetStyle(row, col, date_style(DateKindOf(cell.kind)));
        } else if (host::IsValidUtf8(cell.text)) {
          sheet.SetText(row, col, cell.text);
        }
        break;
    }
  }
}

// What the sheet's own records hold exactly over libfreexl's reading: numbers (libfreexl rounds
// dates to their format), Booleans, errors, formula results.
void ApplyRawCells(const std::string& stream, const xls::SheetRecord& record,
                   host::Worksheet& sheet) {
  for (const xls::RawCell& raw : xls::ReadSheetCells(stream, record.offset)) {
    const int32_t row = raw.row + 1, col = raw.col + 1;
    if (col > 256) continue;
    const host::CellValue current = sheet.Value(row, col);
    if (!raw.formula && raw.value.type == host::ValueType::kNumber) {
      if (current.type == host::ValueType::kNumber && std::isfinite(raw.value.number))
        sheet.SetNumber(row, col, raw.value.number);
    } else if (raw.formula || current.type == host::ValueType::kEmpty ||
               current.type == host::ValueType::kNumber) {
      sheet.SetValue(row, col, raw.value);
    }
  }
}

}  // namespace

std::unique_ptr<host::Workbook> ImportXls(std::string_view bytes, const std::string& file_name,
                                          const XlsImportLimits& limits) {
  const std::string name = std::string(host::BaseName(file_name));
  const std::string stream = ReadWorkbookStream(bytes, file_name, limits);
  const xls::WorkbookRecords records = xls::ReadGlobals(stream, file_name);
  if (records.encrypted) {
    Fail(file_name,
         "the workbook is protected with a password; remove the password in the program that made "
         "it and save it again.");
  }
  if (records.version == xls::kBiff5) return ImportBiff5(stream, records, file_name);
  if (records.version != xls::kBiff8) {
    Fail(file_name,
         "it is a workbook of Excel 4.0 or older, which cannot be read; save it as an Excel "
         "workbook (.xlsx) in the program that made it.");
  }

  const xls::FreeXlBook readout = xls::ReadFreeXlIsolated(bytes, limits, file_name);
  if (readout.password_obfuscated) {
    Fail(file_name,
         "the workbook is protected with a password; remove the password in the program that made "
         "it and save it again.");
  }

  auto workbook = std::make_unique<host::Workbook>(name);
  workbook->set_date1904(readout.date1904);
  DateStyles date_style(*workbook);
  std::vector<bool> sheet_record_used(records.sheets.size(), false);
  for (const xls::FreeXlSheet& read : readout.sheets) {
    // Pair libfreexl's sheet with its BOUNDSHEET record by name, in order.
    const xls::SheetRecord* record = nullptr;
    for (size_t k = 0; k < records.sheets.size(); ++k) {
      if (!sheet_record_used[k] && records.sheets[k].name == read.name) {
        sheet_record_used[k] = true;
        record = &records.sheets[k];
        break;
      }
    }
    if (record && record->kind != 0) continue;  // chart or macro sheet

    host::Worksheet& sheet =
        workbook->AddSheet(workbook->NearestSheetName(read.name), workbook->SheetCount() + 1);
    if (record) sheet.set_visibility(Visibility(record->state));
    CopyFreeXlCells(read, sheet, workbook->date1904(), date_style);
    if (record) ApplyRawCells(stream, *record, sheet);
  }
  if (workbook->SheetCount() == 0) Fail(file_name, "it holds no worksheet.");
  SetActiveSheet(*workbook);
  workbook->set_saved(true);
  return workbook;
}

}  // namespace tessarin::ooxml
