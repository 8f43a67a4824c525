// Damaged and hostile packages: each is refused with HostError 1004 naming the file, the part
// and what is wrong, in bounded time and memory.
#include <chrono>
#include <cstring>

#include "core/host/host_error.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/xml_util.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

// A valid package to damage: one sheet with a shared string and a comment.
std::map<std::string, std::string> GoodParts() {
  host::Workbook book("good.xlsx");
  host::Worksheet& s = book.AddSheet("Sheet1", 1);
  book.set_active_sheet(&s);
  s.SetText(1, 1, "x");
  host::Comment c;
  c.text = "note";
  s.ObtainExtra(2, 2).comment = c;
  return Parts(WriteXlsx(book));
}

// Reads `bytes` as "bad.xlsx" and returns the error description ("" if it opened).
std::string Refusal(const std::string& bytes, const ReadLimits& limits = {}) {
  try {
    ReadXlsx(bytes, "/some/folder/bad.xlsx", limits);
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrApplicationDefined);
    EXPECT_NE(e.description().find("bad.xlsx"), std::string::npos) << e.description();
    return e.description();
  }
  return {};
}

std::string WithPart(std::string name, std::string data) {
  auto parts = GoodParts();
  parts[name] = std::move(data);
  return Zip(parts);
}

std::string WithoutPart(const std::string& name) {
  auto parts = GoodParts();
  parts.erase(name);
  return Zip(parts);
}

std::string SheetWith(const std::string& sheet_data) {
  return WithPart(
      "xl/worksheets/sheet1.xml",
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
          sheet_data + "</sheetData></worksheet>");
}

TEST(DamagedPackage, GoodPartsOpen) { EXPECT_EQ(Refusal(Zip(GoodParts())), ""); }

TEST(DamagedPackage, TruncatedOrGarbageZip) {
  const std::string good = Zip(GoodParts());
  for (size_t keep : {good.size() / 2, good.size() - 10, size_t{30}, size_t{0}}) {
    EXPECT_NE(Refusal(good.substr(0, keep)), "") << keep;
  }
  EXPECT_NE(Refusal(std::string(5000, 'x')), "");
  std::string flipped = good;
  for (size_t i = 40; i < flipped.size() / 2; i += 7) flipped[i] ^= 0x5A;
  EXPECT_NE(Refusal(flipped), "");
}

