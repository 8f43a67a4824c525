// Typed input: one table of what typing gives, from the keyboard and from a text file, and
// what entering it does to a cell.
#include "core/host/typed_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/host/application.h"
#include "core/host/range.h"
#include "tests/error_number.h"

namespace tessarin::host {
namespace {

using testing::ErrorNumber;

enum From { kBoth, kKeyboardOnly, kFileOnly };

struct Case {
  const char* typed;
  CellValue value;
  const char* format;  // "" keeps General
  From from = kBoth;
};

// 2024-04-27 is serial 45409 in the 1900 system.
const Case kCases[] = {
    {"12", CellValue::Number(12), ""},
    {"0427", CellValue::Number(427), ""},
    {"1.5", CellValue::Number(1.5), ""},
    {"-3", CellValue::Number(-3), ""},
    {"+4", CellValue::Number(4), ""},
    {"1e3", CellValue::Number(1000), ""},
    {"2.5E-1", CellValue::Number(0.25), ""},
    {" 12", CellValue::Number(12), ""},
    {" 12 ", CellValue::Number(12), ""},
    {".5", CellValue::Number(0.5), ""},
    {"5.", CellValue::Number(5), ""},
    {"-0", CellValue::Number(0), ""},
    {"1,234", CellValue::Number(1234), "#,##0"},
    {"1,234,567", CellValue::Number(1234567), "#,##0"},
    {"-1,234.5", CellValue::Number(-1234.5), "#,##0.00"},
    {"50%", CellValue::Number(0.5), "0%"},
    {"1.5%", CellValue::Number(0.015), "0.00%"},
    {"-12.5%", CellValue::Number(-0.125), "0.00%"},
    {"2024/4/27", CellValue::Number(45409), "yyyy/m/d"},
    {"2024-04-27", CellValue::Number(45409), "yyyy/m/d"},
    {" 1900/3/1 ", CellValue::Number(61), "yyyy/m/d"},
    {"TRUE", CellValue::Boolean(true), ""},
    {"false", CellValue::Boolean(false), ""},
    {" True ", CellValue::Boolean(true), ""},
    {"#N/A", CellValue::Error(CellError::kNA), ""},
    {"#div/0!", CellValue::Error(CellError::kDiv0), ""},
    // Text: kept exactly as typed, spaces and all.
    {"'0427", CellValue::Text("0427"), "", kKeyboardOnly},
    {"'TRUE", CellValue::Text("TRUE"), "", kKeyboardOnly},
    {"'", CellValue::Text(""), "", kKeyboardOnly},
    {"'0427", CellValue::Text("'0427"), "", kFileOnly},
    {"12,34", CellValue::Text("12,34"), ""},
    {"1,2345", CellValue::Text("1,2345"), ""},
    {",123", CellValue::Text(",123"), ""},
    {"1,234e3", CellValue::Text("1,234e3"), ""},
    {"1.5.2", CellValue::Text("1.5.2"), ""},
    {"1e", CellValue::Text("1e"), ""},
    {"e3", CellValue::Text("e3"), ""},
    {".", CellValue::Text("."), ""},
    {"-", CellValue::Text("-"), ""},
    {"%", CellValue::Text("%"), ""},
    {"1e400", CellValue::Text("1e400"), ""},
    {"0x10", CellValue::Text("0x10"), ""},
    {"12abc", CellValue::Text("12abc"), ""},
    {"inf", CellValue::Text("inf"), ""},
    {"nan", CellValue::Text("nan"), ""},
    {"1 2", CellValue::Text("1 2"), ""},
    {"TRUEX", CellValue::Text("TRUEX"), ""},
    {"#NOPE", CellValue::Text("#NOPE"), ""},
    {"=1+2", CellValue::Text("=1+2"), ""},
    {" x ", CellValue::Text(" x "), ""},
    {"１２", CellValue::Text("１２"), ""},
    {"2023/2/30", CellValue::Text("2023/2/30"), ""},
    {"2024/4-27", CellValue::Text("2024/4-27"), ""},
    {"24/4/27", CellValue::Text("24/4/27"), ""},
    {"4/27", CellValue::Text("4/27"), ""},
    {"2024/13/1", CellValue::Text("2024/13/1"), ""},
    {"2024/4/27/1", CellValue::Text("2024/4/27/1"), ""},
};

TEST(ReadTyped, OneTableForTheKeyboardAndTextFiles) {
  for (const Case& c : kCases) {
    for (TypedFrom from : {TypedFrom::kKeyboard, TypedFrom::kTextFile}) {
      if ((c.from == kKeyboardOnly && from != TypedFrom::kKeyboard) ||
          (c.from == kFileOnly && from != TypedFrom::kTextFile)) {
        continue;
      }
      const TypedValue read = ReadTyped(c.typed, from);
      const char* where = from == TypedFrom::kKeyboard ? "keyboard" : "file";
      EXPECT_EQ(read.ToValue(), c.value) << where << ": [" << c.typed << "]";
      EXPECT_EQ(read.number_format, c.format) << where << ": [" << c.typed << "]";
    }
  }
}

TEST(ReadTyped, EmptyIsEmptyAndNoNumberIsNegativeZero) {
  EXPECT_TRUE(ReadTyped("", TypedFrom::kKeyboard).ToValue().IsEmpty());
  EXPECT_FALSE(std::signbit(ReadTyped("-0", TypedFrom::kTextFile).value.number));
  EXPECT_FALSE(std::signbit(ReadTyped("-0%", TypedFrom::kKeyboard).value.number));
}

TEST(ReadTyped, DatesFollowTheWorkbooksDateSystem) {
  EXPECT_EQ(ReadTyped("1904/1/2", TypedFrom::kKeyboard, true).value, CellValue::Number(1));
  EXPECT_EQ(ReadTyped("1904/1/2", TypedFrom::kKeyboard, false).value, CellValue::Number(1463));
  // Before the 1904 system's first day there is no such date: the text stays.
  EXPECT_EQ(ReadTyped("1903/12/31", TypedFrom::kKeyboard, true).ToValue(),
            CellValue::Text("1903/12/31"));
}

TEST(ParseInput, RepairsMalformedBytesAndRefusesTooLongText) {
  EXPECT_EQ(ParseInput("a\xFF"), CellValue::Text("a\xEF\xBF\xBD"));
  EXPECT_EQ(ParseInput(std::string(kMaxCellChars, '7')).type, ValueType::kText);
  EXPECT_EQ(ErrorNumber([] { ParseInput(std::string(kMaxCellChars + 1, 'x')); }), 1004);
}

class EnterTypedTest : public ::testing::Test {
 protected:
  EnterTypedTest() : book_(app_.Workbooks().Add()), sheet_(book_.Sheet(1)) {}
  Range At(std::string_view address) { return Range::All(sheet_).SubRange(address); }

