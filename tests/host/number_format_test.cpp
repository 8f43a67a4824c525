// Tests of the number format engine: General, number codes, sections, dates and eras, text.
#include "core/host/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace tessarin::host {
namespace {

struct Case {
  double value;
  const char* code;
  std::string expected;
};

void ExpectAll(const std::vector<Case>& cases, bool date1904 = false) {
  for (const Case& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.code, date1904), c.expected)
        << "value " << c.value << " with " << c.code;
  }
}

// Serial of a date from 1900-03-01 on: its days since 1899-12-30, counted by whole years and
// months so as not to depend on the engine.
double Serial(int year, int month, int day) {
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  long days = 1;  // 1899-12-31
  for (int y = 1900; y < year; ++y) days += leap(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += kMonthDays[m - 1] + (m == 2 && leap(year));
  return static_cast<double>(days + day);
}

TEST(FormatGeneral, IntegersUpToElevenDigitsShowInFull) {
  double nines = 0;
  double power = 1;
  for (int digits = 1; digits <= 11; ++digits) {
    nines = nines * 10 + 9;
    EXPECT_EQ(FormatGeneral(nines), std::string(digits, '9'));
    EXPECT_EQ(FormatGeneral(-nines), "-" + std::string(digits, '9'));
    EXPECT_EQ(FormatGeneral(power), "1" + std::string(digits - 1, '0'));
    power *= 10;
  }
  EXPECT_EQ(FormatGeneral(12345678901), "12345678901");
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
}

TEST(FormatGeneral, TwelveDigitsAndMoreShowScientific) {
  EXPECT_EQ(FormatGeneral(123456789012), "1.23457E+11");
  EXPECT_EQ(FormatGeneral(1234567890123), "1.23457E+12");
  EXPECT_EQ(FormatGeneral(100000000000), "1E+11");
  EXPECT_EQ(FormatGeneral(999999999999), "1E+12");
  EXPECT_EQ(FormatGeneral(99999999999.5), "1E+11");  // rounds up past eleven digits
  EXPECT_EQ(FormatGeneral(-1234567890123), "-1.23457E+12");
  EXPECT_EQ(FormatGeneral(1e100), "1E+100");
  EXPECT_EQ(FormatGeneral(1.23456789e100), "1.2346E+100");
  EXPECT_EQ(FormatGeneral(1.7976931348623157e308), "1.7977E+308");
}

TEST(FormatGeneral, FractionsRoundToElevenCharacters) {
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(1.0 / 3), "0.333333333");
  EXPECT_EQ(FormatGeneral(2.0 / 3), "0.666666667");
  EXPECT_EQ(FormatGeneral(-2.0 / 3), "-0.666666667");
  EXPECT_EQ(FormatGeneral(123.456789012345), "123.456789");
  EXPECT_EQ(FormatGeneral(1234567890.5), "1234567891");
  EXPECT_EQ(FormatGeneral(0.99999999999), "1");
  EXPECT_EQ(FormatGeneral(2.9999999999999996), "3");
  EXPECT_EQ(FormatGeneral(1.5), "1.5");
}

TEST(FormatGeneral, SmallNumbersKeepTheirDigits) {
  EXPECT_EQ(FormatGeneral(1e-5), "0.00001");
  EXPECT_EQ(FormatGeneral(0.0001), "0.0001");
  EXPECT_EQ(FormatGeneral(0.0001234567), "0.000123457");
  EXPECT_EQ(FormatGeneral(0.00001234567), "1.23457E-05");
  EXPECT_EQ(FormatGeneral(0.000001234), "1.234E-06");
  EXPECT_EQ(FormatGeneral(1e-10), "1E-10");
  EXPECT_EQ(FormatGeneral(-1e-100), "-1E-100");
  EXPECT_EQ(FormatGeneral(5e-324), "4.9407E-324");
}

TEST(FormatGeneral, NotANumberShowsNumError) {
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "#NUM!");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity()), "#NUM!");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity(), "0"), "#NUM!");
}

