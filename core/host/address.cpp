// Address parsing and formatting in A1 and R1C1 styles.
#include "core/host/address.h"

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

[[noreturn]] void Bad(std::string_view text, std::string_view part, std::string_view why) {
  std::string msg = "\"" + std::string(text) + "\" is not a valid cell address";
  if (part != text) msg += ": \"" + std::string(part) + "\"";
  msg += " ";
  msg += why;
  throw HostError(kErrApplicationDefined, msg);
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One side of a reference: column letters and/or row digits, each optionally after "$".
struct Corner {
  int32_t col = 0;  // 0: none given
  int32_t row = 0;
};

// Parses "$B$3", "B3", "B", "$3"; the result says which parts were present.
bool ParseCorner(std::string_view s, Corner& out, std::string_view text, std::string_view part) {
  size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  const size_t letters_begin = i;
  while (i < s.size() && IsLetter(s[i])) ++i;
  const std::string_view letters = s.substr(letters_begin, i - letters_begin);
  bool dollar_before_row = letters.empty() && letters_begin == 1;
  if (!letters.empty()) {
    out.col = ColumnNumber(letters);
    if (out.col == 0) Bad(text, part, "(the column is past XFD).");
    if (i < s.size() && s[i] == '$') ++i, dollar_before_row = true;
  }
  const size_t digits_begin = i;
  int64_t row = 0;
  while (i < s.size() && IsDigit(s[i])) {
    row = row * 10 + (s[i] - '0');
    if (row > kMaxRows) Bad(text, part, "(the row is past 1048576).");
    ++i;
  }
  if (i != s.size()) return false;
  if (i == digits_begin) return !letters.empty() && !dollar_before_row;  // "B" but not "B$"
  if (row == 0) Bad(text, part, "(rows count from 1).");
  out.row = static_cast<int32_t>(row);
  return true;
}

Area ParsePart(std::string_view part, std::string_view text) {
  if (part.empty()) Bad(text, part, "(an area is empty).");
  const size_t colon = part.find(':');
  Corner a, b;
  if (colon == std::string_view::npos) {
    if (!ParseCorner(part, a, text, part) || a.col == 0 || a.row == 0) {
      Bad(text, part,
          "(expected a cell such as B3, a range such as A1:T8, rows such as 3:5 or "
          "columns such as B:D).");
    }
    return Area::Cell(a.row, a.col);
  }
  std::string_view left = part.substr(0, colon), right = part.substr(colon + 1);
  if (right.find(':') != std::string_view::npos) Bad(text, part, "(more than one \":\").");
  if (!ParseCorner(left, a, text, part) || !ParseCorner(right, b, text, part)) {
    Bad(text, part,
        "(expected a cell such as B3, a range such as A1:T8, rows such as 3:5 or "
        "columns such as B:D).");
  }
  const bool a_cell = a.col && a.row, b_cell = b.col && b.row;
  if (a_cell && b_cell) {
    return {std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row),
            std::max(a.col, b.col)};
  }
  if (!a.col && !b.col) {  // whole rows
    return {std::min(a.row, b.row), 1, std::max(a.row, b.row), kMaxColumns};
  }
  if (!a.row && !b.row) {  // whole columns
    return {1, std::min(a.col, b.col), kMaxRows, std::max(a.col, b.col)};
  }
  Bad(text, part, "(a cell cannot be joined to a whole row or column).");
}

void AppendRow(std::string& out, int32_t row, bool absolute) {
  if (absolute) out += '$';
  out += std::to_string(row);
}

void AppendCol(std::string& out, int32_t col, bool absolute) {
  if (absolute) out += '$';
  out += ColumnLetters(col);
}

}  // namespace

AreaList::AreaList(std::initializer_list<Area> areas) {
  for (const Area& a : areas) push_back(a);
}

void AreaList::push_back(const Area& area) {
  if (size_ == 0) {
    first_ = area;
  } else {
    rest_.push_back(area);
  }
  ++size_;
}

void AreaList::clear() {
  rest_.clear();
  size_ = 0;
}

int64_t AreaList::CellCount() const {
  int64_t n = 0;
  for (const Area& a : *this) n += a.CellCount();
  return n;
}

bool operator==(const AreaList& a, const AreaList& b) {
  if (a.size_ != b.size_) return false;
  for (size_t i = 0; i < a.size_; ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

std::string ColumnLetters(int32_t col) {
  char buf[8];
  int n = 0;
  while (col > 0) {
    const int32_t rem = (col - 1) % 26;
    buf[n++] = static_cast<char>('A' + rem);
    col = (col - 1) / 26;
  }
  return std::string(std::make_reverse_iterator(buf + n), std::make_reverse_iterator(buf));
}

int32_t ColumnNumber(std::string_view letters) {
  if (letters.empty() || letters.size() > 3) return 0;
  int32_t n = 0;
  for (char c : letters) {
    if (!IsLetter(c)) return 0;
    n = n * 26 + ((c | 0x20) - 'a' + 1);
  }
  return n <= kMaxColumns ? n : 0;
}

AreaList ParseAddress(std::string_view text) {
  if (text.empty()) Bad(text, text, "(it is empty).");
  AreaList areas;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string_view part = text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    areas.push_back(ParsePart(part, text));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return areas;
}

Area ParseArea(std::string_view text) {
  AreaList areas = ParseAddress(text);
  if (areas.size() != 1) Bad(text, text, "(one area was expected).");
  return areas.front();
}

std::string FormatA1(const Area& a, bool absolute) {
  std::string out;
  if (a.IsWholeRows()) {
    AppendRow(out, a.top, absolute);
    out += ':';
    AppendRow(out, a.bottom, absolute);
  } else if (a.IsWholeColumns()) {
    AppendCol(out, a.left, absolute);
    out += ':';
    AppendCol(out, a.right, absolute);
  } else {
    AppendCol(out, a.left, absolute);
    AppendRow(out, a.top, absolute);
    if (a.CellCount() > 1) {
      out += ':';
      AppendCol(out, a.right, absolute);
      AppendRow(out, a.bottom, absolute);
    }
  }
  return out;
}

std::string FormatA1(const AreaList& areas, bool absolute) {
  std::string out;
  for (const Area& a : areas) {
    if (!out.empty()) out += ',';
    out += FormatA1(a, absolute);
  }
  return out;
}

std::string FormatR1C1(const Area& a) {
  std::string out;
  if (a.IsWholeRows()) {
    out = "R" + std::to_string(a.top);
    if (a.bottom != a.top) out += ":R" + std::to_string(a.bottom);
  } else if (a.IsWholeColumns()) {
    out = "C" + std::to_string(a.left);
    if (a.right != a.left) out += ":C" + std::to_string(a.right);
  } else {
    out = "R" + std::to_string(a.top) + "C" + std::to_string(a.left);
    if (a.CellCount() > 1) out += ":R" + std::to_string(a.bottom) + "C" + std::to_string(a.right);
  }
  return out;
}

std::string FormatR1C1(const AreaList& areas) {
  std::string out;
  for (const Area& a : areas) {
    if (!out.empty()) out += ',';
    out += FormatR1C1(a);
  }
  return out;
}

}  // namespace tessarin::host
