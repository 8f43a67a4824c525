// Text import: decoding, field splitting and the General-cell reading of each field.
#include "core/ooxml/text_import.h"

#include <charconv>
#include <cmath>
#include <string>

#include "core/host/geometry.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"

namespace tessarin::ooxml {
namespace {

using host::HostError;
using host::kErrApplicationDefined;

[[noreturn]] void Fail(const std::string& file_name, const std::string& what) {
  throw HostError(kErrApplicationDefined, "Cannot open " + file_name + ": " + what);
}

// UTF-16 without a mark: the ASCII characters (digits, separators, line ends) put a zero in the
// high byte, while text in a byte encoding holds no zero bytes at all.
bool LooksLikeUtf16Le(std::string_view bytes) {
  const size_t pairs = std::min<size_t>(bytes.size() / 2, 256);
  if (pairs < 2 || bytes.size() % 2 != 0) return false;
  size_t zero_high = 0, zero_low = 0;
  for (size_t i = 0; i < pairs; ++i) {
    zero_low += bytes[2 * i] == 0;
    zero_high += bytes[2 * i + 1] == 0;
  }
  return zero_high * 2 >= pairs && zero_low * 8 <= zero_high;
}

std::string DecodeUtf16(std::string_view bytes, bool big_endian, const std::string& file_name) {
  if (bytes.size() % 2 != 0) Fail(file_name, "the UTF-16 text ends in half a character.");
  std::string swapped;
  if (big_endian) {
    swapped.assign(bytes);
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    bytes = swapped;
  }
  try {
    return host::Utf16LeToUtf8(bytes);
  } catch (const HostError& e) {
    Fail(file_name, "the UTF-16 text is damaged (" + e.description() + ").");
  }
}

// A typed value and the number format the host gives the cell along with it ("" keeps General).
struct Typed {
  host::CellValue value;
  std::string_view format;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parses the General-cell number grammar; sets `grouped` and `percent` for the cell format.
std::optional<double> ParseNumber(std::string_view s, bool* grouped, bool* percent,
                                  bool* decimals) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  *percent = !s.empty() && s.back() == '%';
  if (*percent) s.remove_suffix(1);
  *grouped = false;
  *decimals = false;
  if (s.empty() || s.size() > 400) return std::nullopt;

  // Copy without group separators, checking that groups are of three digits.
  char buf[401];
  size_t n = 0, i = 0, int_digits = 0, group_len = 0;
  bool in_group = false;
  for (; i < s.size() && (IsDigit(s[i]) || s[i] == ','); ++i) {
    if (s[i] == ',') {
      if (int_digits == 0 || (in_group && group_len != 3) || (!in_group && int_digits > 3))
        return std::nullopt;
      in_group = true;
      group_len = 0;
      continue;
    }
    buf[n++] = s[i];
    ++int_digits;
    ++group_len;
  }
  if (in_group && group_len != 3) return std::nullopt;
  *grouped = in_group;
  size_t frac_digits = 0;
  if (i < s.size() && s[i] == '.') {
    buf[n++] = s[i++];
    for (; i < s.size() && IsDigit(s[i]); ++i) buf[n++] = s[i], ++frac_digits;
  }
  if (int_digits + frac_digits == 0) return std::nullopt;
  *decimals = frac_digits > 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    if (in_group) return std::nullopt;
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
  if (*percent) value /= 100;
  if (negative) value = -value;
  return value == 0 ? 0.0 : value;  // no negative zero
}

Typed ParseTyped(std::string_view text) {
  bool grouped, percent, decimals;
  if (auto number = ParseNumber(text, &grouped, &percent, &decimals)) {
    std::string_view format;
    if (percent) {
      format = decimals ? "0.00%" : "0%";
    } else if (grouped) {
      format = decimals ? "#,##0.00" : "#,##0";
    }
    return {host::CellValue::Number(*number), format};
  }
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.size() == 4 || t.size() == 5) {
    std::string upper(t);
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    if (upper == "TRUE") return {host::CellValue::Boolean(true), {}};
    if (upper == "FALSE") return {host::CellValue::Boolean(false), {}};
  }
  if (!t.empty() && t.front() == '#') {
    std::string upper(t);
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    if (auto error = host::ParseCellError(upper)) return {host::CellValue::Error(*error), {}};
  }
  host::CellValue as_text;  // the caller stores the text itself, sparing a copy per cell
  as_text.type = host::ValueType::kText;
  return {as_text, {}};
}

// Writes parsed fields into the sheet, checking the sheet's bounds and the cell size.
class SheetFiller {
 public:
  SheetFiller(host::Worksheet& sheet, const std::string& file_name, const TextImportLimits& limits)
      : sheet_(sheet), file_name_(file_name), limits_(limits) {}