TEST(FormatNumber, RoundsHalfAwayFromZero) {
  for (int k = 0; k <= 50; ++k) {
    const std::string up = std::to_string(k + 1);
    EXPECT_EQ(FormatNumber(k + 0.5, "0"), up);
    EXPECT_EQ(FormatNumber(-(k + 0.5), "0"), "-" + up);
    EXPECT_EQ(FormatNumber(k + 0.49, "0"), std::to_string(k));
  }
  // Decimal halves that binary stores a little low still round up, on 15 digits.
  ExpectAll({{0.125, "0.00", "0.13"},
             {1.005, "0.00", "1.01"},
             {2.675, "0.00", "2.68"},
             {0.05, "0.0", "0.1"},
             {-0.045, "0.00", "-0.05"},
             {0.9999, "0.00", "1.00"},
             {99.95, "#,##0.0", "100.0"},
             {999999.5, "#,##0", "1,000,000"}});
}

TEST(FormatNumber, PlainNumberCodes) {
  ExpectAll({{1234.567, "0", "1235"},
             {1234.567, "0.0", "1234.6"},
             {1234.567, "0.00", "1234.57"},
             {1234.567, "#,##0", "1,235"},
             {1234.567, "#,##0.00", "1,234.57"},
             {0, "0.00", "0.00"},
             {0, "#,##0", "0"},
             {-1234.567, "#,##0.00", "-1,234.57"},
             {0.5, "#.00", ".50"},
             {1.5, "0.##", "1.5"},
             {1, "0.##", "1."},
             {12.3, "0.0?", "12.3 "},
             {5, "000", "005"},
             {5, "0,000", "0,005"},
             {1234567, "000-0000", "123-4567"},
             {123456789, "000-0000", "12345-6789"},
             {0, "#", ""},
             {12.5, ".00", "12.50"},
             {33.333, "#0.0", "33.3"}});
}

TEST(FormatNumber, ThousandsSeparatorSweep) {
  double v = 1;
  for (int digits = 1; digits <= 15; ++digits) {
    std::string plain = "1" + std::string(digits - 1, '0');
    std::string grouped;
    for (size_t i = 0; i < plain.size(); ++i) {
      if (i > 0 && (plain.size() - i) % 3 == 0) grouped += ',';
      grouped += plain[i];
    }
    EXPECT_EQ(FormatNumber(v, "#,##0"), grouped);
    EXPECT_EQ(FormatNumber(-v, "#,##0.00"), "-" + grouped + ".00");
    v *= 10;
  }
}

TEST(FormatNumber, PercentScientificAndScaling) {
  ExpectAll({{0.5, "0%", "50%"},
             {0.1234, "0.0%", "12.3%"},
             {-0.005, "0%", "-1%"},
             {12345, "0.00E+00", "1.23E+04"},
             {0.000123, "0.00E+00", "1.23E-04"},
             {9.999, "0.00E+0", "1.00E+1"},
             {0, "0.00E+00", "0.00E+00"},
             {-0.000123, "0.00E+00", "-1.23E-04"},
             {123, "0.0E-00", "1.2E02"},
             {12345, "##0.0E+0", "12.3E+3"},
             {0.001, "##0.0E+0", "1.0E-3"},
             {1234567, "#,##0,", "1,235"},
             {1234567, "0.0,,", "1.2"}});
}

TEST(FormatNumber, HugeAndTinyValues) {
  ExpectAll({{1e20, "0", "100000000000000000000"},
             {1e15, "#,##0", "1,000,000,000,000,000"},
             {1e-20, "0.00", "0.00"},
             {-1e-20, "0.00", "-0.00"},
             {1.7976931348623157e308, "0.00E+00", "1.80E+308"},
             {5e-324, "0.0E+000", "4.9E-324"}});
}

TEST(FormatNumber, QuotedAndEscapedLiterals) {
  ExpectAll({{1, "\"No.\"0", "No.1"},
             {12, "\"No.\"0", "No.12"},
             {-1, "\"No.\"0", "-No.1"},
             {5, "0\\k\\g", "5kg"},
             {5, "0 \"kg\"", "5 kg"},
             {5, "0\"円\"", "5円"},
             {5, "0円", "5円"},
             {5, "\"a;b\"0", "a;b5"},  // a quoted ";" does not split sections
             {5, "0\\;0", "0;5"},      // nor an escaped one
             {5, "0_)", "5 "},
             {5, "*-0", "5"},
             {5, "(0)", "(5)"},
             {5, "$0", "$5"},
             {5, "\"x\"General", "x5"}});
}

