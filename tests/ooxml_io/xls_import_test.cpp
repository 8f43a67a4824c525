// Tests of the .xls import: values of a workbook made by LibreOffice (data/values.fods saved as
// data/values.xls), corpus workbooks, and damaged or protected files.
#include "core/ooxml/xls_import.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/host/host_error.h"
#include "tests/corpus.h"
#include "tests/error_number.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::ooxml {
namespace {

using host::CellValue;
using host::HostError;
using ::testing::HasSubstr;

const std::string kData = TESSARIN_SOURCE_DIR "/tests/ooxml_io/data/";
std::string Corpus() { return test_corpus::XlsxDir(); }

std::string Values() { return testing::ReadFile(kData + "values.xls"); }

using ::tessarin::testing::ErrorOf;

HostError ImportError(const std::string& bytes, const XlsImportLimits& limits = {}) {
  return ErrorOf([&] { ImportXls(bytes, "/in/book.xls", limits); });
}

uint32_t U32At(const std::string& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// Offset of the first BIFF8 BOF record (the workbook globals) in the file.
size_t GlobalsBof(const std::string& b) {
  return b.find(std::string("\x09\x08\x10\x00\x00\x06\x05\x00", 8));
}

TEST(XlsImport, ReadsTextNumbersAndFormulaResults) {
  auto wb = ImportXls(Values(), "/in/values.xls");
  ASSERT_EQ(wb->SheetCount(), 3);
  const host::Worksheet& s = wb->Sheet(1);
  EXPECT_EQ(s.name(), "値");
  EXPECT_EQ(s.Value(1, 2), CellValue::Text("漢字かな"));
  EXPECT_EQ(s.Value(1, 3), CellValue::Text("tab\tinside"));
  EXPECT_EQ(s.Value(1, 4), CellValue::Text("quote \"q\""));
  EXPECT_EQ(s.Value(2, 2), CellValue::Number(-2.5));
  EXPECT_EQ(s.Value(2, 3), CellValue::Number(0.1));
  EXPECT_EQ(s.Value(2, 4), CellValue::Number(1e300));
  EXPECT_EQ(s.Value(2, 5), CellValue::Number(123456789012));
  for (int col = 1; col <= 5; ++col)
    EXPECT_EQ(s.Value(3, col), CellValue::Number(col));  // one MULRK record
  // Cached results of formulas, which the record walk recovers.
  EXPECT_EQ(s.Value(5, 1), CellValue::Number(3));
  EXPECT_EQ(s.Value(5, 2), CellValue::Boolean(true));
  EXPECT_EQ(s.Value(5, 3), CellValue::Error(host::CellError::kDiv0));
  EXPECT_EQ(s.Value(5, 4), CellValue::Error(host::CellError::kNA));
  EXPECT_EQ(s.Value(5, 5), CellValue::Boolean(false));
  EXPECT_EQ(wb->active_sheet(), &s);
  EXPECT_EQ(wb->name(), "values.xls");
}

TEST(XlsImport, DatesKeepTheirTimeOfDayAndGetADateFormat) {
  auto wb = ImportXls(Values(), "values.xls");
  const host::Worksheet& s = wb->Sheet(1);
  // 2024-04-01 12:30 under a date-only format: the time must survive.
  EXPECT_DOUBLE_EQ(s.Value(6, 1).number, 45383 + 12.5 / 24);
  EXPECT_EQ(s.StyleAt(6, 1).number_format, "yyyy/m/d");
  EXPECT_DOUBLE_EQ(s.Value(6, 3).number, 45383 + (12 * 3600 + 30 * 60 + 15) / 86400.0);
  EXPECT_EQ(s.StyleAt(6, 3).number_format, "yyyy/m/d h:mm");
  EXPECT_DOUBLE_EQ(s.Value(6, 4).number, (15 * 3600 + 10 * 60 + 10) / 86400.0);
  EXPECT_EQ(s.StyleAt(6, 4).number_format, "h:mm:ss");
}

TEST(XlsImport, SheetVisibilityAndOrderSurvive) {
  auto wb = ImportXls(Values(), "values.xls");
  EXPECT_EQ(wb->Sheet(2).name(), "Hidden");
  EXPECT_EQ(wb->Sheet(2).visibility(), host::SheetVisibility::kHidden);
  EXPECT_EQ(wb->Sheet(2).Value(1, 1), CellValue::Text("secret"));
  EXPECT_EQ(wb->Sheet(3).name(), "Last");
  EXPECT_EQ(wb->Sheet(3).Value(1, 2), CellValue::Number(42));
}

TEST(XlsImport, Reads1904DateSystemWorkbook) {
  TESSARIN_REQUIRE_CORPUS();
  auto wb = ImportXls(testing::ReadFile(Corpus() + "calamine__date_1904.xls"), "date_1904.xls");
  EXPECT_TRUE(wb->date1904());
  // 2021-01-01 is day 42735 counted from 1904-01-01.
  EXPECT_EQ(wb->Sheet(1).Value(1, 1), CellValue::Number(42735));
  EXPECT_EQ(wb->Sheet(1).StyleAt(1, 1).number_format, "yyyy/m/d");
}

TEST(XlsImport, ReadsSharedStringsSplitOverContinueRecords) {
  TESSARIN_REQUIRE_CORPUS();
  auto wb = ImportXls(testing::ReadFile(Corpus() + "calamine__sst_continue.xls"), "sst.xls");
  const host::Worksheet& s = wb->Sheet(1);
  for (int row : {1, 68, 134}) {
    char expected[80];
    std::snprintf(expected, sizeof expected,
                  "This is a long string with a serial number at the end %04d", row);
    EXPECT_EQ(s.Value(row, 1), CellValue::Text(expected));
  }
  EXPECT_EQ(s.Value(136, 1), CellValue::Text("New CONTINUE block"));
}

TEST(XlsImport, ReadsJapaneseAndChineseSheets) {
  TESSARIN_REQUIRE_CORPUS();
  auto wb = ImportXls(testing::ReadFile(Corpus() + "poi__12843-2.xls"), "12843-2.xls");
  ASSERT_EQ(wb->SheetCount(), 4);
  EXPECT_EQ(wb->Sheet(4).name(), "topics");
  EXPECT_EQ(wb->Sheet(4).Value(2, 2), CellValue::Text("大明湖"));
  auto jp = ImportXls(testing::ReadFile(Corpus() + "poi__12561-1.xls"), "12561-1.xls");
  EXPECT_EQ(jp->Sheet(1).name(), "作業リスト");
  EXPECT_EQ(jp->Sheet(1).Value(3, 1), CellValue::Text("作業NO"));
}

// --- Refusals ---

TEST(XlsImport, NotAContainerIsRefused) {
  HostError e = ImportError("plain text, not a workbook");
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("/in/book.xls"));
  EXPECT_THAT(e.description(), HasSubstr("not an Excel 97-2003 workbook"));
}

TEST(XlsImport, TruncatedFileIsDamaged) {
  HostError e = ImportError(Values().substr(0, 1200));
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("damaged"));
}

