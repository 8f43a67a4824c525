// Number formats: parsing of format codes into sections, and the displayed text of numbers,
// dates and text under them.
#include "core/host/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/host/date_serial.h"
#include "core/host/text_util.h"

namespace tessarin::host {
namespace {

constexpr std::string_view kHashes = "########";
constexpr size_t kCacheLimit = 512;
constexpr int kGeneralWidth = 11;  // characters of a normal-width cell

// ---------------------------------------------------------------------------------------------
// Decimal digits of a non-negative value, rounded on decimal digits so that rounding is half
// away from zero on what the user sees rather than on the binary value.

struct Decimal {
  std::array<char, 20> d{};  // significant digits, no leading or trailing zeros; empty for zero
  int len = 0;
  int point = 0;  // value = 0.d[0]d[1]... x 10^point

  // Keeps the first `keep` digits (keep may be negative), rounding half up.
  void RoundTo(int keep) {
    if (keep >= len) return;
    if (keep < 0) {
      len = 0;
      return;
    }
    const bool up = d[keep] >= '5';
    len = keep;
    if (up) {
      int i = keep - 1;
      while (i >= 0 && d[i] == '9') --i;
      if (i < 0) {
        d[0] = '1';
        len = 1;
        ++point;
      } else {
        ++d[i];
        len = i + 1;
      }
    }
    while (len > 0 && d[len - 1] == '0') --len;
  }
  bool IsZero() const { return len == 0; }
  // The digit at 10^(point - 1 - i): i counts from the first significant digit.
  char At(int i) const { return i >= 0 && i < len ? d[i] : '0'; }
};

// 15 significant digits, as the host keeps them.
Decimal ToDecimal(double a) {
  Decimal r;
  if (!(a > 0)) return r;
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
  const char* p = buf;
  r.d[r.len++] = *p++;
  if (*p == '.') ++p;
  while (*p != 'e') r.d[r.len++] = *p++;
  int exp = 0;
  std::from_chars(p + 1 + (p[1] == '+'), res.ptr, exp);
  r.point = exp + 1;
  while (r.len > 0 && r.d[r.len - 1] == '0') --r.len;
  return r;
}

// Plain decimal text of a rounded value: "123", "0.5", "12.25".
std::string PlainText(const Decimal& v) {
  std::string out;
  if (v.IsZero()) return "0";
  if (v.point <= 0) {
    out = "0.";
    out.append(-v.point, '0');
    out.append(v.d.data(), v.len);
    return out;
  }
  for (int i = 0; i < v.point; ++i) out += v.At(i);
  if (v.len > v.point) {
    out += '.';
    out.append(v.d.data() + v.point, v.len - v.point);
  }
  return out;
}

void AppendExponent(std::string* out, int exp, int min_digits) {
  char buf[12];
  auto res = std::to_chars(buf, buf + sizeof buf, std::abs(exp));
  const int n = static_cast<int>(res.ptr - buf);
  out->append(std::max(0, min_digits - n), '0');
  out->append(buf, n);
}

std::string GeneralMagnitude(double a) {
  if (a == 0) return "0";
  // Integers are the common case of a cell; skip the decimal conversion for them.
  if (a < 1e11 && a == std::floor(a)) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(a));
    return std::string(buf, res.ptr);
  }
  const Decimal v = ToDecimal(a);
  const int e = v.point - 1;
  if (e >= 0 && e < kGeneralWidth) {
    Decimal r = v;
    r.RoundTo(r.point + std::max(0, kGeneralWidth - 2 - e));
    if (r.point <= kGeneralWidth) return PlainText(r);
  } else if (e < 0 && e >= -5) {
    // "0." leaves nine places; below 1e-4 the plain form keeps fewer digits than the scientific
    // one, so it is used only when it still shows every digit.
    const int available = kGeneralWidth - 1 + e;
    if (available >= 6 || v.len <= available) {
      Decimal r = v;
      r.RoundTo(r.point + kGeneralWidth - 2);
      return PlainText(r);
    }
  }
  Decimal r = v;
  r.RoundTo(6);
  if (std::abs(r.point - 1) >= 100) {
    r = v;
    r.RoundTo(5);
  }
  const int exp = r.point - 1;
  std::string out(1, r.d[0]);
  if (r.len > 1) {
    out += '.';
    out.append(r.d.data() + 1, r.len - 1);
  }
  out += exp < 0 ? "E-" : "E+";
  AppendExponent(&out, exp, 2);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Parsed format codes.

enum class Kind : uint8_t {
  kLiteral,
  kDigit,  // ch: '0', '#' or '?'
  kPoint,
  kComma,
  kPercent,
  kExponent,  // ch: 'E' or 'e'; plus: "E+" rather than "E-"
  kSlash,
  kFixedDigit,  // ch: '1'..'9', a literal unless it is a fraction's denominator
  kGeneral,
  kText,       // '@'
  kDate,       // ch: y m n(minute) d h s g e a; count: letters in the run
  kElapsed,    // ch: h m s; count: letters inside the brackets
  kAmPm,       // ch: 'A' AM/PM, 'a' am/pm, 'P' A/P, 'p' a/p, 'J' 午前/午後
  kSubsecond,  // count: digits after the seconds' point
  // Roles given to number tokens once the section's layout is known.
  kIntDigit,
  kFracDigit,
  kExpDigit,
  kNumerator,
  kDenominator,
  kDecimalPoint,
};

struct Token {
  Kind kind;
  char ch = 0;
  bool plus = false;
  int count = 0;     // run length; for kIntDigit its place (0 = units)
  std::string text;  // literal text
};

enum class SectionType : uint8_t { kNumber, kDate, kText };

enum class Op : uint8_t { kNone, kLt, kLe, kGt, kGe, kEq, kNe };

struct Section {
  SectionType type = SectionType::kNumber;
  std::vector<Token> tokens;
  Op op = Op::kNone;
  double operand = 0;
  std::string system_code;  // [$-F800] / [$-F400]: the section is this code instead

