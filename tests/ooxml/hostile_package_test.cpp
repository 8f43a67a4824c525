// Packages we refuse or mend, never pass on, and values that must not be lost on the way
// through: each package is made here, entry by entry, by a small zip writer.
#include <cstring>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/package.h"
#include "core/ooxml/xml_util.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

uint32_t Crc32(std::string_view data) {
  uint32_t crc = 0xFFFFFFFF;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// A zip of stored entries exactly as listed: any name, the same name twice, in this order.
std::string RawZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out, directory;
  for (const auto& [name, data] : entries) {
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint32_t crc = Crc32(data);
    Put(out, 0x04034b50, 4), Put(out, 20, 2), Put(out, 0, 2), Put(out, 0, 2), Put(out, 0, 4);
    Put(out, crc, 4), Put(out, data.size(), 4), Put(out, data.size(), 4), Put(out, name.size(), 2),
        Put(out, 0, 2);
    out += name + data;
    Put(directory, 0x02014b50, 4), Put(directory, 20, 2), Put(directory, 20, 2),
        Put(directory, 0, 2);
    Put(directory, 0, 2), Put(directory, 0, 4), Put(directory, crc, 4),
        Put(directory, data.size(), 4);
    Put(directory, data.size(), 4), Put(directory, name.size(), 2), Put(directory, 0, 2),
        Put(directory, 0, 2);
    Put(directory, 0, 2), Put(directory, 0, 2), Put(directory, 0, 4), Put(directory, offset, 4);
    directory += name;
  }
  const uint32_t at = static_cast<uint32_t>(out.size());
  out += directory;
  Put(out, 0x06054b50, 4), Put(out, 0, 2), Put(out, 0, 2), Put(out, entries.size(), 2),
      Put(out, entries.size(), 2);
  Put(out, directory.size(), 4), Put(out, at, 4), Put(out, 0, 2);
  return out;
}

std::string Refusal(const std::string& bytes) {
  try {
    ReadXlsx(bytes, "/in/bad.xlsx");
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrApplicationDefined);
    return e.description();
  }
  return {};
}

TEST(HostilePackage, TheGeneratedBookOpens) { EXPECT_EQ(Refusal(RawZip(OneSheetBook())), ""); }

TEST(HostilePackage, EntryNamesThatEscapeThePackageAreRefused) {
  for (const std::string name :
       {"../evil.xml", "xl/../../evil.xml", "/etc/evil.xml", "C:/evil.xml", "xl\\evil.xml"}) {
    auto parts = OneSheetBook();
    parts.emplace_back(name, "<x/>");
    const std::string why = Refusal(RawZip(parts));
    EXPECT_NE(why.find("entry name"), std::string::npos) << name << ": " << why;
  }
}

TEST(HostilePackage, DuplicateEntriesAreRefused) {
  auto parts = OneSheetBook();
  parts.emplace_back("xl/worksheets/sheet1.xml",
                     OneSheetBook("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>").back().second);
  EXPECT_NE(Refusal(RawZip(parts)).find("two entries of this name"), std::string::npos);
  parts = OneSheetBook();
  parts.emplace_back("XL/Workbook.xml", parts[2].second);  // names are compared ignoring case
  EXPECT_NE(Refusal(RawZip(parts)).find("differs only in case"), std::string::npos);
}

TEST(HostilePackage, DoctypeIsRefusedInReadAndInCarriedParts) {
  auto parts = OneSheetBook();
  parts[4].second = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"b\">]>" + parts[4].second;
  EXPECT_NE(Refusal(RawZip(parts)).find("DOCTYPE"), std::string::npos);
  parts = OneSheetBook();
  parts[2].second = "<!DOCTYPE workbook>" + parts[2].second;
  EXPECT_NE(Refusal(RawZip(parts)).find("DOCTYPE"), std::string::npos);
  parts = OneSheetBook();
  parts.emplace_back(
      "docProps/custom.xml",
      "<?xml version=\"1.0\"?>\n<!-- c --><!DOCTYPE p SYSTEM \"file:///etc/passwd\"><p/>");
  const std::string why = Refusal(RawZip(parts));
  EXPECT_NE(why.find("docProps/custom.xml"), std::string::npos) << why;
}