TEST(XlsImport, InvalidSectorSizeIsDamaged) {
  std::string b = Values();
  b[0x1E] = 5;
  EXPECT_THAT(ImportError(b).description(), HasSubstr("sector size"));
}

TEST(XlsImport, LoopingSectorChainIsDamagedNotEndless) {
  std::string b = Values();
  const uint32_t fat_sector = U32At(b, 0x4C), dir_sector = U32At(b, 0x30);
  const uint32_t self = dir_sector;
  std::memcpy(&b[(fat_sector + 1) * 512 + 4 * dir_sector], &self, 4);
  EXPECT_THAT(ImportError(b).description(), HasSubstr("loops"));
}

TEST(XlsImport, ContainerWithoutWorkbookStreamIsNotAWorkbook) {
  std::string b = Values();
  const std::string name("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
  const size_t at = b.find(name);
  ASSERT_NE(at, std::string::npos);
  b[at + 2] = 'x';
  EXPECT_THAT(ImportError(b).description(), HasSubstr("holds no workbook stream"));
}

TEST(XlsImport, Excel95WorkbookIsReadInItsDeclaredCodePage) {
  TESSARIN_REQUIRE_CORPUS();
  std::string b = testing::ReadFile(Corpus() + "sheetjs__phonetic_text.xls");
  auto wb = ImportXls(b, "phonetic_text.xls");
  // The file declares Mac Roman for bytes that are Shift_JIS; read as declared, in full.
  EXPECT_EQ(wb->Sheet(1).Value(1, 1), CellValue::Text("äøéö"));
  EXPECT_EQ(wb->Sheet(1).Value(2, 1), CellValue::Text("äøéöwithColor"));
  const std::string mac_roman("\x42\x00\x02\x00\x10\x27", 6), cp932("\x42\x00\x02\x00\xA4\x03", 6);
  b.replace(b.find(mac_roman), 6, cp932);
  wb = ImportXls(b, "phonetic_text.xls");
  EXPECT_EQ(wb->Sheet(1).name(), "Sheet1");
  EXPECT_EQ(wb->Sheet(1).Value(1, 1), CellValue::Text("漢字"));
  EXPECT_EQ(wb->Sheet(1).Value(2, 1),
            CellValue::Text("漢字withColor"));  // RSTRING: runs after the text
}

TEST(XlsImport, Excel4AndOlderWorkbookIsRefusedWithAdvice) {
  std::string b = Values();
  b[GlobalsBof(b) + 5] = 0x04;  // BOF version 0x0400
  HostError e = ImportError(b);
  EXPECT_THAT(e.description(), HasSubstr("Excel 4.0 or older"));
  EXPECT_THAT(e.description(), HasSubstr(".xlsx"));
}

TEST(XlsImport, Excel95PasswordFileIsRefused) {
  TESSARIN_REQUIRE_CORPUS();
  HostError e = ImportError(testing::ReadFile(Corpus() + "sheetjs__password_2002_40_xor.xls"));
  EXPECT_THAT(e.description(), HasSubstr("password"));
}

TEST(XlsImport, PasswordProtectedWorkbookIsRefused) {
  std::string b = Values();
  const size_t next = GlobalsBof(b) + 4 + 16;  // the record after BOF
  b[next] = 0x2F, b[next + 1] = 0x00;          // becomes FILEPASS
  HostError e = ImportError(b);
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("password"));
}

