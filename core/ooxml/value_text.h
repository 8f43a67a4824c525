// Numbers and A1 references as workbook files write them (apart from the XML they sit in).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/host/geometry.h"

namespace tessarin::ooxml {

// Appends ` name="value"` with the number in its shortest form.
void AppendAttrNumber(std::string& out, std::string_view name, double value);

// Shortest decimal form that reads back to the same double ("1", "0.75", "1E+20" style avoided:
// plain or exponent as the standard library's shortest form gives, with "E" upper case).
void AppendNumber(std::string& out, double value);
void AppendInt(std::string& out, int64_t value);
bool ParseDouble(std::string_view text, double& value);
bool ParseInt(std::string_view text, int64_t& value);
// "1", "true" -> true; "0", "false" -> false; anything else -> `fallback`.
bool ParseBool(std::string_view text, bool fallback);

// A1 references. Column letters <-> numbers and cell/area text, without $.
void AppendColumnName(std::string& out, int32_t col);
std::string ColumnName(int32_t col);
void AppendCellRef(std::string& out, int32_t row, int32_t col);
std::string CellRefText(int32_t row, int32_t col);
std::string AreaText(const host::Area& area);
// Parses "B7" (and "$B$7"); false when malformed or out of the sheet's bounds.
bool ParseCellRef(std::string_view text, int32_t& row, int32_t& col);
// Parses "A1:C3", "A1", "A:C", "1:3" (with or without $); false when malformed or out of bounds.
bool ParseArea(std::string_view text, host::Area& area);

}  // namespace tessarin::ooxml
