// Number formats: the public entry points. A value's section is chosen (conditions, sign) and
// handed to the number or date writer; parsing lives in number_format_parse.cpp, number text in
// number_format_number.cpp and dates and eras in number_format_date.cpp.
#include "core/host/number_format.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/number_format_internal.h"
#include "core/host/text_util.h"

namespace tessarin::host {

using namespace number_format_internal;

namespace {

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
  if (format_code.empty() || EqualsIgnoringAsciiCase(format_code, "General"))
    return FormatGeneral(value);
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

namespace {

// Built-in formats as a Japanese-locale workbook means them; 23 to 26 are not assigned. 37 to
// 40 as the file format lists them: a space before the ";" in 37 and 38 only.
constexpr std::string_view kBuiltinCodes[] = {
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

}  // namespace

std::string_view BuiltinFormatCode(int num_fmt_id) {
  if (num_fmt_id < 0 || num_fmt_id >= static_cast<int>(std::size(kBuiltinCodes))) return {};
  return kBuiltinCodes[num_fmt_id];
}

int BuiltinFormatId(std::string_view format_code) {
  if (format_code.empty()) return -1;
  for (size_t id = 0; id < std::size(kBuiltinCodes); ++id) {
    if (kBuiltinCodes[id] == format_code) return static_cast<int>(id);
  }
  return -1;
}

}  // namespace tessarin::host
