// Number formats: parsing a format code ("#,##0", "[$-F800]", "0.0;[Red]-0.0;\"-\"") into
// sections of tokens with their layout, and the cache of parsed codes. Owns the grammar of codes.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/host/number_format.h"
#include "core/host/number_format_internal.h"
#include "core/host/text_util.h"

namespace tessarin::host::number_format_internal {

constexpr size_t kCacheLimit = 512;

bool IStartsWith(std::string_view s, size_t pos, std::string_view prefix) {
  return s.size() - pos >= prefix.size() &&
         EqualsIgnoringAsciiCase(s.substr(pos, prefix.size()), prefix);
}

size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

void AddLiteral(std::vector<Token>* tokens, std::string_view text) {
  if (text.empty()) return;
  if (!tokens->empty() && tokens->back().kind == Kind::kLiteral) {
    tokens->back().text.append(text);
  } else {
    tokens->push_back(Token{Kind::kLiteral, 0, false, 0, std::string(text)});
  }
}

void AddToken(std::vector<Token>* tokens, Kind kind, char ch = 0, int count = 0) {
  tokens->push_back(Token{kind, ch, false, count, {}});
}

bool ParseBracket(std::string_view content, Section* section) {
  if (content.empty()) return false;
  static constexpr std::string_view kColours[] = {"black",   "blue", "cyan",  "green",
                                                  "magenta", "red",  "white", "yellow"};
  for (std::string_view c : kColours) {
    if (EqualsIgnoringAsciiCase(content, c)) return true;
  }
  if (IStartsWith(content, 0, "color")) {
    int n = 0;
    auto res = std::from_chars(content.data() + 5, content.data() + content.size(), n);
    return res.ec == std::errc() && res.ptr == content.data() + content.size() && n >= 1 && n <= 56;
  }
  if (IStartsWith(content, 0, "dbnum") || IStartsWith(content, 0, "natnum")) return true;
  const char first = content[0];
  if (first == '<' || first == '>' || first == '=') {
    if (section->op != Op::kNone) return false;
    size_t n = 1;
    if (content.starts_with("<=")) {
      section->op = Op::kLe, n = 2;
    } else if (content.starts_with(">=")) {
      section->op = Op::kGe, n = 2;
    } else if (content.starts_with("<>")) {
      section->op = Op::kNe, n = 2;
    } else {
      section->op = first == '<' ? Op::kLt : first == '>' ? Op::kGt : Op::kEq;
    }
    std::string_view number = content.substr(n);
    if (!number.empty() && number[0] == '+') number.remove_prefix(1);
    auto res = std::from_chars(number.data(), number.data() + number.size(), section->operand);
    return res.ec == std::errc() && res.ptr == number.data() + number.size();
  }
  if (first == '$') {
    const size_t dash = content.find('-');
    AddLiteral(&section->tokens,
               content.substr(1, dash == std::string_view::npos ? dash : dash - 1));
    if (dash != std::string_view::npos) {
      std::string_view locale = content.substr(dash + 1);
      // The system date and time formats of the host's locale.
      if (EqualsIgnoringAsciiCase(locale, "F800"))
        section->system_code = "yyyy\"年\"m\"月\"d\"日\"";
      if (EqualsIgnoringAsciiCase(locale, "F400")) section->system_code = "h:mm:ss";
      // The first year of an era as "元" rather than 1.
      if (EqualsIgnoringAsciiCase(locale, "ja-JP-x-gannen")) section->gannen = true;
    }
    return true;
  }
  const char c = AsciiLower(first);
  if (c == 'h' || c == 'm' || c == 's') {
    for (char x : content) {
      if (AsciiLower(x) != c) return false;
    }
    AddToken(&section->tokens, Kind::kElapsed, c, static_cast<int>(content.size()));
    return true;
  }
  return false;
}

// Adds the token of a character that stands alone: a digit placeholder, a fixed digit, the
// decimal point or other number punctuation, the text placeholder. False when `c` is none.
bool AddCharacterToken(std::vector<Token>* t, char c) {
  switch (c) {
    case '0':
    case '#':
    case '?':
      AddToken(t, Kind::kDigit, c);
      return true;
    case '.':
      AddToken(t, Kind::kPoint);
      return true;
    case ',':
      AddToken(t, Kind::kComma);
      return true;
    case '%':
      AddToken(t, Kind::kPercent);
      return true;
    case '/':
      AddToken(t, Kind::kSlash);
      return true;
    case '@':
      AddToken(t, Kind::kText);
      return true;
    default:
      break;
  }
  if (c < '1' || c > '9') return false;
  AddToken(t, Kind::kFixedDigit, c);
  return true;
}

// Adds the token of a word at s[i]: General (G/標準) or an AM/PM marker. Returns the length of
// the word, 0 (adding nothing) when none starts there.
size_t AddWordToken(std::vector<Token>* t, std::string_view s, size_t i) {
  const char c = s[i];
  if (IStartsWith(s, i, "general")) {
    AddToken(t, Kind::kGeneral);
    return 7;
  }
  if (s.substr(i).starts_with("G/標準")) {
    AddToken(t, Kind::kGeneral);
    return std::string_view("G/標準").size();
  }
  if (IStartsWith(s, i, "am/pm")) {
    AddToken(t, Kind::kAmPm, c == 'a' ? 'a' : 'A');
    return 5;
  }
  if (IStartsWith(s, i, "a/p")) {
    AddToken(t, Kind::kAmPm, c == 'a' ? 'p' : 'P');
    return 3;
  }
  if (s.substr(i).starts_with("午前/午後")) {
    AddToken(t, Kind::kAmPm, 'J');
    return std::string_view("午前/午後").size();
  }
  return 0;
}

bool Tokenize(std::string_view s, Section* section) {
  std::vector<Token>& t = section->tokens;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    const char lc = AsciiLower(c);
    switch (c) {
      case '"': {
        const size_t end = s.find('"', i + 1);
        if (end == std::string_view::npos) return false;
        AddLiteral(&t, s.substr(i + 1, end - i - 1));
        i = end + 1;
        continue;
      }
      case '\\':
      case '_':
      case '*': {
        if (i + 1 >= n) return false;
        const size_t len = std::min(Utf8Length(static_cast<unsigned char>(s[i + 1])), n - i - 1);
        if (c == '\\') AddLiteral(&t, s.substr(i + 1, len));
        if (c == '_') AddLiteral(&t, " ");  // the width of the next character: one space
        i += 1 + len;                       // '*' fills the cell: nothing to show in text
        continue;
      }
      case '[': {
        const size_t end = s.find(']', i + 1);
        if (end == std::string_view::npos) return false;
        if (!ParseBracket(s.substr(i + 1, end - i - 1), section)) return false;
        i = end + 1;
        continue;
      }
      default:
        break;
    }
    if (AddCharacterToken(&t, c)) {
      ++i;
      continue;
    }
    if (lc == 'e' && i + 1 < n && (s[i + 1] == '+' || s[i + 1] == '-')) {
      t.push_back(Token{Kind::kExponent, c, s[i + 1] == '+', 0, {}});
      i += 2;
      continue;
    }
    if (const size_t word = AddWordToken(&t, s, i); word > 0) {
      i += word;
      continue;
    }
    if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 's' || lc == 'g' || lc == 'e' ||
        lc == 'a') {
      size_t j = i;
      while (j < n && AsciiLower(s[j]) == lc) ++j;
      const int count = static_cast<int>(j - i);
      if (lc == 'a' && count < 3) return false;
      AddToken(&t, Kind::kDate, lc, count);
      i = j;
      continue;
    }
    if (static_cast<unsigned char>(c) >= 0x80) {
      const size_t len = std::min(Utf8Length(static_cast<unsigned char>(c)), n - i);
      AddLiteral(&t, s.substr(i, len));
      i += len;
      continue;
    }
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return false;  // no such code
    AddLiteral(&t, s.substr(i, 1));
    ++i;
  }
  return true;
}