  // Number layout.
  int int_digits = 0;
  int frac_digits = 0;
  int exp_min_digits = 0;
  bool grouping = false;
  int scale = 0;  // power of ten applied before formatting (percent +2, scaling comma -3)
  bool scientific = false;
  bool engineering = false;
  bool fraction = false;
  int fixed_denominator = 0;
  int denominator_digits = 0;
  bool has_int_part = false;  // fractions: a whole-number part before the fraction

  // Date layout.
  bool hour12 = false;
  bool gannen = false;
  int subsecond_digits = 0;
};

struct Format {
  bool valid = false;
  std::vector<Section> sections;
  std::vector<int> number_sections;  // indices into sections, text section excluded
  int text_section = -1;
  bool has_conditions = false;
};

bool IStartsWith(std::string_view s, size_t pos, std::string_view prefix) {
  return s.size() - pos >= prefix.size() && EqualsIgnoringAsciiCase(s.substr(pos, prefix.size()), prefix);
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
      if (EqualsIgnoringAsciiCase(locale, "F800")) section->system_code = "yyyy\"年\"m\"月\"d\"日\"";
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
      case '0':
      case '#':
      case '?':
        AddToken(&t, Kind::kDigit, c);
        ++i;
        continue;
      case '.':
        AddToken(&t, Kind::kPoint);
        ++i;
        continue;
      case ',':
        AddToken(&t, Kind::kComma);
        ++i;
        continue;
      case '%':
        AddToken(&t, Kind::kPercent);
        ++i;
        continue;
      case '/':
        AddToken(&t, Kind::kSlash);
        ++i;
        continue;
      case '@':
        AddToken(&t, Kind::kText);
        ++i;
        continue;
      default:
        break;
    }
    if (c >= '1' && c <= '9') {
      AddToken(&t, Kind::kFixedDigit, c);
      ++i;
      continue;
    }
    if (lc == 'e' && i + 1 < n && (s[i + 1] == '+' || s[i + 1] == '-')) {
      t.push_back(Token{Kind::kExponent, c, s[i + 1] == '+', 0, {}});
      i += 2;
      continue;
    }
    if (IStartsWith(s, i, "general")) {
      AddToken(&t, Kind::kGeneral);
      i += 7;
      continue;
    }
    if (s.substr(i).starts_with("G/標準")) {
      AddToken(&t, Kind::kGeneral);
      i += std::string_view("G/標準").size();
      continue;
    }
    if (IStartsWith(s, i, "am/pm")) {
      AddToken(&t, Kind::kAmPm, c == 'a' ? 'a' : 'A');
      i += 5;
      continue;
    }
    if (IStartsWith(s, i, "a/p")) {
      AddToken(&t, Kind::kAmPm, c == 'a' ? 'p' : 'P');
      i += 3;
      continue;
    }
    if (s.substr(i).starts_with("午前/午後")) {
      AddToken(&t, Kind::kAmPm, 'J');
      i += std::string_view("午前/午後").size();
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

bool LayoutNumber(Section* section) {
  std::vector<Token>& t = section->tokens;
  bool has_general = false;
  bool has_digits = false;
  for (const Token& x : t) {
    if (x.kind == Kind::kText) return false;
    has_general |= x.kind == Kind::kGeneral;
    has_digits |= x.kind == Kind::kDigit;
  }
  if (has_general && has_digits) return false;

  // A fraction: placeholders, "/", then placeholders or a fixed denominator.
  size_t slash = t.size();
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    if (t[i].kind == Kind::kSlash && t[i - 1].kind == Kind::kDigit &&
        (t[i + 1].kind == Kind::kDigit || t[i + 1].kind == Kind::kFixedDigit)) {
      slash = i;
      break;
    }
  }
  size_t exponent = t.size();
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == Kind::kExponent) {
      exponent = i;
      break;
    }
  }
  if (slash < t.size() && exponent < t.size()) return false;

  if (slash < t.size()) {
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

  // Decimal or scientific layout.
  size_t point = t.size();
  for (size_t i = 0; i < exponent; ++i) {
    if (t[i].kind == Kind::kPoint) {
      point = i;
      break;
    }
  }
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
      case Kind::kComma: {
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
        i = j - 1;
        break;
      }
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
    bool hash_first = false;
    for (size_t i = 0; i < exponent; ++i) {
      if (t[i].kind == Kind::kIntDigit) {
        hash_first = t[i].ch == '#';
        break;
      }
    }
    section->engineering = hash_first && section->int_digits > 1;
  }
  // Places of the integer placeholders, counted from the units.
  int place = 0;
  for (size_t i = std::min(point, exponent); i-- > 0;) {
    if (t[i].kind == Kind::kIntDigit) t[i].count = place++;
  }
  return true;
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