  Application app_;
  Workbook& book_;
  Worksheet& sheet_;
};

TEST_F(EnterTypedTest, AGeneralCellTakesTheFormatThatComesWithTheValue) {
  EnterTyped(At("A1"), "1,234");
  EXPECT_EQ(At("A1").Value(), CellValue::Number(1234));
  EXPECT_EQ(At("A1").Text(), "1,234");
  EnterTyped(At("A2"), "50%");
  EXPECT_EQ(At("A2").Text(), "50%");
  EnterTyped(At("A3"), "2024/4/27");
  EXPECT_EQ(At("A3").Text(), "2024/4/27");
}

TEST_F(EnterTypedTest, AFormattedCellKeepsItsFormat) {
  At("B1").SetNumberFormat("0.0");
  EnterTyped(At("B1"), "50%");
  EXPECT_EQ(At("B1").Value(), CellValue::Number(0.5));
  EXPECT_EQ(At("B1").NumberFormat(), "0.0");
}

TEST_F(EnterTypedTest, TextAndFormulasAsTyped) {
  EnterTyped(At("C1"), "'0427");
  EXPECT_EQ(At("C1").Value(), CellValue::Text("0427"));
  EXPECT_EQ(At("C1").NumberFormat(), "General");
  EnterTyped(At("C2"), "=C1");
  EXPECT_EQ(At("C2").Formula(), "=C1");
  EnterTyped(At("C3"), "");
  EXPECT_TRUE(At("C3").Value().IsEmpty());
}

TEST_F(EnterTypedTest, DatesCountInTheWorkbooksSystem) {
  book_.set_date1904(true);
  EnterTyped(At("D1"), "1904/1/2");
  EXPECT_EQ(At("D1").Value(), CellValue::Number(1));
}

TEST_F(EnterTypedTest, AProtectedSheetRefuses) {
  sheet_.set_protected(true);
  EXPECT_EQ(ErrorNumber([&] { EnterTyped(At("A1"), "12"); }), 1004);
  EXPECT_TRUE(At("A1").Value().IsEmpty());
}

}  // namespace
}  // namespace tessarin::host