// Literal text for a token that has no role in the section it stands in.
std::string_view LiteralOf(const Token& token) {
  switch (token.kind) {
    case Kind::kPoint:
      return ".";
    case Kind::kComma:
      return ",";
    case Kind::kPercent:
      return "%";
    case Kind::kSlash:
      return "/";
    case Kind::kFixedDigit:
      return std::string_view(&token.ch, 1);
    default:
      return {};
  }
}

bool IsDateCode(const Token& t) { return t.kind == Kind::kDate || t.kind == Kind::kElapsed; }

bool LayoutDate(Section* section) {
  std::vector<Token> out;
  const std::vector<Token>& in = section->tokens;
  for (size_t i = 0; i < in.size(); ++i) {
    const Token& t = in[i];
    switch (t.kind) {
      case Kind::kDigit:
      case Kind::kGeneral:
      case Kind::kText:
        return false;
      case Kind::kPoint: {
        // "ss.00": fractions of a second right after the seconds.
        size_t j = i + 1;
        while (j < in.size() && in[j].kind == Kind::kDigit && in[j].ch == '0') ++j;
        const bool after_seconds = !out.empty() && out.back().ch == 's' && IsDateCode(out.back());
        if (after_seconds && j > i + 1) {
          const int digits = static_cast<int>(std::min<size_t>(j - i - 1, 3));
          AddToken(&out, Kind::kSubsecond, 0, digits);
          section->subsecond_digits = std::max(section->subsecond_digits, digits);
          i = j - 1;
        } else {
          AddLiteral(&out, ".");
        }
        break;
      }
      case Kind::kExponent:
        // "e-" in a date is the era year followed by a literal sign.
        AddToken(&out, Kind::kDate, 'e', 1);
        AddLiteral(&out, t.plus ? "+" : "-");
        break;
      case Kind::kLiteral:
        AddLiteral(&out, t.text);
        break;
      case Kind::kDate:
      case Kind::kElapsed:
      case Kind::kAmPm:
        out.push_back(t);
        if (t.kind == Kind::kAmPm) section->hour12 = true;
        break;
      default:
        AddLiteral(&out, LiteralOf(t));
        break;
    }
  }
  // "m" and "mm" are minutes right after an hour code or right before a seconds code.
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].kind != Kind::kDate || out[i].ch != 'm' || out[i].count > 2) continue;
    const Token* prev = nullptr;
    for (size_t j = i; j-- > 0;) {
      if (IsDateCode(out[j])) {
        prev = &out[j];
        break;
      }
    }
    const Token* next = nullptr;
    for (size_t j = i + 1; j < out.size(); ++j) {
      if (IsDateCode(out[j])) {
        next = &out[j];
        break;
      }
    }
    if ((prev && prev->ch == 'h') || (next && next->ch == 's')) out[i].ch = 'n';
  }
  section->tokens = std::move(out);
  section->type = SectionType::kDate;
  return true;
}