// ---------------------------------------------------------------------------------------------
// Numbers.

// Emits integer digits into placeholders: digits beyond the placeholders go at the first one.
class IntegerWriter {
 public:
  IntegerWriter(std::string digits, bool grouping)
      : digits_(std::move(digits)), grouping_(grouping) {}

  void Write(const Token& t, int placeholders, std::string* out) {
    const int n = static_cast<int>(digits_.size());
    if (t.count == placeholders - 1) {
      for (int place = n - 1; place > t.count; --place) Put(digits_[n - 1 - place], place, out);
    }
    if (t.count < n) {
      Put(digits_[n - 1 - t.count], t.count, out);
    } else if (t.ch == '0') {
      Put('0', t.count, out);
    } else if (t.ch == '?') {
      *out += ' ';
    }
  }

 private:
  void Put(char digit, int place, std::string* out) {
    *out += digit;
    if (grouping_ && place > 0 && place % 3 == 0) *out += ',';
  }

  std::string digits_;
  bool grouping_;
};

std::string IntegerDigits(const Decimal& v) {
  std::string s;
  for (int i = 0; i < v.point; ++i) s += v.At(i);
  return s;
}

std::string FractionText(const Section& s, double v, bool minus);

std::string NumberText(const Section& s, double v, bool minus) {
  if (s.fraction) return FractionText(s, v, minus);
  std::string out = minus ? "-" : "";
  Decimal d = ToDecimal(v);
  if (!d.IsZero()) d.point += s.scale;

  int exp = 0;
  if (s.scientific && !d.IsZero()) {
    const int int_places = std::max(1, s.int_digits);
    const auto exponent_for = [&](int lead) {
      if (!s.engineering) return lead - int_places + 1;
      return lead >= 0 ? lead / int_places * int_places
                       : -((-lead + int_places - 1) / int_places) * int_places;
    };
    const int lead = d.point - 1;
    exp = exponent_for(lead);
    d.point -= exp;
    d.RoundTo(d.point + s.frac_digits);
    // Rounding up to a new digit ("9.99" to "10.0") moves the exponent once more.
    if (d.point + exp - 1 != lead) {
      const int moved = exponent_for(d.point + exp - 1);
      d.point += exp - moved;
      exp = moved;
    }
  } else {
    d.RoundTo(d.point + s.frac_digits);
  }

  IntegerWriter ints(IntegerDigits(d), s.grouping);
  // Trailing zeros of the fraction are insignificant for '#' and '?' placeholders.
  int significant = 0;
  for (int i = 0; i < s.frac_digits; ++i) {
    if (d.At(d.point + i) != '0') significant = i + 1;
  }
  int frac_index = 0;
  bool exp_written = false;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Kind::kLiteral:
        out += t.text;
        break;
      case Kind::kGeneral:
        out += GeneralMagnitude(v);
        break;
      case Kind::kIntDigit:
        ints.Write(t, s.int_digits, &out);
        break;
      case Kind::kDecimalPoint:
        // ".00" has no integer placeholder, yet the integer part still shows.
        if (s.int_digits == 0) out += IntegerDigits(d);
        out += '.';
        break;
      case Kind::kFracDigit: {
        const int i = frac_index++;
        if (i < significant || t.ch == '0') {
          out += d.At(d.point + i);
        } else if (t.ch == '?') {
          out += ' ';
        }
        break;
      }
      case Kind::kExponent:
        out += t.ch;
        if (exp < 0) {
          out += '-';
        } else if (t.plus) {
          out += '+';
        }
        break;
      case Kind::kExpDigit:
        if (!exp_written) {
          AppendExponent(&out, exp, std::max(1, s.exp_min_digits));
          exp_written = true;
        }
        break;
      default:
        break;
    }
  }
  return out;
}

