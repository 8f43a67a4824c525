// How the add-in reads question-sheet cells: as their values converted to text, and as
// numbers where the runtime would see one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

}  // namespace tessarin::workbook
