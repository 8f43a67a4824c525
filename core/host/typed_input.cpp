// Typed input: the reading of typed text into a value and a number format.
#include "core/host/typed_input.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "core/host/date_serial.h"
#include "core/host/geometry.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The number of `s` (already trimmed) and the format a General cell takes with it.
std::optional<TypedValue> ReadNumber(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  const bool percent = !s.empty() && s.back() == '%';
  if (percent) s.remove_suffix(1);
  // Longer digit strings than this are no number a user types; the bound keeps the copy small.
  if (s.empty() || s.size() > 400) return std::nullopt;

  // Copy without group separators, checking that groups are of three digits.
  char buf[401];
  size_t n = 0, i = 0, int_digits = 0, group_len = 0;
  bool grouped = false;
  for (; i < s.size() && (IsDigit(s[i]) || s[i] == ','); ++i) {
    if (s[i] == ',') {
      if (int_digits == 0 || (grouped && group_len != 3) || (!grouped && int_digits > 3))
        return std::nullopt;
      grouped = true;
      group_len = 0;
      continue;
    }
    buf[n++] = s[i];
    ++int_digits;
    ++group_len;
  }
  if (grouped && group_len != 3) return std::nullopt;
  size_t frac_digits = 0;
  if (i < s.size() && s[i] == '.') {
    buf[n++] = s[i++];
    for (; i < s.size() && IsDigit(s[i]); ++i) buf[n++] = s[i], ++frac_digits;
  }
  if (int_digits + frac_digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    if (grouped) return std::nullopt;
    buf[n++] = s[i++];
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) buf[n++] = s[i++];
    size_t exp_digits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i) buf[n++] = s[i], ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;

  double value = 0;
  auto [end, ec] = std::from_chars(buf, buf + n, value);
  if (ec != std::errc() || end != buf + n || !std::isfinite(value)) return std::nullopt;
  if (percent) value /= 100;
  if (negative) value = -value;
  TypedValue typed;
  typed.value = CellValue::Number(value == 0 ? 0.0 : value);  // no negative zero
  const bool decimals = frac_digits > 0;
  if (percent) {
    typed.number_format = decimals ? "0.00%" : "0%";
  } else if (grouped) {
    typed.number_format = decimals ? "#,##0.00" : "#,##0";
  }
  return typed;
}

// Reads one to `max_digits` digits at `i`; nullopt when there are none or more.
std::optional<int> ReadField(std::string_view s, size_t& i, size_t min_digits, size_t max_digits) {
  int value = 0;
  size_t digits = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++digits) {
    if (digits == max_digits) return std::nullopt;
    value = value * 10 + (s[i] - '0');
  }
  if (digits < min_digits) return std::nullopt;
  return value;
}

// "2024/4/27" or "2024-04-27" (already trimmed) as a date serial.
std::optional<TypedValue> ReadDate(std::string_view s, bool date1904) {
  size_t i = 0;
  const std::optional<int> year = ReadField(s, i, 4, 4);
  if (!year || i >= s.size() || (s[i] != '/' && s[i] != '-')) return std::nullopt;
  const char separator = s[i++];
  const std::optional<int> month = ReadField(s, i, 1, 2);
  if (!month || i >= s.size() || s[i++] != separator) return std::nullopt;
  const std::optional<int> day = ReadField(s, i, 1, 2);
  if (!day || i != s.size()) return std::nullopt;
  const std::optional<int64_t> serial = SerialFromDate(*year, *month, *day, date1904);
  if (!serial) return std::nullopt;
  TypedValue typed;
  typed.value = CellValue::Number(static_cast<double>(*serial));
  typed.number_format = "yyyy/m/d";
  return typed;
}

TypedValue AsText(std::string_view text) {
  TypedValue typed;
  typed.value.type = ValueType::kText;
  typed.text = text;
  return typed;
}

// The checks a cell makes of typed text: its length and well-formed UTF-8 (malformed bytes
// become U+FFFD in `repaired`, which then holds the text to read).
std::string_view CheckedTyping(std::string_view typed, std::string& repaired) {
  const size_t length = Utf8Length(typed);
  if (length > static_cast<size_t>(kMaxCellChars)) {
    throw HostError(kErrApplicationDefined,
                    "A cell can hold at most " + std::to_string(kMaxCellChars) +
                        " characters; the text typed has " + std::to_string(length) + ".");
  }
  if (IsValidUtf8(typed)) return typed;
  repaired = ToUtf8(CodePoints(typed));
  return repaired;
}

}  // namespace

CellValue TypedValue::ToValue() const {
  if (value.type != ValueType::kText) return value;
  return CellValue::Text(std::string(text));
}

TypedValue ReadTyped(std::string_view text, TypedFrom from, bool date1904) {
  if (text.empty()) return {};
  if (from == TypedFrom::kKeyboard && text.front() == '\'') return AsText(text.substr(1));
  const std::string_view t = Trimmed(text);
  if (std::optional<TypedValue> number = ReadNumber(t)) return *number;
  if (std::optional<TypedValue> date = ReadDate(t, date1904)) return *date;
  if (EqualsIgnoringAsciiCase(t, "TRUE")) return {CellValue::Boolean(true), {}, {}};
  if (EqualsIgnoringAsciiCase(t, "FALSE")) return {CellValue::Boolean(false), {}, {}};
  if (!t.empty() && t.front() == '#') {
    std::string upper(t);
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    if (std::optional<CellError> e = ParseCellError(upper)) return {CellValue::Error(*e), {}, {}};
  }
  return AsText(text);
}

CellValue ParseInput(std::string_view typed) {
  std::string repaired;
  return ReadTyped(CheckedTyping(typed, repaired), TypedFrom::kKeyboard).ToValue();
}

void EnterTyped(const Range& cells, std::string_view typed) {
  if (!typed.empty() && typed.front() == '=') {
    cells.SetFormula(typed);
    return;
  }
  std::string repaired;
  const TypedValue read = ReadTyped(CheckedTyping(typed, repaired), TypedFrom::kKeyboard,
                                    cells.sheet().workbook().date1904());
  const bool general = !read.number_format.empty() && cells.NumberFormat() == "General";
  cells.SetValue(read.ToValue());
  if (general) cells.SetNumberFormat(read.number_format);
}

}  // namespace tessarin::host
