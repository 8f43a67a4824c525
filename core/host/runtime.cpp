// Run-time conversions.
#include "core/host/runtime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

// Maps a full-width ASCII form (U+FF01..U+FF5E) to ASCII, and the ideographic space to a space;
// returns the input unchanged otherwise.
std::string NarrowForms(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c0 = static_cast<unsigned char>(text[i]);
    if (c0 == 0xEF && i + 2 < text.size()) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      const auto c2 = static_cast<unsigned char>(text[i + 2]);
      const char32_t cp = ((c0 & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F);
      if (cp >= 0xFF01 && cp <= 0xFF5E) {
        out.push_back(static_cast<char>(cp - 0xFF01 + 0x21));
        i += 2;
        continue;
      }
    }
    if (c0 == 0xE3 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        static_cast<unsigned char>(text[i + 2]) == 0x80) {
      out.push_back(' ');
      i += 2;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view raw) {
  std::string s = NarrowForms(raw);
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  size_t e = s.find_last_not_of(" \t");
  s = s.substr(b, e - b + 1);
  // Thousands separators may stand between digits of the integer part only.
  std::string digits;
  bool seen_point = false, seen_exp = false, seen_digit = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
      seen_digit = true;
    } else if (c == ',' && !seen_point && !seen_exp && seen_digit) {
      continue;
    } else if (c == '.' && !seen_point && !seen_exp) {
      digits.push_back(c);
      seen_point = true;
    } else if ((c == 'e' || c == 'E') && seen_digit && !seen_exp) {
      digits.push_back('e');
      seen_exp = true;
    } else if ((c == '+' || c == '-') && (i == 0 || (seen_exp && digits.back() == 'e'))) {
      digits.push_back(c);
    } else {
      return std::nullopt;
    }
  }
  if (!seen_digit || digits.back() == 'e' || digits.back() == '+' || digits.back() == '-')
    return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(digits.c_str(), &end);
  if (end != digits.c_str() + digits.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

int32_t ToLong(double value) {
  const double r = std::nearbyint(value);  // the default rounding mode rounds halves to even
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
    throw HostError(kErrOverflow,
                    "Overflow: " + NumberToText(value) + " does not fit a 32-bit integer.");
  }
  return static_cast<int32_t>(r);
}

int32_t TextToLong(std::string_view text) {
  auto v = ParseNumber(text);
  if (!v)
    throw HostError(kErrTypeMismatch,
                    "Type mismatch: \"" + std::string(text) + "\" is not a number.");
  return ToLong(*v);
}

std::string NumberToText(double value) {
  if (value == 0) return "0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s = buf;
  const size_t epos = s.find('E');
  std::string mantissa = epos == std::string::npos ? s : s.substr(0, epos);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  if (epos == std::string::npos) return mantissa;
  // "1E-07" keeps two exponent digits as printf gives them; the sign is always written.
  return mantissa + s.substr(epos);
}

std::string ValueToText(const CellValue& value) {
  switch (value.type) {
    case ValueType::kEmpty:
      return "";
    case ValueType::kNumber:
      return NumberToText(value.number);
    case ValueType::kText:
      return value.text;
    case ValueType::kBoolean:
      return value.boolean ? "True" : "False";
    case ValueType::kError:
      return std::string(CellErrorText(value.error));
  }
  return "";
}

}  // namespace tessarin::host
