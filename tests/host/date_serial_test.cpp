// Serial numbers of dates: both systems, both sides of the host's 29 February 1900, ISO text.
#include "core/host/date_serial.h"

#include <gtest/gtest.h>

namespace tessarin::host {
namespace {

TEST(DateSerial, The1900SystemKeepsItsTwentyNinthOfFebruary) {
  EXPECT_EQ(SerialFromDate(1900, 1, 1, false), 1);
  EXPECT_EQ(SerialFromDate(1900, 2, 28, false), 59);
  EXPECT_EQ(SerialFromDate(1900, 2, 29, false), 60);
  EXPECT_EQ(SerialFromDate(1900, 3, 1, false), 61);
  EXPECT_EQ(SerialFromDate(2024, 4, 27, false), 45409);
  EXPECT_EQ(SerialFromDate(9999, 12, 31, false), kMaxDateSerial1900);
  // In 1904 February 1900 is the calendar's, which has no 29th.
  EXPECT_EQ(SerialFromDate(1904, 1, 1, true), 0);
  EXPECT_EQ(SerialFromDate(2024, 4, 27, true), 45409 - 1462);
  EXPECT_EQ(SerialFromDate(9999, 12, 31, true), kMaxDateSerial1904);
}

TEST(DateSerial, DatesThatDoNotExistOrLieOutsideHaveNoSerial) {
  EXPECT_FALSE(SerialFromDate(1899, 12, 31, false));
  EXPECT_FALSE(SerialFromDate(1903, 12, 31, true));
  EXPECT_FALSE(SerialFromDate(2023, 2, 29, false));
  EXPECT_FALSE(SerialFromDate(2023, 4, 31, false));
  EXPECT_FALSE(SerialFromDate(2023, 13, 1, false));
  EXPECT_FALSE(SerialFromDate(2023, 1, 0, false));
  EXPECT_FALSE(SerialFromDate(10000, 1, 1, false));
  EXPECT_TRUE(SerialFromDate(2000, 2, 29, false));  // divisible by 400: a leap year
  EXPECT_FALSE(SerialFromDate(2100, 2, 29, false));
}

TEST(DateSerial, EverySerialReadsBackAsItsDate) {
  for (bool date1904 : {false, true}) {
    const int64_t first = date1904 ? 0 : 1;
    const int64_t last = date1904 ? kMaxDateSerial1904 : kMaxDateSerial1900;
    for (int64_t serial = first; serial <= last; serial += serial < 800 ? 1 : 997) {
      const CivilDate date = DateFromSerial(serial, date1904);
      EXPECT_EQ(SerialFromDate(date.year, date.month, date.day, date1904), serial) << serial;
    }
  }
  const CivilDate quirk = DateFromSerial(60, false);
  EXPECT_EQ(quirk.month * 100 + quirk.day, 229);
  EXPECT_EQ(DateFromSerial(61, false).weekday, 4);  // 1900-03-01 was a Thursday
  EXPECT_EQ(DateFromSerial(0, false).day, 0);
}

TEST(DateSerial, IsoTextGivesDaysAndTheTimeOfDay) {
  EXPECT_EQ(SerialFromIsoDate("1900-02-29", false), 60.0);
  EXPECT_EQ(SerialFromIsoDate("1900-03-01T00:00:00", false), 61.0);
  EXPECT_EQ(SerialFromIsoDate("2024-04-27T18:00:00", false), 45409.75);
  EXPECT_EQ(SerialFromIsoDate("2024-04-27 06:00", false), 45409.25);
  EXPECT_EQ(SerialFromIsoDate("12:00:00", false), 0.5);
  EXPECT_EQ(SerialFromIsoDate("00:00:43.2", false), 0.0005);
  EXPECT_EQ(SerialFromIsoDate("2024-04-27T12:00:00Z", false), 45409.5);
  for (const char* bad : {"", "2024", "2024-4-27", "2024-04-27X", "2024-04-27T25:00", "24:00",
                          "2024-02-30", "12:60", "12:00:", "12:00:x", "1899-12-31"}) {
    EXPECT_FALSE(SerialFromIsoDate(bad, false)) << bad;
  }
}

}  // namespace
}  // namespace tessarin::host
