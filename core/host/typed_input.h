// Typed input: what the host makes of text a user types into a cell, the one reading shared by
// the window, the script runner and the import of text files.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/host/cell.h"

namespace tessarin::host {

class Range;

// Where the text comes from. The two differ only in the leading apostrophe.
enum class TypedFrom : uint8_t {
  kKeyboard,  // typed into a cell: a leading apostrophe marks the rest as text and is dropped
  kTextFile,  // a field of an imported text file: an apostrophe is part of the text
};

// The reading of typed text. `text` and `number_format` are views: `text` into the input,
// `number_format` into static storage.
struct TypedValue {
  // The value; for text its type is kText and the characters are `text`, so that a caller
  // storing many cells copies each text once.
  CellValue value;
  std::string_view text;
  // The number format a General cell takes along with the value, or "" to keep General.
  std::string_view number_format;

  // The value with its text filled in.
  CellValue ToValue() const;
};

// Reads `text` as the host reads what is typed into a General cell. Surrounding spaces are
// ignored except in text, which keeps them. In order:
//   - "" is empty; with kKeyboard, "'..." is the text after the apostrophe ("'0427" is "0427");
//   - numbers: an optional sign, digits with an optional decimal point and exponent ("12",
//     "0427" is 427, "-1.5", ".5", "1e3"); digits grouped by commas in threes ("1,234", shown
//     "#,##0" or "#,##0.00" when it has decimals); a trailing "%" divides by 100 ("50%" is 0.5,
//     shown "0%" or "0.00%"). A number no double holds ("1e400") stays text;
//   - dates: year/month/day or year-month-day with a four-digit year ("2024/4/27") are the
//     date's serial number in the workbook's date system, shown "yyyy/m/d"; a day that does not
//     exist ("2023/2/30") stays text. A month and day without a year stay text: their meaning
//     would depend on the day they were typed;
//   - TRUE and FALSE in any case are Booleans; the error texts ("#N/A", "#div/0!") are errors;
//   - everything else is the text as given: "=1+2" too (formulas are the caller's business),
//     and full-width digits ("１２").
// Never throws; `text` must be well-formed UTF-8.
TypedValue ReadTyped(std::string_view text, TypedFrom from, bool date1904 = false);

// ReadTyped's value of text typed into a cell (kKeyboard, the 1900 date system), checked as a
// cell takes it: malformed UTF-8 bytes become U+FFFD; HostError 1004 when the text has more
// characters than a cell holds (kMaxCellChars).
CellValue ParseInput(std::string_view typed);

// Types `typed` into every cell of `cells` and presses Enter, as a user does: text that begins
// with "=" becomes the cells' formula (Range::SetFormula); otherwise the cells take ReadTyped's
// value (the workbook's date system; checked as ParseInput checks) and, when the first cell's
// number format is General, the number format that comes with it. Throws HostError 1004 on a
// protected sheet or for text longer than a cell holds.
void EnterTyped(const Range& cells, std::string_view typed);

}  // namespace tessarin::host
