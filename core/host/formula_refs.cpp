// Reference conversion for formula text: a small scanner that skips strings and names.
#include "core/host/formula_refs.h"

#include <algorithm>
#include <optional>

#include "core/host/address.h"
#include "core/host/geometry.h"

namespace tessarin::host {
namespace {

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

// Calls `convert(word)` for every word that is not inside quotes and not a function or sheet
// name, and
// copies everything else as it stands.
template <typename Convert>
std::string Rewrite(std::string_view f, Convert convert) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {  // string literal or quoted sheet name
      const size_t j = QuotedEnd(f, i);
      out.append(f.substr(i, j - i));
      i = j;
    } else if (IsWordChar(c) || c == '[') {
      size_t j = i;
      // R[1]C[-1] has brackets inside the word.
      while (j < f.size() && (IsWordChar(f[j]) || f[j] == '[' || f[j] == ']' ||
                              (f[j] == '-' && j > i && f[j - 1] == '['))) {
        ++j;
      }
      std::string_view word = f.substr(i, j - i);
      // A word before "(" names a function, before "!" a sheet: neither is a reference.
      const bool name = j < f.size() && (f[j] == '(' || f[j] == '!');
      std::optional<std::string> replaced;
      if (!name) replaced = convert(word);
      out.append(replaced ? *replaced : std::string(word));
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

// A cell reference in A1 style: "B3", "$B3", "B$3", "$B$3".
struct A1Ref {
  bool col_abs = false;
  bool row_abs = false;
  int64_t col = 0;
  int64_t row = 0;
};

std::optional<A1Ref> ParseA1Word(std::string_view w) {
  A1Ref ref;
  size_t i = 0;
  ref.col_abs = i < w.size() && w[i] == '$';
  if (ref.col_abs) ++i;
  size_t l = i;
  while (i < w.size() && ((w[i] >= 'A' && w[i] <= 'Z') || (w[i] >= 'a' && w[i] <= 'z'))) ++i;
  if (i == l || i - l > 3) return std::nullopt;
  ref.col = ColumnNumber(w.substr(l, i - l));
  ref.row_abs = i < w.size() && w[i] == '$';
  if (ref.row_abs) ++i;
  size_t d = i;
  while (i < w.size() && w[i] >= '0' && w[i] <= '9' && ref.row <= kMaxRows)
    ref.row = ref.row * 10 + (w[i++] - '0');
  if (i == d || i != w.size() || ref.col == 0 || ref.row < 1 || ref.row > kMaxRows)
    return std::nullopt;
  return ref;
}

std::optional<std::string> A1WordToR1C1(std::string_view w, int32_t row, int32_t col) {
  const std::optional<A1Ref> ref = ParseA1Word(w);
  if (!ref) return std::nullopt;
  std::string out = "R";
  if (ref->row_abs) {
    out += std::to_string(ref->row);
  } else if (ref->row != row) {
    out += "[" + std::to_string(ref->row - row) + "]";
  }
  out += "C";
  if (ref->col_abs) {
    out += std::to_string(ref->col);
  } else if (ref->col != col) {
    out += "[" + std::to_string(ref->col - col) + "]";
  }
  return out;
}

std::string A1Text(bool col_abs, int64_t col, bool row_abs, int64_t row) {
  if (!IsValidCell(row, col)) return "#REF!";
  std::string out;
  if (col_abs) out += '$';
  out += ColumnLetters(static_cast<int32_t>(col));
  if (row_abs) out += '$';
  out += std::to_string(row);
  return out;
}

// Parses one "R", "R3" or "R[-2]" part; returns false when it is not one.
bool ParseR1C1Part(std::string_view w, size_t& i, char letter, bool& present, bool& relative,
                   int64_t& n) {
  present = false;
  relative = true;
  n = 0;
  if (i >= w.size() || (w[i] | 0x20) != (letter | 0x20)) return true;
  present = true;
  ++i;
  if (i < w.size() && w[i] == '[') {
    ++i;
    bool neg = false;
    if (i < w.size() && (w[i] == '-' || w[i] == '+')) neg = w[i++] == '-';
    size_t d = i;
    while (i < w.size() && w[i] >= '0' && w[i] <= '9' && n < 10000000) n = n * 10 + (w[i++] - '0');
    if (i == d || i >= w.size() || w[i] != ']') return false;
    ++i;
    if (neg) n = -n;
  } else if (i < w.size() && w[i] >= '0' && w[i] <= '9') {
    relative = false;
    while (i < w.size() && w[i] >= '0' && w[i] <= '9' && n < 10000000) n = n * 10 + (w[i++] - '0');
  }
  return true;
}

std::optional<std::string> R1C1WordToA1(std::string_view w, int32_t row, int32_t col) {
  size_t i = 0;
  bool r_present, r_rel, c_present, c_rel;
  int64_t rn, cn;
  if (!ParseR1C1Part(w, i, 'R', r_present, r_rel, rn)) return std::nullopt;
  if (!ParseR1C1Part(w, i, 'C', c_present, c_rel, cn)) return std::nullopt;
  // Both parts are needed: a lone "R" or "C" is more likely a name than a whole row or column.
  if (i != w.size() || !r_present || !c_present) return std::nullopt;
  return A1Text(!c_rel, c_rel ? col + cn : cn, !r_rel, r_rel ? row + rn : rn);
}

}  // namespace

size_t QuotedEnd(std::string_view f, size_t open) {
  const char quote = f[open];
  size_t j = open + 1;
  while (j < f.size()) {
    if (f[j] == quote) {
      if (j + 1 < f.size() && f[j + 1] == quote) {
        j += 2;
        continue;
      }
      break;
    }
    ++j;
  }
  return std::min(j + 1, f.size());
}

std::string FormulaA1ToR1C1(std::string_view formula, int32_t row, int32_t col) {
  return Rewrite(formula, [&](std::string_view w) { return A1WordToR1C1(w, row, col); });
}

std::string FormulaR1C1ToA1(std::string_view formula, int32_t row, int32_t col) {
  return Rewrite(formula, [&](std::string_view w) { return R1C1WordToA1(w, row, col); });
}

std::string ShiftFormula(std::string_view formula, int32_t rows, int32_t cols) {
  return Rewrite(formula, [&](std::string_view w) -> std::optional<std::string> {
    const std::optional<A1Ref> ref = ParseA1Word(w);
    if (!ref) return std::nullopt;
    return A1Text(ref->col_abs, ref->col_abs ? ref->col : ref->col + cols, ref->row_abs,
                  ref->row_abs ? ref->row : ref->row + rows);
  });
}

}  // namespace tessarin::host
