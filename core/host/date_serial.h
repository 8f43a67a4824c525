// Dates as the host counts them: serial numbers of the 1900 and the 1904 date system, in both
// directions. Every reader of dates written as text (.xlsx cells of type d, .xls values that
// libfreexl gives as text) and the number formats use these, so a date has one serial number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessarin::host {

// The last serial number of each system: 9999-12-31.
inline constexpr int64_t kMaxDateSerial1900 = 2958465;
inline constexpr int64_t kMaxDateSerial1904 = 2957003;

struct CivilDate {
  int year = 1900;
  int month = 1;
  int day = 0;
  int weekday = 6;  // 0 = Sunday
};

// The serial number of a calendar date. The 1900 system starts at 1900-01-01 (1) and keeps the
// host's 29 February 1900 (60), so every later day is one more than the calendar gives; the 1904
// system starts at 1904-01-01 (0). nullopt for a date that does not exist (2023-02-30) or lies
// outside the system (before its first day, after 9999-12-31).
std::optional<int64_t> SerialFromDate(int year, int month, int day, bool date1904);

// The date of a whole serial number from 0 to the system's maximum (the caller checks the range).
// Serial 0 of the 1900 system is "1900-01-00" and serial 60 is 1900-02-29; weekdays before
// March 1900 follow the serial numbers, as the host shows them.
CivilDate DateFromSerial(int64_t serial, bool date1904);

// An ISO 8601 date or time as files write them: "YYYY-MM-DD", optionally followed by "T" or " "
// and a time, or a time alone, "hh:mm", "hh:mm:ss" or "hh:mm:ss.fff". The serial number with
// the time as the fraction of the day; nullopt when the text is none of these or the date is
// not one of the system's (see SerialFromDate).
std::optional<double> SerialFromIsoDate(std::string_view text, bool date1904);

}  // namespace tessarin::host