bool LayoutText(Section* section) {
  std::vector<Token> out;
  for (const Token& t : section->tokens) {
    switch (t.kind) {
      case Kind::kLiteral:
        AddLiteral(&out, t.text);
        break;
      case Kind::kText:
        out.push_back(t);
        break;
      case Kind::kComma:
      case Kind::kPercent:
      case Kind::kSlash:
      case Kind::kFixedDigit:
      case Kind::kPoint:
        AddLiteral(&out, LiteralOf(t));
        break;
      default:
        return false;
    }
  }
  section->tokens = std::move(out);
  section->type = SectionType::kText;
  return true;
}

bool IsPlaceholder(const std::vector<Token>& t, size_t i) {
  return i < t.size() && t[i].kind == Kind::kDigit;
}

// The "/" of a fraction: placeholders before it, then placeholders or a fixed denominator;
// t.size() when there is none.
size_t FindFractionSlash(const std::vector<Token>& t) {
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    if (t[i].kind == Kind::kSlash && t[i - 1].kind == Kind::kDigit &&
        (t[i + 1].kind == Kind::kDigit || t[i + 1].kind == Kind::kFixedDigit)) {
      return i;
    }
  }
  return t.size();
}

// The first token of `kind` before token `end`, or t.size().
size_t FindKind(const std::vector<Token>& t, Kind kind, size_t end) {
  for (size_t i = 0; i < end; ++i) {
    if (t[i].kind == kind) return i;
  }
  return t.size();
}