TEST(HostilePackage, NumbersNoCellHoldsAreKeptAsText) {
  auto book = ReadXlsx(
      RawZip(OneSheetBook("<row r=\"1\"><c r=\"A1\"><v>1e400</v></c><c r=\"B1\"><v>nan</v></c>"
                          "<c r=\"C1\"><v>-inf</v></c><c r=\"D1\"><v>0x10</v></c><c r=\"E1\"><v> "
                          "2.5 </v></c></row>")),
      "n.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(s.Value(1, 1), host::CellValue::Text("1e400"));
  EXPECT_EQ(s.Value(1, 2), host::CellValue::Text("nan"));
  EXPECT_EQ(s.Value(1, 3), host::CellValue::Text("-inf"));
  EXPECT_EQ(s.Value(1, 4), host::CellValue::Text("0x10"));
  EXPECT_EQ(s.Value(1, 5), host::CellValue::Number(2.5));
  auto again = ReadXlsx(WriteXlsx(*book), "again.xlsx");
  EXPECT_EQ(again->Sheet(1).Value(1, 1), host::CellValue::Text("1e400"));
}

TEST(HostilePackage, MalformedUtf8IsMendedAndNeverWrittenBack) {
  auto book = ReadXlsx(
      RawZip(OneSheetBook("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a\xFF\xC3z</t></is></c>"
                          "<c r=\"B1\" t=\"str\"><v>\xED\xA0\x80</v></c></row>")),
      "u.xlsx");
  EXPECT_EQ(book->Sheet(1).Value(1, 1), host::CellValue::Text("a\uFFFD\uFFFDz"));
  EXPECT_TRUE(host::IsValidUtf8(book->Sheet(1).Value(1, 2).text));
}

TEST(HostilePackage, CharactersXmlCannotHoldAreWrittenInTheEscapedForm) {
  host::Workbook book("x.xlsx");
  host::Worksheet& s = book.AddSheet("S", 1);
  book.set_active_sheet(&s);
  s.SetText(1, 1, "a\x01\uFFFE\uFFFFb");
  s.SetText(1, 2, "bad\xC0 byte");
  host::CellExtra& extra = s.ObtainExtra(1, 3);
  extra.formula = "\"\x02\uFFFE\"";
  host::Comment note;  // comments are free text too, their author included
  note.text = "note\x01\uFFFF";
  note.author = "by\x02 _x0041_ bad\xC0";
  s.ObtainExtra(2, 1).comment = note;
  const std::string zip = WriteXlsx(book);
  for (const auto& [name, xml] : Parts(zip)) {
    if (name.find(".xml") == std::string::npos) continue;
    EXPECT_TRUE(host::IsValidUtf8(xml)) << name;
    EXPECT_EQ(xml.find("\uFFFE"), std::string::npos) << name;
    EXPECT_EQ(xml.find('\x01'), std::string::npos) << name;
    EXPECT_EQ(xml.find('\x02'), std::string::npos) << name;
  }
  auto again = ReadXlsx(zip, "x.xlsx");
  EXPECT_EQ(again->Sheet(1).Value(1, 1),
            host::CellValue::Text("a\x01\uFFFE\uFFFFb"));  // the escaped form reads back
  EXPECT_EQ(again->Sheet(1).Value(1, 2), host::CellValue::Text("bad\uFFFD byte"));
  const host::CellExtra* noted = again->Sheet(1).Extra(2, 1);
  ASSERT_TRUE(noted && noted->comment);
  EXPECT_EQ(noted->comment->text, "note\x01\uFFFF");
  EXPECT_EQ(noted->comment->author, "by\x02 _x0041_ bad\uFFFD");
}

TEST(HostilePackage, TextLongerThanACellHoldsIsRefused) {
  const std::string fits(host::kMaxCellChars, 'x');
  EXPECT_EQ(Refusal(RawZip(OneSheetBook("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + fits +
                                        "</t></is></c></row>"))),
            "");
  const std::string why = Refusal(RawZip(OneSheetBook(
      "<row r=\"1\"><c r=\"B2\" t=\"inlineStr\"><is><t>" + fits + "y</t></is></c></row>")));
  EXPECT_NE(why.find("cell B2"), std::string::npos) << why;
  EXPECT_NE(why.find("32767"), std::string::npos) << why;
  // Characters, not bytes: 32,767 kanji fit.
  std::string kanji;
  for (int i = 0; i < host::kMaxCellChars; ++i) kanji += "漢";
  EXPECT_EQ(Refusal(RawZip(
                OneSheetBook("<row r=\"1\"><c r=\"A1\" t=\"str\"><v>" + kanji + "</v></c></row>"))),
            "");
}

TEST(HostilePackage, MacroWorkbookSavedWithoutMacrosDropsTheProject) {
  auto parts = OneSheetBook();
  const std::string vba_type = "application/vnd.ms-office.vbaProject";
  std::string& types = parts[0].second;
  types.replace(types.find(content_type::kWorkbook), content_type::kWorkbook.size(),
                content_type::kMacroWorkbook);
  types.insert(types.find("<Override"),
               "<Default Extension=\"bin\" ContentType=\"" + vba_type + "\"/>");
  std::string& rels = parts[3].second;
  rels.insert(rels.find("</Relationships>"),
              "<Relationship Id=\"rId9\" Type=\"http://schemas.microsoft.com/office/2006/"
              "relationships/vbaProject\" Target=\"vbaProject.bin\"/>");
  parts.emplace_back("xl/vbaProject.bin", std::string("\xD0\xCF\x11\xE0 macro code", 15));
  parts.emplace_back(
      "xl/_rels/vbaProject.bin.rels",
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.microsoft.com/office/2006/relationships/vbaProjectSignature\" "
      "Target=\"vbaProjectSignature.bin\"/></Relationships>");
  parts.emplace_back("xl/vbaProjectSignature.bin", "signature");
  auto book = ReadXlsx(RawZip(parts), "m.xlsm");
  EXPECT_TRUE(HasMacros(*book));

  const auto kept = Parts(WriteXlsx(*book));
  EXPECT_TRUE(kept.count("xl/vbaProject.bin"));
  EXPECT_NE(kept.at("[Content_Types].xml").find(content_type::kMacroWorkbook), std::string::npos);

  const std::string plain = WriteXlsx(*book, {ReadLimits{}, true});
  const auto written = Parts(plain);
  for (const char* gone :
       {"xl/vbaProject.bin", "xl/_rels/vbaProject.bin.rels", "xl/vbaProjectSignature.bin"}) {
    EXPECT_FALSE(written.count(gone)) << gone;
  }
  EXPECT_EQ(written.at("[Content_Types].xml").find("vbaProject"), std::string::npos);
  EXPECT_EQ(written.at("[Content_Types].xml").find(content_type::kMacroWorkbook),
            std::string::npos);
  EXPECT_NE(written.at("[Content_Types].xml").find(content_type::kWorkbook), std::string::npos);
  EXPECT_EQ(written.at("xl/_rels/workbook.xml.rels").find("vbaProject"), std::string::npos);
  EXPECT_FALSE(HasMacros(*ReadXlsx(plain, "m.xlsx")));
}

// Parts passed on unread stay as compressed as they came: a big unreferenced part costs its
// compressed size while the workbook is open, and comes out byte for byte the same.
TEST(CarriedParts, BigUnreadPartsAreNeverHeldInflated) {
  std::string big(64u << 20, '\0');
  uint64_t x = 1;
  for (size_t i = 0; i < big.size(); i += 1024) {  // compresses about 60 to 1, under the bomb ratio
    x = x * 6364136223846793005u + 1442695040888963407u;
    std::memcpy(&big[i], &x, sizeof x);
  }
  const auto parts = OneSheetBook();
  std::vector<ZipEntry> entries;
  for (const auto& [name, data] : parts) entries.push_back({name, data, true, {}, 0});
  entries.push_back({"custom/big.bin", big, true, {}, 0});
  const std::string zip = WriteZip(entries);

  auto book = ReadXlsx(zip, "big.xlsx");
  const CompressedPart& held = PackageExtrasOf(*book)->parts.at("custom/big.bin");
  EXPECT_EQ(held.size, big.size());
  EXPECT_LT(held.bytes.size(), big.size() / 16);

  const std::string saved = WriteXlsx(*book);
  PackageReader in(zip, "big.xlsx", ReadLimits{}), out(saved, "saved.xlsx", ReadLimits{});
  const CompressedPart before = in.TakeCompressed("custom/big.bin", [](std::string_view) {});
  std::string inflated;
  const CompressedPart after =
      out.TakeCompressed("custom/big.bin", [&](std::string_view p) { inflated += p; });
  EXPECT_TRUE(before.bytes == after.bytes);
  EXPECT_EQ(before.crc, after.crc);
  EXPECT_EQ(before.method, after.method);
  EXPECT_TRUE(inflated == big);
}

TEST(CarriedParts, DamageAndDocumentTypesAreFoundWhilePassingThrough) {
  // A comment longer than the pieces a part is streamed in hides nothing.
  auto parts = OneSheetBook();
  parts.emplace_back("docProps/custom.xml", "\xEF\xBB\xBF<!--" + std::string(600 * 1024, '-') +
                                                " --><?pi ?>\n<!DOCTYPE p><p/>");
  std::string why = Refusal(RawZip(parts));
  EXPECT_NE(why.find("DOCTYPE"), std::string::npos) << why;
  parts.back().second = "<!--" + std::string(600 * 1024, 'x') + "--><p>&lt;!DOCTYPE</p>";
  EXPECT_EQ(Refusal(RawZip(parts)), "");
  // The checksum of a part passed on is checked as it is for a part read.
  parts.back().second = "<p>kept</p>";
  std::string zip = RawZip(parts);
  zip[zip.find("<p>kept</p>") + 3] = 'K';
  why = Refusal(zip);
  EXPECT_NE(why.find("docProps/custom.xml"), std::string::npos) << why;
}

TEST(CarriedParts, DocumentTypeWatchAgreesWithTheWholeTextInAnyPieces) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"<!DOCTYPE a><a/>", true},
      {"\xEF\xBB\xBF \r\n<?xml version=\"1.0\"?><!-- x --><!DOCTYPE a>", true},
      {"<!---><!DOCTYPE a>-->", false},  // "-->" may not share the dashes that open it
      {"<?>?><!DOCTYPE a>", true},
      {"<!-- never closed <!DOCTYPE a>", false},
      {"<a><!DOCTYPE a>", false},
      {"<!DOCTYP", false},
      {"\xEF\xBB<!DOCTYPE a>", false},  // half a byte order mark is not a prolog
      {"<!doctype a>", false},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(HasDoctype(text), expected) << text;
    for (size_t piece = 1; piece <= 3; ++piece) {
      DoctypeWatch watch;
      for (size_t i = 0; i < text.size(); i += piece)
        watch.Feed(std::string_view(text).substr(i, piece));
      EXPECT_EQ(watch.found(), expected) << text << " in pieces of " << piece;
    }
  }
}

