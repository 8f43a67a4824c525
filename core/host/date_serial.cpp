// Serial numbers of dates: the civil calendar (days since 1970-01-01) and the host's two systems.
#include "core/host/date_serial.h"

#include <charconv>

namespace tessarin::host {

namespace {

constexpr int64_t kDays1899_12_30 = -25569;  // relative to 1970-01-01
constexpr int64_t kDays1904_01_01 = -24107;

// Days since 1970-01-01 of a proleptic Gregorian date (any month and day that exist).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  CivilDate date;
  date.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (date.month <= 2));
  return date;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads exactly `count` digits at `at`.
bool Digits(std::string_view text, size_t at, size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// "hh:mm", "hh:mm:ss" or "hh:mm:ss.fff", the whole of `text`: the fraction of a day.
std::optional<double> DayFraction(std::string_view text) {
  int hour = 0, minute = 0;
  double second = 0;
  if (!Digits(text, 0, 2, hour) || text.size() < 5 || text[2] != ':' ||
      !Digits(text, 3, 2, minute)) {
    return std::nullopt;
  }
  if (text.size() > 5) {
    if (text[5] != ':' || text.size() == 6) return std::nullopt;
    const char* first = text.data() + 6;
    const char* last = text.data() + text.size();
    if (last[-1] == 'Z') --last;  // UTC, as some writers mark it; the host keeps no zone
    if (*first < '0' || *first > '9') return std::nullopt;
    auto [end, error] = std::from_chars(first, last, second, std::chars_format::fixed);
    if (error != std::errc() || end != last) return std::nullopt;
  }
  if (hour > 23 || minute > 59 || second >= 61) return std::nullopt;
  return (hour * 3600 + minute * 60 + second) / 86400.0;
}

}  // namespace

std::optional<int64_t> SerialFromDate(int year, int month, int day, bool date1904) {
  if (month < 1 || month > 12 || day < 1 || year > 9999) return std::nullopt;
  if (date1904) {
    if (year < 1904 || day > DaysInMonth(year, month)) return std::nullopt;
    return DaysFromCivil(year, month, day) - kDays1904_01_01;
  }
  if (year < 1900) return std::nullopt;
  if (year == 1900 && month == 2 && day == 29) return 60;  // the host's day that never was
  if (day > DaysInMonth(year, month)) return std::nullopt;
  const int64_t serial = DaysFromCivil(year, month, day) - kDays1899_12_30;
  // Before March 1900 the count is one behind the calendar's, from the missing 29 February.
  return serial < 61 ? serial - 1 : serial;
}

CivilDate DateFromSerial(int64_t serial, bool date1904) {
  if (date1904) {
    const int64_t days = kDays1904_01_01 + serial;
    CivilDate date = CivilFromDays(days);
    date.weekday = static_cast<int>(((days + 4) % 7 + 7) % 7);
    return date;
  }
  CivilDate date;
  if (serial == 0) {
    date.year = 1900, date.month = 1, date.day = 0;
  } else if (serial == 60) {
    date.year = 1900, date.month = 2, date.day = 29;
  } else {
    date = CivilFromDays(kDays1899_12_30 + serial + (serial < 60 ? 1 : 0));
  }
  date.weekday = static_cast<int>((serial + 6) % 7);
  return date;
}

std::optional<double> SerialFromIsoDate(std::string_view text, bool date1904) {
  if (text.size() >= 3 && text[2] == ':') return DayFraction(text);
  int year = 0, month = 0, day = 0;
  if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' ||
      !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day)) {
    return std::nullopt;
  }
  double fraction = 0;
  if (text.size() > 10) {
    if (text[10] != 'T' && text[10] != ' ') return std::nullopt;
    std::optional<double> time = DayFraction(text.substr(11));
    if (!time) return std::nullopt;
    fraction = *time;
  }
  std::optional<int64_t> serial = SerialFromDate(year, month, day, date1904);
  if (!serial) return std::nullopt;
  return static_cast<double>(*serial) + fraction;
}

}  // namespace tessarin::host