TEST(FormatNumber, SectionsChooseBySign) {
  ExpectAll({{5, "0;(0);\"zero\"", "5"},
             {-5, "0;(0);\"zero\"", "(5)"},
             {0, "0;(0);\"zero\"", "zero"},
             {-5, "0;0", "5"},   // the negative section shows no minus of its own
             {-0.4, "0", "-0"},  // the sign is the value's, not the rounded text's
             {-5, "0;[Red]\\-0", "-5"},
             {0, "0.0;(0.0)", "0.0"},
             {-5, "0;", ""},
             {0, "0;-0;;@", ""},
             {7, ";;;", ""},
             {-1234.5, "#,##0.00_);[Red](#,##0.00)", "(1,234.50)"},
             {1, "#,##0.00_);[Red](#,##0.00)", "1.00 "},
             {0, "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ", " - "},
             {-12, "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ", " -12 "}});
}

TEST(FormatNumber, ColourLocaleAndConditionCodes) {
  ExpectAll({{5, "[Red]0.0", "5.0"},
             {5, "[Color10]0", "5"},
             {5, "[$-411]0", "5"},
             {1234.5, "[$¥-411]#,##0", "¥1,235"},
             {5, "[DBNum1]0", "5"},
             {150, "[>=100]\"big\";\"small\"", "big"},
             {5, "[>=100]\"big\";\"small\"", "small"},
             {-5, "[>=100]0;0", "-5"},
             {50, "[<100]0.0;[>=100]0;\"x\"", "50.0"},
             {500, "[<100]0.0;[>=100]0;\"x\"", "500"}});
}

TEST(FormatNumber, Fractions) {
  ExpectAll({{1.5, "# ?/?", "1 1/2"},
             {0.75, "# ?/?", " 3/4"},
             {2, "# ?/?", "2    "},
             {-1.25, "# ?/?", "-1 1/4"},
             {1.5, "?/?", "3/2"},
             {0.3333, "# ?\?/?\?", "  1/3 "},
             {3.14159, "# ?\?/?\?", "3 14/99"},
             {0.1428, "# ?\?/?\?", "  1/7 "},
             {0.4, "# ?/4", " 2/4"},
             {0.96, "# ?/4", "1    "},
             {1.5, "?/4", "6/4"},
             {0, "?/?", "0/1"},
             {1e20, "?/?", "100000000000000000000/1"},
             {1e300, "?/4", "4" + std::string(300, '0') + "/4"}});
}

TEST(FormatNumber, UnparseableCodesFallBackToGeneral) {
  for (const char* code : {"\"abc", "0\\", "0_", "[Bogus]0", "[Red", "0;0;0;0;0", "xyz", "[>=abc]0",
                           "0 kg", "@;0", "0@", "yyyy@", "0.0E+0/2"}) {
    EXPECT_EQ(FormatNumber(1234567890123, code), "1.23457E+12") << code;
    EXPECT_EQ(FormatNumber(-0.5, code), "-0.5") << code;
  }
  EXPECT_EQ(FormatNumber(0.1 + 0.2, ""), "0.3");
  EXPECT_EQ(FormatNumber(1234567890123, "@"), "1.23457E+12");  // text code: numbers stay General
  EXPECT_EQ(FormatNumber(-5, "G/標準"), "-5");
}

TEST(FormatNumber, ManyCodesBeyondTheCacheStayCorrect) {
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 1500; ++i) {
      const std::string code = "\"" + std::to_string(i) + ":\"0.0";
      ASSERT_EQ(FormatNumber(2.25, code), std::to_string(i) + ":2.3");
    }
  }
}

TEST(FormatDate, LeapDayQuirkOf1900) {
  ExpectAll({{0, "yyyy/m/d", "1900/1/0"},
             {1, "yyyy/m/d ddd", "1900/1/1 Sun"},
             {59, "yyyy/mm/dd", "1900/02/28"},
             {60, "yyyy/mm/dd ddd", "1900/02/29 Wed"},
             {61, "yyyy/mm/dd dddd", "1900/03/01 Thursday"},
             {61.75, "yyyy/m/d h:mm", "1900/3/1 18:00"}});
}