// The nearest fraction to f (0 <= f < 1) with a denominator below 10^digits.
void BestFraction(double f, int digits, int64_t* num, int64_t* den) {
  int64_t max_den = 1;
  for (int i = 0; i < std::min(digits, 5); ++i) max_den *= 10;
  --max_den;
  *num = 0;
  *den = 1;
  if (f == 0) return;
  double best = f;
  for (int64_t q = 1; q <= max_den; ++q) {
    const auto p = static_cast<int64_t>(std::floor(f * static_cast<double>(q) + 0.5));
    const double err = std::abs(f - static_cast<double>(p) / static_cast<double>(q));
    if (err < best - 1e-12) {
      best = err;
      *num = p;
      *den = q;
      if (err == 0) break;
    }
  }
}

std::string FractionText(const Section& s, double v, bool minus) {
  v *= std::pow(10.0, s.scale);
  double whole = s.has_int_part ? std::floor(v) : 0.0;
  const double f = v - whole;
  // Whole-valued doubles: beyond 2^53 there is no fraction left, and no int64 would hold them.
  double numerator = 0;
  int64_t den = 1;
  if (s.fixed_denominator > 0) {
    den = s.fixed_denominator;
    numerator = std::floor(f * static_cast<double>(den) + 0.5);
  } else {
    // Without a whole part the whole value goes into the numerator.
    const double ip = std::floor(f);
    int64_t num = 0;
    BestFraction(f - ip, s.denominator_digits, &num, &den);
    numerator = ip * static_cast<double>(den) + static_cast<double>(num);
  }
  if (s.has_int_part && numerator == static_cast<double>(den)) {
    whole += 1;
    numerator = 0;
  }
  const bool blank_fraction = s.has_int_part && numerator == 0;

  std::string out = minus ? "-" : "";
  std::string whole_digits;
  if (whole > 0 || blank_fraction) {
    const Decimal w = ToDecimal(whole);
    whole_digits = w.IsZero() ? "0" : IntegerDigits(w);
  }
  IntegerWriter ints(whole_digits, s.grouping);
  const Decimal numerator_value = ToDecimal(numerator);
  const std::string num_digits = numerator_value.IsZero() ? "0" : IntegerDigits(numerator_value);
  const std::string den_digits = std::to_string(den);
  int num_places = 0;
  for (const Token& t : s.tokens) num_places += t.kind == Kind::kNumerator;
  int num_index = 0, den_index = 0;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Kind::kLiteral:
        out += t.text;
        break;
      case Kind::kIntDigit:
        ints.Write(t, s.int_digits, &out);
        break;
      case Kind::kNumerator: {
        // Right-aligned like an integer; a whole number shows blanks in place of the fraction.
        const int place = num_places - 1 - num_index++;
        const int n = static_cast<int>(num_digits.size());
        if (blank_fraction) {
          out += ' ';
        } else {
          if (place == num_places - 1) out.append(num_digits, 0, std::max(0, n - num_places));
          if (place < n) {
            out += num_digits[n - 1 - place];
          } else if (t.ch != '#') {
            out += t.ch == '0' ? '0' : ' ';
          }
        }
        break;
      }
      case Kind::kSlash:
        out += blank_fraction ? ' ' : '/';
        break;
      case Kind::kDenominator: {
        // Left-aligned; the search keeps it within its placeholders.
        const int i = den_index++;
        if (blank_fraction) {
          out += ' ';
        } else if (s.fixed_denominator > 0) {
          if (i == 0) out += den_digits;
        } else if (i < static_cast<int>(den_digits.size())) {
          out += den_digits[i];
        } else if (t.ch != '#') {
          out += t.ch == '0' ? '0' : ' ';
        }
        break;
      }
      default:
        break;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Dates and times.

struct Era {
  int start;  // yyyymmdd
  int year;
  const char* letter;
  const char* initial;
  const char* name;
};

constexpr Era kEras[] = {
    {20190501, 2019, "R", "令", "令和"}, {19890108, 1989, "H", "平", "平成"},
    {19261225, 1926, "S", "昭", "昭和"}, {19120730, 1912, "T", "大", "大正"},
    {18680908, 1868, "M", "明", "明治"},
};

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kJapaneseDays[] = {"日", "月", "火", "水", "木", "金", "土"};

const Era& EraOf(const CivilDate& p) {
  const int key = p.year * 10000 + p.month * 100 + p.day;
  for (const Era& e : kEras) {
    if (key >= e.start) return e;
  }
  return kEras[std::size(kEras) - 1];
}

void AppendNumber(std::string* out, int64_t n, int width) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, n);
  const int len = static_cast<int>(res.ptr - buf);
  out->append(std::max(0, width - len), '0');
  out->append(buf, len);
}