// A table of many strings costs the pool only the strings cells use; each cell still gets its own.
TEST(SharedStrings, OnlyTheStringsCellsUseArePooled) {
  auto parts = OneSheetBook(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99999</v></c><c r=\"B1\" t=\"s\"><v>5</v></c>"
      "<c r=\"C1\" t=\"s\"><v>5</v></c><c r=\"D1\" t=\"s\"><v>0</v></c></row>",
      {{"sharedStrings", "sharedStrings.xml"}});
  std::string sst =
      "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "uniqueCount=\"100000\">"
      "<si><t>_x0041_\xC3</t></si>";
  for (int i = 1; i < 100000; ++i) sst += "<si><t>s" + std::to_string(i) + "</t></si>";
  parts.emplace_back("xl/sharedStrings.xml", sst + "</sst>");
  auto book = ReadXlsx(RawZip(parts), "s.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(s.TextView(1, 1), "s99999");
  EXPECT_EQ(s.TextView(1, 2), "s5");
  EXPECT_EQ(s.cells().Find(1, 2)->v.text, s.cells().Find(1, 3)->v.text);
  EXPECT_EQ(s.TextView(1, 4), "A\xEF\xBF\xBD");  // decoded and mended as it is read
  EXPECT_LE(book->strings().size(), 4u);         // the empty string and the three used
  // A cell past the end of the table is still refused.
  parts[4].second =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>100000</v></c></row></sheetData></worksheet>";
  EXPECT_NE(Refusal(RawZip(parts)).find("shared string 100000"), std::string::npos);
}

}  // namespace
}  // namespace tessarin::ooxml::testing
