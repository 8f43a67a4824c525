// Text import: decoding, field splitting and the General-cell reading of each field.
#include "core/ooxml/text_import.h"

#include <string>

#include "core/host/geometry.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"
#include "core/host/typed_input.h"

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
    const host::TypedValue typed = host::ReadTyped(field, host::TypedFrom::kTextFile);
    switch (typed.value.type) {
      case host::ValueType::kNumber:
        sheet_.SetNumber(row, col, typed.value.number);
        break;
      case host::ValueType::kText:
        sheet_.SetText(row, col, typed.text);
        break;
      default:
        sheet_.SetValue(row, col, typed.value);
        break;
    }
    if (!typed.number_format.empty()) sheet_.SetStyle(row, col, FormatStyle(typed.number_format));
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
    // Text that is not UTF-16 after all is tried in the byte encodings.
    if (std::optional<std::string> utf8 = host::TryUtf16LeToUtf8(bytes))
      return {std::move(*utf8), TextEncoding::kUtf16Le};
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