std::string DateText(const Section& s, double v, bool date1904) {
  if (v < 0 || !std::isfinite(v)) return std::string(kHashes);
  int64_t per_second = 1;
  for (int i = 0; i < s.subsecond_digits; ++i) per_second *= 10;
  const int64_t per_day = 86400 * per_second;
  const int64_t max_serial = date1904 ? kMaxDateSerial1904 : kMaxDateSerial1900;
  if (v >= static_cast<double>(max_serial + 1)) return std::string(kHashes);
  // Times round to the smallest unit shown; larger units are then cut, not rounded.
  const auto total = static_cast<int64_t>(std::floor(v * static_cast<double>(per_day) + 0.5));
  const int64_t serial = total / per_day;
  if (serial > max_serial) return std::string(kHashes);
  const int64_t in_day = total % per_day;
  const int64_t hour = in_day / (3600 * per_second);
  const int64_t minute = in_day / (60 * per_second) % 60;
  const int64_t second = in_day / per_second % 60;
  const int64_t subsecond = in_day % per_second;

  const CivilDate date = DateFromSerial(serial, date1904);
  std::string out;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Kind::kLiteral:
        out += t.text;
        break;
      case Kind::kDate:
        switch (t.ch) {
          case 'y':
            if (t.count <= 2) {
              AppendNumber(&out, date.year % 100, 2);
            } else {
              AppendNumber(&out, date.year, 4);
            }
            break;
          case 'm':
            if (t.count <= 2) {
              AppendNumber(&out, date.month, t.count);
            } else if (t.count == 3) {
              out.append(kMonthNames[date.month - 1], 3);
            } else if (t.count == 5) {
              out += kMonthNames[date.month - 1][0];
            } else {
              out += kMonthNames[date.month - 1];
            }
            break;
          case 'n':
            AppendNumber(&out, minute, t.count);
            break;
          case 'd':
            if (t.count <= 2) {
              AppendNumber(&out, date.day, t.count);
            } else if (t.count == 3) {
              out.append(kDayNames[date.weekday], 3);
            } else {
              out += kDayNames[date.weekday];
            }
            break;
          case 'h': {
            int64_t h = hour;
            if (s.hour12) h = hour % 12 == 0 ? 12 : hour % 12;
            AppendNumber(&out, h, std::min(t.count, 2));
            break;
          }
          case 's':
            AppendNumber(&out, second, std::min(t.count, 2));
            break;
          case 'g': {
            const Era& era = EraOf(date);
            out += t.count == 1 ? era.letter : t.count == 2 ? era.initial : era.name;
            break;
          }
          case 'e': {
            const int year = date.year - EraOf(date).year + 1;
            if (s.gannen && year == 1) {
              out += "元";
            } else {
              AppendNumber(&out, year, std::min(t.count, 2));
            }
            break;
          }
          case 'a':
            out += kJapaneseDays[date.weekday];
            if (t.count >= 4) out += "曜日";
            break;
          default:
            break;
        }
        break;
      case Kind::kElapsed: {
        const int64_t unit = t.ch == 'h' ? 3600 : t.ch == 'm' ? 60 : 1;
        AppendNumber(&out, total / (unit * per_second), t.count);
        break;
      }
      case Kind::kSubsecond: {
        out += '.';
        int64_t value = subsecond;
        for (int i = t.count; i < s.subsecond_digits; ++i) value /= 10;
        AppendNumber(&out, value, t.count);
        break;
      }
      case Kind::kAmPm: {
        const bool pm = hour >= 12;
        switch (t.ch) {
          case 'A':
            out += pm ? "PM" : "AM";
            break;
          case 'a':
            out += pm ? "pm" : "am";
            break;
          case 'P':
            out += pm ? 'P' : 'A';
            break;
          case 'p':
            out += pm ? 'p' : 'a';
            break;
          default:
            out += pm ? "午後" : "午前";
            break;
        }
        break;
      }
      default:
        break;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Section choice.

bool Matches(Op op, double operand, double v) {
  switch (op) {
    case Op::kLt:
      return v < operand;
    case Op::kLe:
      return v <= operand;
    case Op::kGt:
      return v > operand;
    case Op::kGe:
      return v >= operand;
    case Op::kEq:
      return v == operand;
    case Op::kNe:
      return v != operand;
    default:
      return true;
  }
}

std::string SectionText(const Section& s, double v, bool minus, bool date1904) {
  if (s.type == SectionType::kDate) return DateText(s, minus ? -v : v, date1904);
  return NumberText(s, v, minus);
}

}  // namespace