// Lays out a fraction whose "/" is token `slash`: numerator and denominator placeholders, the
// integer part before them, everything else literal text. False when the code is no fraction a
// cell can show.
bool LayoutFraction(Section* section, size_t slash) {
  std::vector<Token>& t = section->tokens;
  section->fraction = true;
  size_t num_begin = slash;
  while (num_begin > 0 && t[num_begin - 1].kind == Kind::kDigit) --num_begin;
  size_t den_end = slash + 1;
  bool fixed = false, placeholders = false;
  while (den_end < t.size() &&
         (t[den_end].kind == Kind::kDigit || t[den_end].kind == Kind::kFixedDigit)) {
    // A fixed denominator may contain zeros after its first digit ("?/10").
    if (t[den_end].kind == Kind::kFixedDigit || (fixed && t[den_end].ch == '0')) {
      fixed = true;
    } else {
      placeholders = true;
    }
    ++den_end;
  }
  if (fixed && placeholders) return false;
  // A fixed denominator past eight digits is no fraction a cell can show (and would overflow).
  if (fixed && den_end - (slash + 1) > 8) return false;
  for (size_t i = slash + 1; i < den_end; ++i) {
    if (fixed) section->fixed_denominator = section->fixed_denominator * 10 + (t[i].ch - '0');
    t[i].kind = Kind::kDenominator;
    ++section->denominator_digits;
  }
  for (size_t i = num_begin; i < slash; ++i) t[i].kind = Kind::kNumerator;
  int places = 0;
  for (size_t i = num_begin; i-- > 0;) {
    if (t[i].kind == Kind::kDigit) {
      t[i].kind = Kind::kIntDigit;
      t[i].count = places++;
    } else if (t[i].kind == Kind::kComma) {
      section->grouping = true;
      t[i] = Token{Kind::kLiteral, 0, false, 0, {}};
    }
  }
  section->int_digits = places;
  section->has_int_part = places > 0;
  for (Token& x : t) {
    if (x.kind == Kind::kPercent) section->scale += 2;
    if (x.kind == Kind::kDigit || x.kind == Kind::kExponent) return false;
    if (x.kind != Kind::kIntDigit && x.kind != Kind::kNumerator && x.kind != Kind::kDenominator &&
        x.kind != Kind::kLiteral && &x != &t[slash]) {
      x.text = std::string(LiteralOf(x));
      x.kind = Kind::kLiteral;
    }
  }
  return true;
}

// The run of commas that starts at token `i` of a decimal layout: a thousands separator
// between integer placeholders, a scale by thousands after the last digit ("0,"), else text.
// Returns the index of the run's last comma.
size_t LayoutCommas(Section* section, size_t i, size_t point, size_t exponent, size_t last_digit) {
  std::vector<Token>& t = section->tokens;
  size_t j = i;
  while (j < t.size() && t[j].kind == Kind::kComma) ++j;
  bool digit_before = false;
  for (size_t k = 0; k < i; ++k) digit_before |= t[k].kind == Kind::kIntDigit;
  const bool after_digits =
      i > 0 && (t[i - 1].kind == Kind::kIntDigit || t[i - 1].kind == Kind::kFracDigit ||
                t[i - 1].kind == Kind::kDecimalPoint);
  std::string text;
  if (i < point && i < exponent && digit_before && IsPlaceholder(t, j)) {
    section->grouping = true;  // between integer placeholders: a separator, not text
  } else if (after_digits && i > last_digit && i < exponent) {
    section->scale -= 3 * static_cast<int>(j - i);  // "0," shows thousands
  } else {
    text.assign(j - i, ',');
  }
  for (size_t k = i; k < j; ++k) t[k] = Token{Kind::kLiteral, 0, false, 0, {}};
  t[i].text = std::move(text);
  return j - 1;
}

// Lays out a decimal number, scientific when token `exponent` (< t.size()) is an "E+": integer,
// fraction and exponent placeholders, the decimal point, separators and scales. False when the
// code holds a second exponent.
bool LayoutDecimal(Section* section, size_t exponent) {
  std::vector<Token>& t = section->tokens;
  const size_t point = FindKind(t, Kind::kPoint, exponent);
  size_t last_digit = t.size();
  for (size_t i = 0; i < exponent; ++i) {
    if (t[i].kind == Kind::kDigit) last_digit = i;
  }
  for (size_t i = 0; i < t.size(); ++i) {
    Token& x = t[i];
    switch (x.kind) {
      case Kind::kDigit:
        x.kind = i > exponent ? Kind::kExpDigit : i > point ? Kind::kFracDigit : Kind::kIntDigit;
        if (x.kind == Kind::kExpDigit && x.ch == '0') ++section->exp_min_digits;
        if (x.kind == Kind::kFracDigit) ++section->frac_digits;
        if (x.kind == Kind::kIntDigit) ++section->int_digits;
        break;
      case Kind::kPoint:
        if (i == point) {
          x.kind = Kind::kDecimalPoint;
        } else {
          x = Token{Kind::kLiteral, 0, false, 0, "."};
        }
        break;
      case Kind::kComma:
        i = LayoutCommas(section, i, point, exponent, last_digit);
        break;
      case Kind::kPercent:
        section->scale += 2;
        x = Token{Kind::kLiteral, 0, false, 0, "%"};
        break;
      case Kind::kSlash:
      case Kind::kFixedDigit:
        x = Token{Kind::kLiteral, 0, false, 0, std::string(LiteralOf(x))};
        break;
      default:
        break;
    }
  }
  if (exponent < t.size()) {
    section->scientific = true;
    for (size_t i = exponent + 1; i < t.size(); ++i) {
      if (t[i].kind == Kind::kExponent) return false;
    }
    // "##0.0E+0": the exponent steps by the width of the integer part.
    const size_t first = FindKind(t, Kind::kIntDigit, exponent);
    const bool hash_first = first < t.size() && t[first].ch == '#';
    section->engineering = hash_first && section->int_digits > 1;
  }
  // Places of the integer placeholders, counted from the units.
  int place = 0;
  for (size_t i = std::min(point, exponent); i-- > 0;) {
    if (t[i].kind == Kind::kIntDigit) t[i].count = place++;
  }
  return true;
}