  void Put(int32_t row, int32_t col, std::string_view field) {
    if (field.empty()) return;
    if (row > host::kMaxRows) {
      Fail(file_name_,
           "it has more than " + std::to_string(host::kMaxRows) + " rows, the most a sheet holds.");
    }
    if (col > host::kMaxColumns) {
      Fail(file_name_, "row " + std::to_string(row) + " has more than " +
                           std::to_string(host::kMaxColumns) + " fields, the most a sheet holds.");
    }
    if (field.size() > limits_.max_cell_chars && host::Utf8Length(field) > limits_.max_cell_chars) {
      Fail(file_name_, "the field in row " + std::to_string(row) + ", column " +
                           std::to_string(col) + " has more than " +
                           std::to_string(limits_.max_cell_chars) +
                           " characters, the most a cell holds.");
    }
    Typed typed = ParseTyped(field);
    switch (typed.value.type) {
      case host::ValueType::kNumber:
        sheet_.SetNumber(row, col, typed.value.number);
        break;
      case host::ValueType::kText:
        sheet_.SetText(row, col, field);
        break;
      default:
        sheet_.SetValue(row, col, typed.value);
        break;
    }
    if (!typed.format.empty()) sheet_.SetStyle(row, col, FormatStyle(typed.format));
  }

 private:
  host::StyleId FormatStyle(std::string_view format) {
    for (const auto& [code, id] : format_styles_) {
      if (code == format) return id;
    }
    host::Style style = sheet_.styles().Get(host::kDefaultStyle);
    style.number_format = std::string(format);
    const host::StyleId id = sheet_.styles().Intern(style);
    format_styles_.emplace_back(format, id);
    return id;
  }

  host::Worksheet& sheet_;
  const std::string& file_name_;
  const TextImportLimits& limits_;
  std::vector<std::pair<std::string_view, host::StyleId>> format_styles_;
};

}  // namespace

std::string_view TextEncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "UTF-8";
    case TextEncoding::kUtf8Bom:
      return "UTF-8 with byte order mark";
    case TextEncoding::kUtf16Le:
      return "UTF-16LE";
    case TextEncoding::kUtf16Be:
      return "UTF-16BE";
    case TextEncoding::kCp932:
      return "Shift_JIS";
  }
  return "?";
}

DecodedText DecodeText(std::string_view bytes, const std::string& file_name) {
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) {
    std::string_view body = bytes.substr(3);
    if (!host::IsValidUtf8(body)) {
      // Report where it breaks: the first byte that does not begin a well-formed sequence.
      size_t pos = 0;
      while (pos < body.size()) {
        size_t next = pos;
        if (host::NextCodePoint(body, next) == 0xFFFD && body.substr(pos, 3) != "\xEF\xBF\xBD")
          break;
        pos = next;
      }
      Fail(file_name,
           "it is marked as UTF-8 but byte " + std::to_string(pos + 3) + " is not UTF-8.");
    }
    return {std::string(body), TextEncoding::kUtf8Bom};
  }
  if (starts("\xFF\xFE"))
    return {DecodeUtf16(bytes.substr(2), false, file_name), TextEncoding::kUtf16Le};
  if (starts("\xFE\xFF"))
    return {DecodeUtf16(bytes.substr(2), true, file_name), TextEncoding::kUtf16Be};
  if (LooksLikeUtf16Le(bytes)) {
    try {
      return {host::Utf16LeToUtf8(bytes), TextEncoding::kUtf16Le};
    } catch (const HostError&) {
      // Not UTF-16 after all; try the byte encodings.
    }
  }
  if (host::IsValidUtf8(bytes)) return {std::string(bytes), TextEncoding::kUtf8};
  try {
    return {host::Cp932ToUtf8(bytes), TextEncoding::kCp932};
  } catch (const HostError& e) {
    Fail(file_name, "it is neither UTF-8, UTF-16 nor Shift_JIS text (" + e.description() + ").");
  }
}