std::string FormatGeneral(double value) {
  if (!std::isfinite(value)) return "#NUM!";
  if (value < 0) return "-" + GeneralMagnitude(-value);
  return GeneralMagnitude(value);
}

std::string FormatNumber(double value, std::string_view format_code, bool date1904) {
  if (!std::isfinite(value)) return "#NUM!";
  if (format_code.empty() || EqualsIgnoringAsciiCase(format_code, "General")) return FormatGeneral(value);
  const Format& f = CachedFormat(format_code);
  if (!f.valid || f.number_sections.empty()) return FormatGeneral(value);
  const std::vector<int>& n = f.number_sections;
  const double magnitude = std::abs(value);
  const bool negative = value < 0;

  if (f.has_conditions) {
    // A section without a condition of its own takes the rest when it is the last one; else the
    // first is for positive numbers (and zero when there are only two), the second for negative.
    for (size_t i = 0; i < n.size() && i < 2; ++i) {
      const Section& s = f.sections[n[i]];
      if (s.op != Op::kNone) {
        if (Matches(s.op, s.operand, value)) return SectionText(s, magnitude, negative, date1904);
      } else if (i + 1 == n.size()) {
        return SectionText(s, magnitude, negative, date1904);
      } else if (i == 0 ? (n.size() >= 3 ? value > 0 : value >= 0) : negative) {
        return SectionText(s, magnitude, negative && i == 0, date1904);
      }
    }
    if (n.size() >= 3) return SectionText(f.sections[n[2]], magnitude, negative, date1904);
    return FormatGeneral(value);
  }

  if (n.size() == 1) return SectionText(f.sections[n[0]], magnitude, negative, date1904);
  if (n.size() == 2) {
    return SectionText(f.sections[n[value >= 0 ? 0 : 1]], magnitude, false, date1904);
  }
  const int chosen = value > 0 ? n[0] : negative ? n[1] : n[2];
  return SectionText(f.sections[chosen], magnitude, false, date1904);
}

