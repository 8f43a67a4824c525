// Number formats: the displayed text (`Text`) of a cell's number or text under its format code.
#pragma once

#include <string>
#include <string_view>

namespace tessarin::host {

// Formats `value` with a format code as a Japanese-locale host shows it in a cell wide enough for
// the text. The code may have up to four sections separated by ";" (positive; negative; zero;
// text). The negative section shows the magnitude without a minus sign; a single section shows
// "-" before the whole text for negative values, even when the shown digits round to zero (-0.4
// with "0" shows "-0"). Supported: General (also "G/標準"), digit
// placeholders 0 # ?, decimal point, thousands separator and scaling commas, percent, scientific
// (0.00E+00, ##0.0E+0), fractions (# ?/?, # ??/??, ?/4), quoted and backslash-escaped literals,
// "_x" (one space), "*x" (fill, dropped), colour codes, conditions ([>=100]), [DBNum] (ignored),
// locale and currency codes ([$-411] ignored, [$¥-411] shows "¥", [$-F800] is the long date), and
// date/time codes: y yy yyyy, m mm mmm mmmm mmmmm, d dd ddd dddd, h hh, m mm as minutes (after an
// hour or before a second code), s ss, s.0 to s.000, AM/PM A/P 午前/午後, elapsed [h] [m] [s], the
// Japanese era g gg ggg with its year e ee ([$-ja-JP-x-gannen] shows year 1 as "元"), and the
// weekday aaa aaaa (日 / 日曜日).
// Rounding is half away from zero on the value's 15 significant digits (2.5 with "0" is 3).
// Times round to the smallest unit shown as seconds (or their fractions); minutes and hours are
// then cut, so 10:29:50 shows as 10:29 with "h:mm".
// Dates use the 1900 system (serial 60 is the host's 1900-02-29, serial 0 is 1900-01-00) or, with
// `date1904`, the 1904 system. A negative date or time, or one after 9999-12-31, shows "########".
// A code that cannot be parsed, and a NaN or infinity, fall back as stated: the code to General,
// the value to "#NUM!". Never throws.
//
// Parsed codes are kept in a per-thread cache (bounded; cleared when full), so formatting many
// cells with few formats parses each code once per thread. Safe to call from several threads.
std::string FormatNumber(double value, std::string_view format_code, bool date1904 = false);

// Formats a text value: the text section of the code (the fourth section, or the last section
// when it holds "@") with "@" replaced by `text`. A code without a text section, or one that
// cannot be parsed, shows the text unchanged. Never throws.
std::string FormatText(std::string_view text, std::string_view format_code);

// The General format as the host shows it in a normal-width cell: at most 11 characters besides
// the minus sign. Integers of up to 11 digits show in full; larger magnitudes, and tiny ones
// that would lose digits, in scientific form with up to 6 significant digits ("1.23457E+12",
// "1E-10"); others rounded to fit ("0.1 + 0.2" shows "0.3", 1e-5 shows "0.00001").
std::string FormatGeneral(double value);

// The format code of a built-in number format id as a Japanese-locale workbook means it: ids 0 to
// 49 (27-36 being the Japanese date formats) and the Japanese ids 50 to 58. "" for any other id.
// The view refers to static storage.
std::string_view BuiltinFormatCode(int num_fmt_id);
// The other way: the lowest built-in id whose code is `format_code` (27, 36, 50 and 57 share
// one), -1 when no built-in id has it.
int BuiltinFormatId(std::string_view format_code);

// True when numbers under the code show as a date or time (its first number section has date or
// time codes). False for General, number and text codes, and codes that cannot be parsed.
bool IsDateFormat(std::string_view format_code);

}  // namespace tessarin::host
