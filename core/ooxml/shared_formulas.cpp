// Shared formulas: a formula written once for a range, moved to each of its cells on reading,
// and written as a group again on saving while its cells still hold what the group gives them.
#include "core/ooxml/worksheet_part.h"

#include "core/host/formula_refs.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

using host::Area;

bool IsIdentChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
         c == '$' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::string ShiftFormula(std::string_view f, int32_t dr, int32_t dc) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {  // a string or a quoted sheet name
      const size_t j = host::QuotedEnd(f, i);
      out.append(f.substr(i, j - i));
      i = j;
    } else if (c == '[') {
      int depth = 0;
      size_t j = i;
      for (; j < f.size(); ++j) {
        if (f[j] == '[') ++depth;
        else if (f[j] == ']' && --depth == 0) break;
      }
      out.append(f.substr(i, std::min(j + 1, f.size()) - i));
      i = j + 1;
    } else if ((c >= '0' && c <= '9') || (c == '.' && i + 1 < f.size() && f[i + 1] >= '0' && f[i + 1] <= '9')) {
      size_t j = i;
      while (j < f.size() && ((f[j] >= '0' && f[j] <= '9') || f[j] == '.')) ++j;
      if (j < f.size() && (f[j] == 'E' || f[j] == 'e')) {
        size_t k = j + 1;
        if (k < f.size() && (f[k] == '+' || f[k] == '-')) ++k;
        if (k < f.size() && f[k] >= '0' && f[k] <= '9') {
          j = k;
          while (j < f.size() && f[j] >= '0' && f[j] <= '9') ++j;
        }
      }
      out.append(f.substr(i, j - i));
      i = j;
    } else if (IsIdentChar(c)) {
      size_t j = i;
      while (j < f.size() && IsIdentChar(f[j])) ++j;
      const std::string_view tok = f.substr(i, j - i);
      const char next = j < f.size() ? f[j] : '\0';
      // A cell reference: [$]letters[$]digits, not a function name or a sheet name.
      size_t k = 0;
      const bool abs_col = k < tok.size() && tok[k] == '$';
      if (abs_col) ++k;
      const size_t letters_begin = k;
      int64_t col = 0;
      while (k < tok.size() && k - letters_begin < 4 && ((tok[k] >= 'A' && tok[k] <= 'Z') || (tok[k] >= 'a' && tok[k] <= 'z'))) {
        col = col * 26 + ((tok[k] & ~0x20) - 'A' + 1);
        ++k;
      }
      const size_t letters = k - letters_begin;
      const bool abs_row = k < tok.size() && tok[k] == '$';
      if (abs_row) ++k;
      const size_t digits_begin = k;
      int64_t row = 0;
      while (k < tok.size() && tok[k] >= '0' && tok[k] <= '9' && k - digits_begin < 8) row = row * 10 + (tok[k++] - '0');
      const bool is_ref = letters >= 1 && letters <= 3 && k > digits_begin && k == tok.size() && next != '(' &&
                          next != '!' && host::IsValidCell(row, col);
      if (!is_ref) {
        out.append(tok);
      } else {
        if (!abs_col) col += dc;
        if (!abs_row) row += dr;
        if (!host::IsValidCell(row, col)) {
          out.append("#REF!");
        } else {
          if (abs_col) out.push_back('$');
          AppendColumnName(out, static_cast<int32_t>(col));
          if (abs_row) out.push_back('$');
          AppendInt(out, row);
        }
      }
      i = j;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

namespace {

std::string_view AttrIn(std::string_view attrs, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const size_t p = attrs.find(key);
  if (p == std::string_view::npos) return {};
  const size_t b = p + key.size();
  const size_t e = attrs.find('"', b);
  return e == std::string_view::npos ? std::string_view() : attrs.substr(b, e - b);
}

}  // namespace

std::string WorksheetWriter::SharedMaster(int32_t row, int32_t col, std::string_view attrs, const std::string& formula) {
  const std::string_view si = AttrIn(attrs, "si");
  Area ref;
  if (si.empty() || !ParseArea(AttrIn(attrs, "ref"), ref) || ref.top != row || ref.left != col) return {};
  shared_groups_[std::string(si)] = {formula, ref};
  return std::string(attrs);
}

bool WorksheetWriter::SharedChild(int32_t row, int32_t col, std::string_view attrs, const std::string& formula) {
  if (!AttrIn(attrs, "ref").empty()) return false;
  auto it = shared_groups_.find(std::string(AttrIn(attrs, "si")));
  if (it == shared_groups_.end() || !it->second.area.Contains(row, col)) return false;
  // The cell still holds what the group gives it.
  return ShiftFormula(it->second.formula, row - it->second.area.top, col - it->second.area.left) == formula;
}

}  // namespace tessarin::ooxml
