// Tests of the .txt/.csv import: encodings, field splitting and quoting, typed values, limits.
#include "core/ooxml/text_import.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "tests/error_number.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::ooxml {
namespace {

using host::CellValue;
using host::HostError;
using ::testing::HasSubstr;

std::unique_ptr<host::Workbook> Csv(const std::string& bytes, const TextImportLimits& limits = {}) {
  return ImportText(bytes, "/data/list.csv", ',', limits);
}

std::string Dump(const std::string& bytes, char separator = ',') {
  auto wb = ImportText(bytes, "/data/list.csv", separator);
  std::string dump = testing::DumpValues(*wb);
  return dump.substr(dump.find('\n') + 1);  // without the sheet line
}

using ::tessarin::testing::ErrorOf;

// --- Encodings ---

TEST(TextImport, EveryEncodingGivesTheSameCells) {
  const std::string utf8 = "漢字\tかんじ\t12\r\n①\tＡ\tTRUE\r\n";
  const std::string expected = Dump(utf8, '\t');
  ASSERT_THAT(expected, HasSubstr("R1C1=\"漢字\""));
  ASSERT_THAT(expected, HasSubstr("R1C3=12\n"));
  ASSERT_THAT(expected, HasSubstr("R2C1=\"①\""));  // a CP932 extension character

  const std::string utf16le = host::Utf8ToUtf16Le(utf8);
  std::string utf16be = utf16le;
  for (size_t i = 0; i + 1 < utf16be.size(); i += 2) std::swap(utf16be[i], utf16be[i + 1]);
  const struct {
    std::string bytes;
    TextEncoding encoding;
  } cases[] = {
      {"\xEF\xBB\xBF" + utf8, TextEncoding::kUtf8Bom},
      {"\xFF\xFE" + utf16le, TextEncoding::kUtf16Le},
      {"\xFE\xFF" + utf16be, TextEncoding::kUtf16Be},
      {utf16le, TextEncoding::kUtf16Le},
      {*host::Utf8ToCp932(utf8), TextEncoding::kCp932},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TextEncodingName(c.encoding));
    EXPECT_EQ(DecodeText(c.bytes, "f.txt").encoding, c.encoding);
    EXPECT_EQ(Dump(c.bytes, '\t'), expected);
  }
}

TEST(TextImport, ByteOrderMarkIsNotPartOfTheFirstCell) {
  auto wb =
      Csv("\xEF\xBB\xBF"
          "abc,1");
  EXPECT_EQ(wb->Sheet(1).Value(1, 1), CellValue::Text("abc"));
}

TEST(TextImport, PlainAsciiIsUtf8) {
  EXPECT_EQ(DecodeText("a,b\n", "f.csv").encoding, TextEncoding::kUtf8);
}

TEST(TextImport, BytesThatAreNoKnownEncodingAreRefusedNamingTheFile) {
  // 0x81 0x20 is a broken Shift_JIS pair and not UTF-8.
  HostError e = ErrorOf([] { Csv("ok,\x81\x20"); });
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("/data/list.csv"));
  EXPECT_THAT(e.description(), HasSubstr("Shift_JIS"));
}

TEST(TextImport, DamagedUnicodeTextIsRefused) {
  EXPECT_EQ(ErrorOf([] {
              Csv("\xFF\xFE"
                  "a\0b");
            }).number(),
            1004);  // half a character
  EXPECT_EQ(ErrorOf([] {
              Csv(
                  std::string("\xFF\xFE\x00\xD8"
                              "a\0",
                              6));
            }).number(),
            1004);  // lone surrogate
  HostError e = ErrorOf([] {
    Csv("\xEF\xBB\xBF"
        "ok\xFF");
  });
  EXPECT_THAT(e.description(), HasSubstr("byte 5"));
}

// --- Splitting and quoting ---

TEST(TextImport, CsvQuotesHoldSeparatorsQuotesAndLineBreaks) {
  EXPECT_EQ(Dump("a,\"b,c\",\"say \"\"hi\"\"\",\"two\r\nlines\",e\r\nnext"),
            "R1C1=\"a\"\nR1C2=\"b,c\"\nR1C3=\"say "
            "\"hi\"\"\nR1C4=\"two\r\nlines\"\nR1C5=\"e\"\nR2C1=\"next\"\n");
}

TEST(TextImport, QuoteInsideAnUnquotedFieldIsKept) {
  EXPECT_EQ(Dump("5\"3,x\"y"), "R1C1=\"5\"3\"\nR1C2=\"x\"y\"\n");
}

TEST(TextImport, TextAfterTheClosingQuoteIsKeptAsItStands) {
  EXPECT_EQ(Dump("\"ab\"cd,e"), "R1C1=\"abcd\"\nR1C2=\"e\"\n");
}

TEST(TextImport, UnterminatedQuoteRunsToTheEnd) {
  EXPECT_EQ(Dump("x,\"open\nstill,open"), "R1C1=\"x\"\nR1C2=\"open\nstill,open\"\n");
}

TEST(TextImport, EmptyFieldsAndLinesLeaveGaps) {
  EXPECT_EQ(Dump(",b,,d\n\n\"\",x\n"), "R1C2=\"b\"\nR1C4=\"d\"\nR3C2=\"x\"\n");
}

TEST(TextImport, LineEndsOfEveryKind) {
  EXPECT_EQ(Dump("a\r\nb\nc\rd"), "R1C1=\"a\"\nR2C1=\"b\"\nR3C1=\"c\"\nR4C1=\"d\"\n");
  auto wb = Csv("a\r\nb\r\n");
  EXPECT_EQ(wb->Sheet(1).UsedArea(), (host::Area{1, 1, 2, 1}));  // the final line end adds no row
}