bool LayoutNumber(Section* section) {
  const std::vector<Token>& t = section->tokens;
  bool has_general = false;
  bool has_digits = false;
  for (const Token& x : t) {
    if (x.kind == Kind::kText) return false;
    has_general |= x.kind == Kind::kGeneral;
    has_digits |= x.kind == Kind::kDigit;
  }
  if (has_general && has_digits) return false;
  const size_t slash = FindFractionSlash(t);
  const size_t exponent = FindKind(t, Kind::kExponent, t.size());
  if (slash < t.size() && exponent < t.size()) return false;
  return slash < t.size() ? LayoutFraction(section, slash) : LayoutDecimal(section, exponent);
}

bool ParseSection(std::string_view code, Section* section, int depth = 0) {
  if (!Tokenize(code, section)) return false;
  if (!section->system_code.empty() && depth == 0) {
    Section replacement;
    if (!ParseSection(section->system_code, &replacement, 1)) return false;
    replacement.op = section->op;
    replacement.operand = section->operand;
    *section = std::move(replacement);
    return true;
  }
  bool date = false, text = false;
  for (const Token& t : section->tokens) {
    date |= t.kind == Kind::kDate || t.kind == Kind::kElapsed || t.kind == Kind::kAmPm;
    text |= t.kind == Kind::kText;
  }
  if (date) return LayoutDate(section);
  if (text) return LayoutText(section);
  return LayoutNumber(section);
}

std::vector<std::string_view> SplitSections(std::string_view code) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const size_t end = code.find('"', i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      const size_t end = code.find(']', i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == ';') {
      parts.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(code.substr(start));
  return parts;
}

Format Parse(std::string_view code) {
  Format f;
  const std::vector<std::string_view> parts = SplitSections(code);
  if (parts.size() > 4) return f;
  for (std::string_view part : parts) {
    Section section;
    if (!ParseSection(part, &section)) return f;
    f.has_conditions |= section.op != Op::kNone;
    f.sections.push_back(std::move(section));
  }
  const int count = static_cast<int>(f.sections.size());
  if (count == 4) {
    f.text_section = 3;
    if (f.sections[3].type == SectionType::kNumber) {
      // A fourth section without "@" shows its literals only.
      for (const Token& t : f.sections[3].tokens) {
        if (t.kind != Kind::kLiteral) return f;
      }
      f.sections[3].type = SectionType::kText;
    }
  } else if (f.sections.back().type == SectionType::kText) {
    f.text_section = count - 1;
  }
  for (int i = 0; i < count; ++i) {
    if (i == f.text_section) continue;
    if (f.sections[i].type == SectionType::kText) return f;  // "@" belongs in the text section
    f.number_sections.push_back(i);
  }
  if (f.text_section >= 0 && f.sections[f.text_section].type != SectionType::kText) return f;
  f.valid = true;
  return f;
}

// One parsed format per code, per thread.
const Format& CachedFormat(std::string_view code) {
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  thread_local std::unordered_map<std::string, std::unique_ptr<const Format>, Hash, std::equal_to<>>
      cache;
  auto it = cache.find(code);
  if (it != cache.end()) return *it->second;
  if (cache.size() >= kCacheLimit) cache.clear();
  auto parsed = std::make_unique<const Format>(Parse(code));
  const Format& result = *parsed;
  cache.emplace(std::string(code), std::move(parsed));
  return result;
}

}  // namespace tessarin::host::number_format_internal
