// Number formats: the text of numbers, General's and under number sections (digits, grouping,
// scaling, exponents and fractions), rounded on the decimal digits the user sees.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/number_format_internal.h"

namespace tessarin::host::number_format_internal {

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
  // A finite value can overflow on the way (1e308 times a denominator or a percent): its text
  // would be "inf", which has no digits to read. The largest double stands in for it.
  if (!std::isfinite(a)) a = std::numeric_limits<double>::max();
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

// Rounds `d` to the places the section shows; for a scientific section first moves its point
// to the integer placeholders and returns the exponent (else 0).
int RoundForSection(const Section& s, Decimal* d) {
  if (!s.scientific || d->IsZero()) {
    d->RoundTo(d->point + s.frac_digits);
    return 0;
  }
  const int int_places = std::max(1, s.int_digits);
  const auto exponent_for = [&](int lead) {
    if (!s.engineering) return lead - int_places + 1;
    return lead >= 0 ? lead / int_places * int_places
                     : -((-lead + int_places - 1) / int_places) * int_places;
  };
  const int lead = d->point - 1;
  int exp = exponent_for(lead);
  d->point -= exp;
  d->RoundTo(d->point + s.frac_digits);
  // Rounding up to a new digit ("9.99" to "10.0") moves the exponent once more.
  if (d->point + exp - 1 != lead) {
    const int moved = exponent_for(d->point + exp - 1);
    d->point += exp - moved;
    exp = moved;
  }
  return exp;
}

std::string NumberText(const Section& s, double v, bool minus) {
  if (s.fraction) return FractionText(s, v, minus);
  std::string out = minus ? "-" : "";
  Decimal d = ToDecimal(v);
  if (!d.IsZero()) d.point += s.scale;
  const int exp = RoundForSection(s, &d);

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

// A value as a fraction section shows it.
struct FractionParts {
  // Whole-valued doubles: beyond 2^53 there is no fraction left, and no int64 would hold them.
  double whole = 0;
  double numerator = 0;
  int64_t den = 1;
  bool blank_fraction = false;  // a whole number: blanks in place of the fraction
};

FractionParts SplitFraction(const Section& s, double v) {
  v *= std::pow(10.0, s.scale);
  // Percent signs can carry a huge value past the largest double; no fraction is left of it.
  if (!std::isfinite(v)) v = std::numeric_limits<double>::max();
  FractionParts p;
  p.whole = s.has_int_part ? std::floor(v) : 0.0;
  const double f = v - p.whole;
  if (s.fixed_denominator > 0) {
    p.den = s.fixed_denominator;
    p.numerator = std::floor(f * static_cast<double>(p.den) + 0.5);
  } else {
    // Without a whole part the whole value goes into the numerator.
    const double ip = std::floor(f);
    int64_t num = 0;
    BestFraction(f - ip, s.denominator_digits, &num, &p.den);
    p.numerator = ip * static_cast<double>(p.den) + static_cast<double>(num);
  }
  if (s.has_int_part && p.numerator == static_cast<double>(p.den)) {
    p.whole += 1;
    p.numerator = 0;
  }
  p.blank_fraction = s.has_int_part && p.numerator == 0;
  return p;
}

std::string FractionText(const Section& s, double v, bool minus) {
  const FractionParts parts = SplitFraction(s, v);
  const double whole = parts.whole, numerator = parts.numerator;
  const int64_t den = parts.den;
  const bool blank_fraction = parts.blank_fraction;

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

}  // namespace tessarin::host::number_format_internal