TEST(XlsImport, DeclaredSizesBeyondTheLimitAreRefusedBeforeReading) {
  XlsImportLimits limits;
  limits.max_cell_slots = 20;  // the fixture declares 6 x 5 cells on its first sheet
  EXPECT_THAT(ImportError(Values(), limits).description(), HasSubstr("declare"));
  limits = {};
  limits.max_bytes = 1000;
  EXPECT_THAT(ImportError(Values(), limits).description(), HasSubstr("bytes"));
}

TEST(XlsImport, EncryptedPackageIsNamedForWhatItIs) {
  TESSARIN_REQUIRE_CORPUS();
  HostError e = ImportError(testing::ReadFile(Corpus() + "xlnt__5_encrypted_agile.xlsx"));
  EXPECT_THAT(e.description(), HasSubstr("encrypted with a password"));
}

// libfreexl crashes on this fuzzed file; the crash stays in the reader's child process.
TEST(XlsImport, ReaderCrashIsContainedAndReported) {
  HostError e = ImportError(testing::ReadFile(
      TESSARIN_SOURCE_DIR "/fuzz/regressions/xls_import_fuzzer/freexl-segv-31b0ca6d"));
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("damaged"));
}

TEST(XlsImport, ReaderIsBoundedInTimeAndMemory) {
  XlsImportLimits limits;
  limits.max_reader_seconds = 0;
  EXPECT_THAT(ImportError(Values(), limits).description(), HasSubstr("took longer"));
  limits = {};
  limits.max_reader_bytes = 1;  // no room beyond what the process already maps
  // Depending on where an allocation first fails the reader reports it or dies; refused either way.
  HostError e = ImportError(Values(), limits);
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("/in/book.xls"));
}

// Every corrupted variant is either read or refused with HostError; none may crash or hang.
TEST(XlsImport, DamagedBytesNeverCrash) {
  const std::string original = Values();
  std::mt19937 rng(1234);
  int refused = 0;
  for (int i = 0; i < 400; ++i) {
    std::string b = original;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) b[rng() % b.size()] = static_cast<char>(rng());
    try {
      ImportXls(b, "fuzzed.xls");
    } catch (const HostError& e) {
      ++refused;
      EXPECT_THAT(e.description(), HasSubstr("fuzzed.xls"));
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tessarin::ooxml
