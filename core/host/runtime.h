// The run-time conversions the add-in's logic relies on: text to number as the runtime's
// IsNumeric sees it, rounding to 32-bit integers, and a value converted to text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/host/cell.h"

namespace tessarin::host {

// The number a text stands for, as a Japanese-locale runtime reads it: surrounding spaces
// ignored, full-width digits, signs and point accepted, thousands separators, an exponent.
// nullopt for anything else, the empty text included.
std::optional<double> ParseNumber(std::string_view text);

// Rounds to the nearest 32-bit integer, halves to the even neighbour.
// Throws HostError 6 (overflow) outside the 32-bit range.
int32_t ToLong(double value);

// Converts text to a 32-bit integer as the runtime does; HostError 13 when it is not a number.
int32_t TextToLong(std::string_view text);

// The text of a number as the runtime writes it: up to 15 significant digits, no trailing
// zeros, exponent form (1E+20, 1E-07) for very large or small magnitudes.
std::string NumberToText(double value);

// A cell value converted to text: numbers as above, Booleans "True"/"False", errors their
// display text ("#N/A"), empty "".
std::string ValueToText(const CellValue& value);

}  // namespace tessarin::host