std::unique_ptr<host::Workbook> ImportText(std::string_view bytes, const std::string& file_name,
                                           char separator, const TextImportLimits& limits) {
  const std::string name = std::string(host::BaseName(file_name));
  if (bytes.size() > limits.max_bytes) {
    Fail(file_name, "the file has " + std::to_string(bytes.size()) + " bytes, more than the " +
                        std::to_string(limits.max_bytes) + " a text file may have.");
  }
  const DecodedText decoded = DecodeText(bytes, file_name);
  const std::string_view text = decoded.utf8;

  auto workbook = std::make_unique<host::Workbook>(name);
  host::Worksheet& sheet = workbook->AddSheet(SheetNameForFile(name), 1);
  workbook->set_active_sheet(&sheet);
  SheetFiller filler(sheet, file_name, limits);

  const char stops[] = {separator, '\r', '\n', '\0'};
  const std::string_view stop_set(stops, 3);
  std::string quoted;
  int32_t row = 1, col = 1;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    std::string_view field;
    if (text[i] == '"') {
      quoted.clear();
      ++i;
      for (;;) {
        const size_t q = text.find('"', i);
        if (q == std::string_view::npos) {  // unterminated: the rest of the file is the field
          quoted.append(text.substr(i));
          i = n;
          break;
        }
        quoted.append(text.substr(i, q - i));
        if (q + 1 < n && text[q + 1] == '"') {
          quoted.push_back('"');
          i = q + 2;
          continue;
        }
        i = q + 1;
        break;
      }
      size_t end = text.find_first_of(stop_set, i);
      if (end == std::string_view::npos) end = n;
      quoted.append(text.substr(i, end - i));
      i = end;
      field = quoted;
    } else {
      size_t end = text.find_first_of(stop_set, i);
      if (end == std::string_view::npos) end = n;
      field = text.substr(i, end - i);
      i = end;
    }
    filler.Put(row, col, field);
    if (i >= n) break;
    if (text[i] == separator) {
      ++i;
      if (col <= host::kMaxColumns) ++col;  // stays past the edge so a later field is refused
      continue;
    }
    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
    ++i;
    if (row <= host::kMaxRows) ++row;
    col = 1;
  }
  workbook->set_saved(true);
  return workbook;
}

host::CellValue ValueFromTypedText(std::string_view text) {
  host::CellValue value = ParseTyped(text).value;
  if (value.type == host::ValueType::kText) value.text = std::string(text);
  return value;
}

std::optional<double> ParseGeneralNumber(std::string_view text) {
  bool grouped, percent, decimals;
  return ParseNumber(text, &grouped, &percent, &decimals);
}

std::string SheetNameForFile(std::string_view file_name) {
  std::string base = std::string(host::BaseName(file_name));
  if (const size_t dot = base.find_last_of('.'); dot != std::string::npos && dot > 0)
    base.resize(dot);
  // File names are bytes; the sheet name must be well-formed text without control characters.
  std::string name;
  for (char32_t cp : host::CodePoints(base)) {
    if (cp < 0x20 || cp == 0x7F ||
        (cp < 0x80 && std::string_view(":\\/?*[]").find(char(cp)) != std::string_view::npos)) {
      cp = '_';
    }
    host::AppendUtf8(name, cp);
  }
  name.resize(host::Utf8Offset(name, 31));
  if (name.empty()) return "Sheet1";
  if (name.front() == '\'') name.front() = '_';
  if (name.back() == '\'') name.back() = '_';
  if (host::SheetNamesEqual(name, "History")) name += "_";
  return name;
}

}  // namespace tessarin::ooxml
