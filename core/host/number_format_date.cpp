// Number formats: the text of dates and times under date sections (Gregorian and Japanese
// era years, month and day names, 12-hour clocks, elapsed time and fractions of a second).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/date_serial.h"
#include "core/host/number_format_internal.h"

namespace tessarin::host::number_format_internal {

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

// A serial split into what a date-time format shows; the time rounded to the smallest unit
// shown (`per_second` steps a second).
struct Moment {
  CivilDate date;
  int64_t total = 0;  // in steps since the serial's day 0
  int64_t per_second = 1;
  int64_t hour = 0, minute = 0, second = 0, subsecond = 0;
};

// Appends the date or time part `t` (a kDate token: y, m, n, d, h, s, g, e or a) of `moment`.
void AppendDatePart(std::string* out, const Token& t, const Section& s, const Moment& moment) {
  const CivilDate& date = moment.date;
  switch (t.ch) {
    case 'y':
      if (t.count <= 2) {
        AppendNumber(out, date.year % 100, 2);
      } else {
        AppendNumber(out, date.year, 4);
      }
      break;
    case 'm':
      if (t.count <= 2) {
        AppendNumber(out, date.month, t.count);
      } else if (t.count == 3) {
        out->append(kMonthNames[date.month - 1], 3);
      } else if (t.count == 5) {
        *out += kMonthNames[date.month - 1][0];
      } else {
        *out += kMonthNames[date.month - 1];
      }
      break;
    case 'n':
      AppendNumber(out, moment.minute, t.count);
      break;
    case 'd':
      if (t.count <= 2) {
        AppendNumber(out, date.day, t.count);
      } else if (t.count == 3) {
        out->append(kDayNames[date.weekday], 3);
      } else {
        *out += kDayNames[date.weekday];
      }
      break;
    case 'h': {
      int64_t h = moment.hour;
      if (s.hour12) h = moment.hour % 12 == 0 ? 12 : moment.hour % 12;
      AppendNumber(out, h, std::min(t.count, 2));
      break;
    }
    case 's':
      AppendNumber(out, moment.second, std::min(t.count, 2));
      break;
    case 'g': {
      const Era& era = EraOf(date);
      *out += t.count == 1 ? era.letter : t.count == 2 ? era.initial : era.name;
      break;
    }
    case 'e': {
      const int year = date.year - EraOf(date).year + 1;
      if (s.gannen && year == 1) {
        *out += "元";
      } else {
        AppendNumber(out, year, std::min(t.count, 2));
      }
      break;
    }
    case 'a':
      *out += kJapaneseDays[date.weekday];
      if (t.count >= 4) *out += "曜日";
      break;
    default:
      break;
  }
}

// Appends the AM/PM marker `ch` (A, a, P, p, or 午前/午後 for any other).
void AppendAmPm(std::string* out, char ch, bool pm) {
  switch (ch) {
    case 'A':
      *out += pm ? "PM" : "AM";
      break;
    case 'a':
      *out += pm ? "pm" : "am";
      break;
    case 'P':
      *out += pm ? 'P' : 'A';
      break;
    case 'p':
      *out += pm ? 'p' : 'a';
      break;
    default:
      *out += pm ? "午後" : "午前";
      break;
  }
}

std::string DateText(const Section& s, double v, bool date1904) {
  if (v < 0 || !std::isfinite(v)) return std::string(kHashes);
  Moment m;
  for (int i = 0; i < s.subsecond_digits; ++i) m.per_second *= 10;
  const int64_t per_day = 86400 * m.per_second;
  const int64_t max_serial = date1904 ? kMaxDateSerial1904 : kMaxDateSerial1900;
  if (v >= static_cast<double>(max_serial + 1)) return std::string(kHashes);
  // Times round to the smallest unit shown; larger units are then cut, not rounded.
  m.total = static_cast<int64_t>(std::floor(v * static_cast<double>(per_day) + 0.5));
  const int64_t serial = m.total / per_day;
  if (serial > max_serial) return std::string(kHashes);
  const int64_t in_day = m.total % per_day;
  m.hour = in_day / (3600 * m.per_second);
  m.minute = in_day / (60 * m.per_second) % 60;
  m.second = in_day / m.per_second % 60;
  m.subsecond = in_day % m.per_second;
  m.date = DateFromSerial(serial, date1904);

  std::string out;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Kind::kLiteral:
        out += t.text;
        break;
      case Kind::kDate:
        AppendDatePart(&out, t, s, m);
        break;
      case Kind::kElapsed: {
        const int64_t unit = t.ch == 'h' ? 3600 : t.ch == 'm' ? 60 : 1;
        AppendNumber(&out, m.total / (unit * m.per_second), t.count);
        break;
      }
      case Kind::kSubsecond: {
        out += '.';
        int64_t value = m.subsecond;
        for (int i = t.count; i < s.subsecond_digits; ++i) value /= 10;
        AppendNumber(&out, value, t.count);
        break;
      }
      case Kind::kAmPm:
        AppendAmPm(&out, t.ch, m.hour >= 12);
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace tessarin::host::number_format_internal