std::string FormatText(std::string_view text, std::string_view format_code) {
  if (format_code.empty()) return std::string(text);
  const Format& f = CachedFormat(format_code);
  if (!f.valid || f.text_section < 0) return std::string(text);
  std::string out;
  for (const Token& t : f.sections[f.text_section].tokens) {
    if (t.kind == Kind::kText) {
      out += text;
    } else {
      out += t.text;
    }
  }
  return out;
}

bool IsDateFormat(std::string_view format_code) {
  if (format_code.empty() || EqualsIgnoringAsciiCase(format_code, "General")) return false;
  const Format& f = CachedFormat(format_code);
  return f.valid && !f.number_sections.empty() &&
         f.sections[f.number_sections[0]].type == SectionType::kDate;
}

std::string_view BuiltinFormatCode(int num_fmt_id) {
  // Built-in formats as a Japanese-locale workbook means them; 23 to 26 are not assigned.
  static constexpr std::string_view kCodes[] = {
      // 0-4: numbers
      "General",
      "0",
      "0.00",
      "#,##0",
      "#,##0.00",
      // 5-8: yen
      "\"¥\"#,##0;\"¥\"\\-#,##0",
      "\"¥\"#,##0;[Red]\"¥\"\\-#,##0",
      "\"¥\"#,##0.00;\"¥\"\\-#,##0.00",
      "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00",
      // 9-13: percent, scientific, fractions
      "0%",
      "0.00%",
      "0.00E+00",
      "# ?/?",
      "# ?\?/?\?",
      // 14-22: dates and times
      "yyyy/m/d",
      "d-mmm-yy",
      "d-mmm",
      "mmm-yy",
      "h:mm AM/PM",
      "h:mm:ss AM/PM",
      "h:mm",
      "h:mm:ss",
      "yyyy/m/d h:mm",
      // 23-26: not assigned
      "",
      "",
      "",
      "",
      // 27-36: Japanese dates and times
      "[$-411]ge.m.d",
      "[$-411]ggge\"年\"m\"月\"d\"日\"",
      "[$-411]ggge\"年\"m\"月\"d\"日\"",
      "m/d/yy",
      "yyyy\"年\"m\"月\"d\"日\"",
      "h\"時\"mm\"分\"",
      "h\"時\"mm\"分\"ss\"秒\"",
      "yyyy\"年\"m\"月\"",
      "m\"月\"d\"日\"",
      "[$-411]ge.m.d",
      // 37-44: accounting
      "#,##0 ;(#,##0)",
      "#,##0 ;[Red](#,##0)",
      "#,##0.00;(#,##0.00)",
      "#,##0.00;[Red](#,##0.00)",
      "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ",
      "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ",
      "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ",
      "_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ ",
      // 45-49: minutes, elapsed time, engineering, text
      "mm:ss",
      "[h]:mm:ss",
      "mm:ss.0",
      "##0.0E+0",
      "@",
      // 50-58: Japanese dates
      "[$-411]ge.m.d",
      "[$-411]ggge\"年\"m\"月\"d\"日\"",
      "yyyy\"年\"m\"月\"",
      "m\"月\"d\"日\"",
      "[$-411]ggge\"年\"m\"月\"d\"日\"",
      "yyyy\"年\"m\"月\"",
      "m\"月\"d\"日\"",
      "[$-411]ge.m.d",
      "[$-411]ggge\"年\"m\"月\"d\"日\"",
  };
  if (num_fmt_id < 0 || num_fmt_id >= static_cast<int>(std::size(kCodes))) return {};
  return kCodes[num_fmt_id];
}

}  // namespace tessarin::host