TEST(FormatDate, SerialSweepFollowsTheCalendar) {
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = 1900, month = 3, day = 1, weekday = 4;
  for (int serial = 61; serial <= 73415; ++serial) {  // to 2100-12-31
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02d %s", year, month, day, kDays[weekday]);
    ASSERT_EQ(FormatNumber(serial, "yyyy-mm-dd ddd"), expected) << serial;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    weekday = (weekday + 1) % 7;
    if (++day > kMonthDays[month - 1] + (month == 2 && leap)) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
  EXPECT_EQ(FormatNumber(2958465, "yyyy/m/d"), "9999/12/31");
}

TEST(FormatDate, System1904IsFourYearsAndADayLater) {
  EXPECT_EQ(FormatNumber(0, "yyyy/m/d dddd", true), "1904/1/1 Friday");
  for (double serial : {0.0, 1.0, 365.25, 40000.5, 2957003.0}) {
    EXPECT_EQ(FormatNumber(serial, "yyyy/mm/dd hh:mm ddd", true),
              FormatNumber(serial + 1462, "yyyy/mm/dd hh:mm ddd"));
  }
  EXPECT_EQ(FormatNumber(2957004, "yyyy", true), "########");
}

TEST(FormatDate, OutOfRangeShowsHashes) {
  EXPECT_EQ(FormatNumber(-1, "yyyy/m/d"), "########");
  EXPECT_EQ(FormatNumber(-0.25, "h:mm"), "########");
  EXPECT_EQ(FormatNumber(2958466, "yyyy/m/d"), "########");
  EXPECT_EQ(FormatNumber(1e300, "[h]"), "########");
}

TEST(FormatDate, TimeCodes) {
  const double t = 13.0 / 24 + 5.0 / 1440 + 9.0 / 86400;  // 13:05:09
  ExpectAll({{t, "h:mm", "13:05"},
             {t, "hh:mm:ss", "13:05:09"},
             {t, "h:mm AM/PM", "1:05 PM"},
             {t, "h:mm am/pm", "1:05 pm"},
             {t, "h:mm A/P", "1:05 P"},
             {t, "午前/午後h時mm分", "午後1時05分"},
             {0, "h:mm AM/PM", "12:00 AM"},
             {0.5, "h:mm AM/PM", "12:00 PM"},
             {45000 + t, "m/d h:mm", "3/15 13:05"},  // month before the hour, minutes after
             {45000 + t, "mm:ss", "05:09"},          // minutes before seconds
             {45000 + t, "yyyy-mm", "2023-03"},
             {1.5 + t, "[h]:mm:ss", "49:05:09"},
             {2.5, "[mm]:ss", "3600:00"},
             {0.5, "mm:ss.0", "00:00.0"},
             {10.5 / 24 - 0.4 / 86400, "h:mm:ss", "10:30:00"},  // seconds round
             {10.5 / 24 - 10.0 / 86400, "h:mm", "10:29"},       // minutes are cut
             {1.25 / 86400, "ss.00", "01.25"},
             {0.999999999, "yyyy/m/d h:mm:ss", "1900/1/1 0:00:00"}});
}

TEST(FormatDate, MonthAndDayNames) {
  ExpectAll({{45000, "mmm mmmm mmmmm", "Mar March M"},
             {45000, "ddd dddd", "Wed Wednesday"},
             {45000, "d-mmm-yy", "15-Mar-23"},
             {45000, "yy/m/d", "23/3/15"},
             {45000, "yyyy\"年\"m\"月\"d\"日\"(aaa)", "2023年3月15日(水)"},
             {45001, "aaaa", "木曜日"},
             {45004, "aaa", "日"}});
}

TEST(FormatDate, JapaneseEraChanges) {
  const char* kCode = "[$-411]ggge\"年\"m\"月\"d\"日\"";
  ExpectAll({{Serial(2019, 4, 30), kCode, "平成31年4月30日"},
             {Serial(2019, 5, 1), kCode, "令和1年5月1日"},
             {Serial(1989, 1, 7), kCode, "昭和64年1月7日"},
             {Serial(1989, 1, 8), kCode, "平成1年1月8日"},
             {Serial(1926, 12, 24), kCode, "大正15年12月24日"},
             {Serial(1926, 12, 25), kCode, "昭和1年12月25日"},
             {Serial(1912, 7, 29), kCode, "明治45年7月29日"},
             {Serial(1912, 7, 30), kCode, "大正1年7月30日"},
             {1, kCode, "明治33年1月1日"},
             {Serial(2019, 5, 1), "[$-411]ge.m.d", "R1.5.1"},
             {Serial(2019, 4, 30), "gg ee", "平 31"},
             {Serial(2024, 1, 1), "ggg ee", "令和 06"},
             {Serial(2019, 5, 1), "[$-ja-JP-x-gannen]ggge\"年\"", "令和元年"},
             {Serial(2020, 5, 1), "[$-ja-JP-x-gannen]ggge\"年\"", "令和2年"}});
}

TEST(FormatText, UsesTheTextSection) {
  EXPECT_EQ(FormatText("abc", "@"), "abc");
  EXPECT_EQ(FormatText("abc", "\"Name: \"@"), "Name: abc");
  EXPECT_EQ(FormatText("abc", "0;-0;0;[Red]\"<\"@\">\""), "<abc>");
  EXPECT_EQ(FormatText("abc", "0.00;@@"), "abcabc");
  EXPECT_EQ(FormatText("abc", "_(@_)"), " abc ");
  EXPECT_EQ(FormatText("abc", ";;;"), "");
  EXPECT_EQ(FormatText("abc", "0;0;0;\"text\""), "text");
}

TEST(FormatText, WithoutTextSectionTextShowsUnchanged) {
  for (const char* code : {"", "General", "0.00", "\"No.\"0", "yyyy/m/d", "0;0;0", "\"abc"}) {
    EXPECT_EQ(FormatText("漢字", code), "漢字") << code;
  }
}

TEST(IsDateFormat, RecognisesDateAndTimeCodes) {
  for (const char* code : {"yyyy/m/d", "[h]:mm:ss", "h:mm AM/PM", "[Red]yyyy", "aaa", "ge.m.d",
                           "mm:ss.0", "[$-F800]dddd, mmmm dd, yyyy"}) {
    EXPECT_TRUE(IsDateFormat(code)) << code;
  }
  for (const char* code :
       {"", "General", "0.00", "@", "\"y\"0", "\\d0", "0;yyyy", "xyz", "0.00E+00"}) {
    EXPECT_FALSE(IsDateFormat(code)) << code;
  }
}

TEST(BuiltinFormatCode, KnownIdsParseAndShowAsTheHostDoes) {
  for (int id = 0; id <= 58; ++id) {
    const std::string_view code = BuiltinFormatCode(id);
    EXPECT_EQ(code.empty(), id >= 23 && id <= 26) << id;
    const bool date =
        (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || id >= 50;
    EXPECT_EQ(IsDateFormat(code), date) << id;
  }
  EXPECT_EQ(BuiltinFormatCode(59), "");
  EXPECT_EQ(BuiltinFormatCode(-1), "");
  const double may_day = Serial(2019, 5, 1) + 0.5;
  EXPECT_EQ(FormatNumber(1234.5, BuiltinFormatCode(3)), "1,235");
  EXPECT_EQ(FormatNumber(-1234.5, BuiltinFormatCode(5)), "¥-1,235");
  EXPECT_EQ(FormatNumber(0.25, BuiltinFormatCode(10)), "25.00%");
  EXPECT_EQ(FormatNumber(may_day, BuiltinFormatCode(14)), "2019/5/1");
  EXPECT_EQ(FormatNumber(may_day, BuiltinFormatCode(22)), "2019/5/1 12:00");
  EXPECT_EQ(FormatNumber(may_day, BuiltinFormatCode(31)), "2019年5月1日");
  EXPECT_EQ(FormatNumber(may_day, BuiltinFormatCode(33)), "12時00分00秒");
  EXPECT_EQ(FormatNumber(may_day, BuiltinFormatCode(58)), "令和1年5月1日");
  EXPECT_EQ(FormatNumber(may_day, BuiltinFormatCode(57)), "R1.5.1");
  EXPECT_EQ(FormatNumber(1.5, BuiltinFormatCode(46)), "36:00:00");
  EXPECT_EQ(FormatNumber(1.5, BuiltinFormatCode(12)), "1 1/2");
  EXPECT_EQ(FormatText("abc", BuiltinFormatCode(49)), "abc");
}

}  // namespace
}  // namespace tessarin::host
