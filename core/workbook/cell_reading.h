// How the add-in reads question-sheet cells: as their values converted to text, and as
// numbers where the runtime would see one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/host/application.h"
#include "core/host/geometry.h"
#include "core/host/runtime.h"

namespace tessarin::workbook {

// The cell's value converted to text; an error value gives its display text ("#N/A").
inline std::string CellText(const host::Sheet& sheet, int64_t row, int64_t col) {
  // A cell of the sheet is read where it is stored: walks over every question read several
  // cells a row, and a range built for each would cost more than the reading.
  if (row >= 1 && row <= host::kMaxRows && col >= 1 && col <= host::kMaxColumns) {
    const host::Worksheet& ws = sheet.worksheet();
    const auto r = static_cast<int32_t>(row), c = static_cast<int32_t>(col);
    const host::Cell* cell = ws.cells().Find(r, c);
    if (cell == nullptr || cell->type == host::ValueType::kEmpty) return std::string();
    if (cell->type == host::ValueType::kText) return std::string(ws.strings().Get(cell->v.text));
    return host::ValueToText(ws.Value(r, c));
  }
  // Outside it, the range refuses the address as the host does.
  host::CellValue value = sheet.Cells(row, col).Value();
  if (value.type == host::ValueType::kText) return std::move(value.text);
  return host::ValueToText(value);
}

// Reads the cells of one sheet a row at a time as CellText and NumericValue read them, for
// walks over many rows: each row is found once, and a text is looked at where it is stored
// instead of being copied. The sheet must not change while the reader is used.
class RowReader {
 public:
  explicit RowReader(const host::Sheet& sheet)
      : sheet_(sheet), store_(sheet.worksheet().cells()), strings_(sheet.worksheet().strings()) {}

  // Reads row `row` from now on. A row off the sheet is refused as CellText refuses it.
  void Seek(int32_t row) {
    if (row < 1 || row > host::kMaxRows) sheet_.Cells(row, 1);
    row_ = row;
    cells_ = store_.FindRow(row);
  }

  // CellText(row, col).empty(). Only an empty cell and an empty text read as no text: a number,
  // a Boolean and an error value always convert to some, whatever the cell's format shows.
  bool NoText(int32_t col) const {
    const host::Cell* cell = Find(col);
    if (cell == nullptr || cell->type == host::ValueType::kEmpty) return true;
    return cell->type == host::ValueType::kText && strings_.Get(cell->v.text).empty();
  }
  // CellText(row, col), valid until the next call or a change of the workbook's strings.
  std::string_view Text(int32_t col) {
    const host::Cell* cell = Find(col);
    if (cell == nullptr || cell->type == host::ValueType::kEmpty) return {};
    if (cell->type == host::ValueType::kText) return strings_.Get(cell->v.text);
    return ConvertedText(col);
  }
  // NumericValue of the cell's value.
  std::optional<double> Number(int32_t col) const;

 private:
  // A number, Boolean or error value as text: rare in the columns walked, so kept out of line.
  [[gnu::cold]] std::string_view ConvertedText(int32_t col) {
    scratch_ = CellText(sheet_, row_, col);
    return scratch_;
  }
  [[gnu::cold]] std::optional<double> ConvertedNumber(int32_t col) const;

  const host::Cell* Find(int32_t col) const {
    return cells_ ? host::FindInRow(*cells_, col) : nullptr;
  }

  host::Sheet sheet_;
  const host::CellStore& store_;
  const host::StringPool& strings_;
  int32_t row_ = 0;
  const host::RowData* cells_ = nullptr;
  std::string scratch_;
};

// The number a cell holds as the runtime's numeric test sees it: a number, an empty cell (0),
// or text that reads as a number ("3", "３"); nullopt for other text, Booleans and errors.
inline std::optional<double> NumericValue(const host::CellValue& value) {
  switch (value.type) {
    case host::ValueType::kEmpty:
      return 0.0;
    case host::ValueType::kNumber:
      return value.number;
    case host::ValueType::kText:
      return host::ParseNumber(value.text);
    default:
      return std::nullopt;
  }
}

inline std::optional<double> RowReader::Number(int32_t col) const {
  // An empty and a number cell are answered without copying the value out.
  const host::Cell* cell = Find(col);
  if (cell == nullptr || cell->type == host::ValueType::kEmpty) return 0.0;
  if (cell->type == host::ValueType::kNumber) return cell->v.number;
  return ConvertedNumber(col);
}

inline std::optional<double> RowReader::ConvertedNumber(int32_t col) const {
  return NumericValue(sheet_.worksheet().Value(row_, col));
}

}  // namespace tessarin::workbook
