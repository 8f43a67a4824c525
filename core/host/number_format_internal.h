// Number formats, inside: the parsed form of a format code that the parser makes and the
// number and date writers read, and the functions the files of the engine share. Only
// number_format*.cpp include this; the public entry points are in number_format.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::host::number_format_internal {

// What a cell too narrow for its number shows.
inline constexpr std::string_view kHashes = "########";

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

// number_format_parse.cpp: the parsed format of `code`, from a bounded cache.
const Format& CachedFormat(std::string_view code);
// The literal text a token stands for (its own text, or the character it shows).
std::string_view LiteralOf(const Token& token);
// number_format_number.cpp: the text of a number under a number section, without its sign when
// `minus` is false; General's own text of a magnitude.
std::string NumberText(const Section& s, double v, bool minus);
std::string FractionText(const Section& s, double v, bool minus);
std::string GeneralMagnitude(double a);
// number_format_date.cpp: the text of a serial number under a date section.
std::string DateText(const Section& s, double v, bool date1904);

}  // namespace tessarin::host::number_format_internal
