// Numbers and A1 references as workbook files write them: shortest round-trip decimals, lenient
// number parsing, column letters and cell and area references.
#include "core/ooxml/value_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/host/address.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

void AppendAttrNumber(std::string& out, std::string_view name, double value) {
  out.push_back(' ');
  out.append(name);
  out.append("=\"");
  AppendNumber(out, value);
  out.push_back('"');
}

void AppendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) value = 0;
  if (value == 0) value = 0;  // no "-0"
  char buf[32];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
  for (char* q = buf; q < p; ++q) {
    if (*q == 'e') *q = 'E';
  }
  out.append(buf, p);
}

void AppendInt(std::string& out, int64_t value) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, p);
}

namespace {

// The value of `text` when it is nothing but 1 to 15 decimal digits (every such number is a
// double exactly), else -1: the common case, read without the general parsers.
int64_t PlainDigits(std::string_view text) {
  if (text.empty() || text.size() > 15) return -1;
  int64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

bool ParseDouble(std::string_view text, double& value) {
  const bool minus = !text.empty() && text.front() == '-';
  if (const int64_t v = PlainDigits(text.substr(minus ? 1 : 0)); v >= 0) {
    value = minus ? -static_cast<double>(v) : static_cast<double>(v);
    return true;
  }
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && p == text.data() + text.size() && std::isfinite(value);
}

bool ParseInt(std::string_view text, int64_t& value) {
  if (const int64_t v = PlainDigits(text); v >= 0) {
    value = v;
    return true;
  }
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc() && p == text.data() + text.size()) return true;
  // Some writers give integers as "10.0".
  double d;
  if (ParseDouble(text, d) && d == std::floor(d) && std::fabs(d) < 9e15) {
    value = static_cast<int64_t>(d);
    return true;
  }
  return false;
}

bool ParseBool(std::string_view text, bool fallback) {
  if (text == "1" || text == "true" || text == "on") return true;
  if (text == "0" || text == "false" || text == "off") return false;
  return fallback;
}

// ---------------------------------------------------------------------------------------------
// References

void AppendColumnName(std::string& out, int32_t col) { out += host::ColumnLetters(col); }

std::string ColumnName(int32_t col) { return host::ColumnLetters(col); }

void AppendCellRef(std::string& out, int32_t row, int32_t col) {
  AppendColumnName(out, col);
  char buf[12];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, row);
  out.append(buf, p);
}

std::string CellRefText(int32_t row, int32_t col) {
  std::string s;
  AppendCellRef(s, row, col);
  return s;
}

std::string AreaText(const host::Area& a) {
  if (a.top == a.bottom && a.left == a.right) return CellRefText(a.top, a.left);
  if (a.IsWholeColumns() && !a.IsWholeRows()) return ColumnName(a.left) + ":" + ColumnName(a.right);
  if (a.IsWholeRows() && !a.IsWholeColumns()) {
    return std::to_string(a.top) + ":" + std::to_string(a.bottom);
  }
  return CellRefText(a.top, a.left) + ":" + CellRefText(a.bottom, a.right);
}

namespace {

// Parses [$]letters and/or [$]digits at text[i...]; fills what it finds.
size_t ParseRefPart(std::string_view text, size_t i, int64_t& row, int64_t& col, bool& has_row,
                    bool& has_col) {
  has_row = has_col = false;
  row = col = 0;
  if (i < text.size() && text[i] == '$') ++i;
  const size_t letters = i;
  while (i < text.size() &&
         ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
    ++i;
  has_col = i > letters;
  col = host::ColumnNumber(text.substr(letters, i - letters));  // 0, refused, past column XFD
  if (i < text.size() && text[i] == '$') ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 8) {
    row = row * 10 + (text[i] - '0');
    ++i, ++digits;
  }
  has_row = digits > 0;
  return i;
}

}  // namespace

bool ParseCellRef(std::string_view text, int32_t& row, int32_t& col) {
  // The common "AB123" (capitals, then digits) in one pass; anything else the general way.
  size_t i = 0;
  int32_t fast_col = 0, fast_row = 0;
  for (; i < text.size() && i < 3 && text[i] >= 'A' && text[i] <= 'Z'; ++i)
    fast_col = fast_col * 26 + (text[i] - 'A' + 1);
  const size_t letters = i;
  for (; i < text.size() && i - letters < 7 && text[i] >= '0' && text[i] <= '9'; ++i)
    fast_row = fast_row * 10 + (text[i] - '0');
  if (i == text.size() && letters > 0 && i > letters && host::IsValidCell(fast_row, fast_col)) {
    row = fast_row;
    col = fast_col;
    return true;
  }
  int64_t r, c;
  bool hr, hc;
  const size_t end = ParseRefPart(text, 0, r, c, hr, hc);
  if (end != text.size() || !hr || !hc || !host::IsValidCell(r, c)) return false;
  row = static_cast<int32_t>(r);
  col = static_cast<int32_t>(c);
  return true;
}

bool ParseArea(std::string_view text, host::Area& area) {
  const size_t colon = text.find(':');
  std::string_view a = text.substr(0, colon);
  std::string_view b = colon == std::string_view::npos ? a : text.substr(colon + 1);
  int64_t r1, c1, r2, c2;
  bool hr1, hc1, hr2, hc2;
  if (ParseRefPart(a, 0, r1, c1, hr1, hc1) != a.size() ||
      ParseRefPart(b, 0, r2, c2, hr2, hc2) != b.size()) {
    return false;
  }
  if (hr1 != hr2 || hc1 != hc2 || (!hr1 && !hc1)) return false;
  if (!hr1) r1 = 1, r2 = host::kMaxRows;
  if (!hc1) c1 = 1, c2 = host::kMaxColumns;
  if (!host::IsValidCell(r1, c1) || !host::IsValidCell(r2, c2)) return false;
  area = {static_cast<int32_t>(std::min(r1, r2)), static_cast<int32_t>(std::min(c1, c2)),
          static_cast<int32_t>(std::max(r1, r2)), static_cast<int32_t>(std::max(c1, c2))};
  return true;
}

}  // namespace tessarin::ooxml