TEST(TextImport, TabSeparatedTextKeepsCommasAndHonoursQuotes) {
  EXPECT_EQ(Dump("1,5\t\"a\tb\"\tc", '\t'), "R1C1=\"1,5\"\nR1C2=\"a\tb\"\nR1C3=\"c\"\n");
}

TEST(TextImport, EmptyFileGivesOneEmptySheet) {
  auto wb = Csv("");
  ASSERT_EQ(wb->SheetCount(), 1);
  EXPECT_EQ(wb->Sheet(1).cells().CellCount(), 0u);
  EXPECT_EQ(wb->active_sheet(), &wb->Sheet(1));
}

// --- Typed values ---

TEST(TextImport, FieldsAreReadAsTypedTextWithTheirApostrophe) {
  auto wb = Csv("0427,'0427, 12 ,TRUE,=1+2,2024/4/27");
  const host::Worksheet& s = wb->Sheet(1);
  EXPECT_EQ(s.Value(1, 1), CellValue::Number(427));
  EXPECT_EQ(s.Value(1, 2), CellValue::Text("'0427"));  // a file's apostrophe is data
  EXPECT_EQ(s.Value(1, 3), CellValue::Number(12));
  EXPECT_EQ(s.Value(1, 4), CellValue::Boolean(true));
  EXPECT_EQ(s.Value(1, 5), CellValue::Text("=1+2"));  // never evaluated
  EXPECT_EQ(s.Value(1, 6), CellValue::Number(45409));
  EXPECT_EQ(s.StyleAt(1, 6).number_format, "yyyy/m/d");
}

TEST(TextImport, PercentAndGroupedNumbersGetTheFormatTypingGives) {
  auto wb = Csv("50%,1.5%,\"1,234\",\"1,234.5\",7");
  const host::Worksheet& s = wb->Sheet(1);
  EXPECT_EQ(s.StyleAt(1, 1).number_format, "0%");
  EXPECT_EQ(s.StyleAt(1, 2).number_format, "0.00%");
  EXPECT_EQ(s.StyleAt(1, 3).number_format, "#,##0");
  EXPECT_EQ(s.StyleAt(1, 4).number_format, "#,##0.00");
  EXPECT_EQ(s.StyleAt(1, 5).number_format, "General");
  EXPECT_EQ(s.Value(1, 4), CellValue::Number(1234.5));
}

TEST(TextImport, QuotedNumbersAreNumbersAsTheHostReadsThem) {
  auto wb = Csv("\"0427\",\" 8 \"");
  EXPECT_EQ(wb->Sheet(1).Value(1, 1), CellValue::Number(427));
  EXPECT_EQ(wb->Sheet(1).Value(1, 2), CellValue::Number(8));
}

// --- Sheet and workbook names ---

TEST(TextImport, SheetIsNamedAfterTheFile) {
  EXPECT_EQ(SheetNameForFile("/x/y/漢字リスト.csv"), "漢字リスト");
  EXPECT_EQ(SheetNameForFile("a:b?c*[d]e.v2.txt"), "a_b_c__d_e.v2");
  EXPECT_EQ(SheetNameForFile("'quoted'.csv"), "_quoted_");
  EXPECT_EQ(SheetNameForFile("history.csv"), "history_");
  EXPECT_EQ(SheetNameForFile("noext"), "noext");
  EXPECT_EQ(SheetNameForFile("\n.csv"), "_");
  EXPECT_EQ(SheetNameForFile("bad\xFF.csv"), "bad\xEF\xBF\xBD");
  const std::string long_name = "問題" + std::string(40, 'x') + ".csv";
  EXPECT_EQ(SheetNameForFile(long_name), "問題" + std::string(29, 'x'));

  auto wb = ImportText("1", "/some/folder/単語帳.csv", ',');
  EXPECT_EQ(wb->name(), "単語帳.csv");
  EXPECT_EQ(wb->Sheet(1).name(), "単語帳");
}

// --- Limits ---

TEST(TextImport, FileOverTheSizeLimitIsRefused) {
  TextImportLimits limits;
  limits.max_bytes = 8;
  EXPECT_NO_THROW(Csv("12345678", limits));
  HostError e = ErrorOf([&] { Csv("123456789", limits); });
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("9 bytes"));
}

TEST(TextImport, CellLengthIsCountedInCharacters) {
  TextImportLimits limits;
  limits.max_cell_chars = 4;
  EXPECT_NO_THROW(Csv("漢字漢字,abcd", limits));  // 12 bytes, 4 characters
  HostError e = ErrorOf([&] { Csv("ok\nx,\"abcde\"", limits); });
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("row 2, column 2"));
}

TEST(TextImport, MoreColumnsThanASheetHoldsIsRefused) {
  const std::string just_fits = std::string(host::kMaxColumns - 1, ',') + "last";
  EXPECT_EQ(Csv(just_fits)->Sheet(1).Value(1, host::kMaxColumns), CellValue::Text("last"));
  // Empty fields past the edge hold nothing and are harmless.
  EXPECT_NO_THROW(Csv("a" + std::string(host::kMaxColumns + 5, ',')));
  HostError e = ErrorOf([&] { Csv("ok\n" + just_fits + ",over"); });
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("row 2"));
}

TEST(TextImport, MoreRowsThanASheetHoldsIsRefused) {
  std::string rows(host::kMaxRows - 1, '\n');
  EXPECT_EQ(Csv(rows + "x")->Sheet(1).Value(host::kMaxRows, 1), CellValue::Text("x"));
  EXPECT_EQ(ErrorOf([&] { Csv(rows + "x\ny"); }).number(), 1004);
}

}  // namespace
}  // namespace tessarin::ooxml