TEST(DamagedPackage, PartThatIsNotXml) {
  const std::string why = Refusal(WithPart("xl/workbook.xml", std::string("\x00\x01binary", 8)));
  EXPECT_NE(why.find("part xl/workbook.xml"), std::string::npos) << why;
  const std::string sheet =
      Refusal(WithPart("xl/worksheets/sheet1.xml", "<worksheet><sheetData><row></sheetData>"));
  EXPECT_NE(sheet.find("part xl/worksheets/sheet1.xml"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("does not match"), std::string::npos) << sheet;
  EXPECT_NE(Refusal(WithPart("xl/styles.xml", "<styleSheet>")).find("xl/styles.xml"),
            std::string::npos);
  EXPECT_NE(Refusal(WithPart("xl/comments1.xml", "<comments><commentList><comment>"))
                .find("xl/comments1.xml"),
            std::string::npos);
}

TEST(DamagedPackage, MissingParts) {
  EXPECT_NE(Refusal(WithoutPart("xl/workbook.xml")).find("xl/workbook.xml"), std::string::npos);
  const std::string sheet = Refusal(WithoutPart("xl/worksheets/sheet1.xml"));
  EXPECT_NE(sheet.find("xl/worksheets/sheet1.xml"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("missing"), std::string::npos) << sheet;
  EXPECT_NE(Refusal(WithoutPart("[Content_Types].xml")).find("[Content_Types].xml"),
            std::string::npos);
  // Optional parts may be missing: no styles, no shared strings (then no text cells).
  EXPECT_EQ(Refusal(WithoutPart("xl/styles.xml")), "");
}

TEST(DamagedPackage, ReferencesOutsideTheSheet) {
  EXPECT_NE(Refusal(SheetWith("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")).find("\"XFE1\""),
            std::string::npos);
  EXPECT_NE(
      Refusal(SheetWith("<row r=\"1048577\"><c><v>1</v></c></row>")).find("row number 1048577"),
      std::string::npos);
  EXPECT_NE(Refusal(SheetWith("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>"))
                .find("shared string 7"),
            std::string::npos);
  EXPECT_NE(Refusal(SheetWith("<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>")), "");
  const std::string merge = Refusal(WithPart(
      "xl/worksheets/sheet1.xml",
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/>"
      "<mergeCells><mergeCell ref=\"A1:XFE2\"/></mergeCells></worksheet>"));
  EXPECT_NE(merge.find("A1:XFE2"), std::string::npos) << merge;
}

TEST(DamagedPackage, AbsurdDimensionCostsNothing) {
  // The dimension claims the whole sheet; only the cells present are stored.
  const auto start = std::chrono::steady_clock::now();
  auto book = ReadXlsx(
      WithPart("xl/worksheets/sheet1.xml",
               "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
               "<dimension ref=\"A1:XFD1048576\"/><cols><col min=\"1\" max=\"16384\" "
               "width=\"3\"/></cols>"
               "<sheetData><row r=\"1048576\"><c "
               "r=\"XFD1048576\"><v>1</v></c></row></sheetData></worksheet>"),
      "big.xlsx");
  EXPECT_EQ(book->Sheet(1).cells().CellCount(), 2u);  // the value and the commented cell
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_NE(WriteXlsx(*book).size(), 0u);
}

TEST(DamagedPackage, ZipBombsAreRefusedBeforeInflating) {
  // 64 MiB of zeros squeezes to a few dozen kilobytes.
  const std::string zeros(64 << 20, '\0');
  auto parts = GoodParts();
  parts["xl/media/zeros.bin"] = zeros;
  const std::string bomb = Zip(parts);
  ASSERT_LT(bomb.size(), 1u << 20);
  ReadLimits ratio;
  ratio.max_ratio = 100;
  EXPECT_NE(Refusal(bomb, ratio).find("zip bomb"), std::string::npos);
  ReadLimits part;
  part.max_part_size = 16 << 20;
  EXPECT_NE(Refusal(bomb, part).find("xl/media/zeros.bin"), std::string::npos);
  ReadLimits total;
  total.max_total_expanded = 32 << 20;
  EXPECT_NE(Refusal(bomb, total).find("more than 32 MiB"), std::string::npos);
}

TEST(DamagedPackage, SheetNamesTheHostRefusesAreMadeUsable) {
  host::Workbook book("names.xlsx");
  for (const char* n : {"S1", "S2", "S3", "S4"}) book.AddSheet(n, book.SheetCount() + 1);
  book.Sheet(3).page_setup().print_area = "A1:B2";
  auto parts = Parts(WriteXlsx(book));
  std::string& wb = parts["xl/workbook.xml"];
  auto rename = [&](const std::string& from, const std::string& to) {
    wb.replace(wb.find(from), from.size(), to);
  };
  rename("name=\"S1\"", "name=\"a:b\"");
  rename("name=\"S2\"", "name=\"" + std::string(40, 'x') + "\"");
  rename("name=\"S3\"", "name=\"Dup\"");
  rename("name=\"S4\"", "name=\"dup\"");
  auto read = ReadXlsx(Zip(parts), "names.xlsx");
  ASSERT_EQ(read->SheetCount(), 4);
  EXPECT_EQ(read->Sheet(1).name(), "a_b");
  EXPECT_EQ(read->Sheet(2).name(), std::string(31, 'x'));
  EXPECT_EQ(read->Sheet(3).name(), "Dup");
  EXPECT_EQ(read->Sheet(4).name(), "dup (2)");
  EXPECT_EQ(read->Sheet(3).page_setup().print_area, "A1:B2");
}

TEST(DamagedPackage, TooManyCells) {
  std::string row = "<row r=\"1\">";
  for (int c = 1; c <= 100; ++c) row += "<c r=\"" + CellRefText(1, c) + "\"/>";
  ReadLimits few;
  few.max_cells = 50;
  EXPECT_NE(Refusal(SheetWith(row + "</row>"), few).find("more cells"), std::string::npos);
  few.max_cells = 100;
  EXPECT_EQ(Refusal(SheetWith(row + "</row>"), few), "");
}

TEST(DamagedPackage, DirectoryThatClaimsGigabytes) {
  // Patch the central directory so an entry claims 3 GiB: refused from the directory alone.
  std::string zip = Zip(GoodParts());
  const size_t cd = zip.rfind(std::string("PK\x01\x02", 4));
  ASSERT_NE(cd, std::string::npos);
  const uint32_t huge = 3u << 30;
  std::memcpy(&zip[cd + 24], &huge, 4);
  const std::string why = Refusal(zip);
  EXPECT_NE(why.find("MiB"), std::string::npos) << why;
}

TEST(DamagedPackage, EncryptedWorkbooksSayWhy) {
  std::string ole(4096, '\0');
  std::memcpy(ole.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  const char name[] = "E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0";
  std::memcpy(&ole[1024], name, sizeof name - 1);
  EXPECT_NE(Refusal(ole).find("encrypted"), std::string::npos);
  std::memset(&ole[1024], 0, sizeof name - 1);
  EXPECT_NE(Refusal(ole).find(".xls"), std::string::npos);
}

TEST(DamagedPackage, DeepNestingIsKeptNotRecursedInto) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<x>";
  for (int i = 0; i < 200000; ++i) deep += "</x>";
  auto book = ReadXlsx(
      WithPart("xl/worksheets/sheet1.xml",
               "<worksheet "
               "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/>"
               "<extLst>" +
                   deep + "</extLst></worksheet>"),
      "deep.xlsx");
  const std::string saved = Part(WriteXlsx(*book), "xl/worksheets/sheet1.xml");
  EXPECT_NE(saved.find(deep), std::string::npos);
}

}  // namespace
}  // namespace tessarin::ooxml::testing
