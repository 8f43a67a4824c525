// A big string table passed on as it came: its start edited in the compressed stream, its items
// kept at their indices, and every save still meaning what the model holds.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <memory>

#include "core/host/cell.h"
#include "core/host/workbook.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/package.h"
#include "core/ooxml/part_compression.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/worksheet_part.h"
#include "core/ooxml/xlsx.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml {
namespace {

using testing::Part;

// Raw deflate by zlib at `level`, as most programs write their packages.
CompressedPart ZlibDeflated(const std::string& text, int level) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, text.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return {out, 8,
          static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()), text.size())),
          text.size()};
}

// Deflated as our own saves do it (libdeflate).
CompressedPart OurDeflated(const std::string& text) {
  CompressedPart part;
  DeflateParts({{text, &part}});
  return part;
}

// A string table of `items` items that compresses as real ones do.
std::string TableXml(
    int items, int seed,
    std::string_view root = "<sst xmlns=\"urn:x\" count=\"7\" uniqueCount=\"5\">") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  xml += root;
  for (int i = 0; i < items; ++i)
    xml += "<si><t>問題" + std::to_string(i * 7919 % 100003 + seed) + "をかく。</t></si>";
  return xml + "</sst>";
}

TEST(EditPartStart, GivesThePartWithItsStartChangedWhateverWroteIt) {
  // Several writers and lengths of the new start, so that the blocks passed on begin at every
  // bit of a byte across the cases.
  int cases = 0;
  for (int seed = 0; seed < 4; ++seed) {
    const std::string xml = TableXml(60000 + seed * 1000, seed);
    const size_t old_length = xml.find('>', xml.find("<sst")) + 1;
    for (const CompressedPart& part :
         {ZlibDeflated(xml, 6), ZlibDeflated(xml, 1), ZlibDeflated(xml, 9), OurDeflated(xml)}) {
      const std::string head = "<sst count=\"" + std::string(seed * 3 + 1, '9') + "\">";
      const auto edited = EditPartStart(part, [&](std::string_view start) {
        EXPECT_EQ(start.substr(0, old_length), xml.substr(0, old_length));
        return std::optional<StartEdit>({old_length, head});
      });
      ASSERT_TRUE(edited.has_value());
      const std::string expected = head + xml.substr(old_length);
      EXPECT_EQ(edited->size, expected.size());
      EXPECT_EQ(InflatePart(*edited), expected);  // size and checksum checked as it inflates
      // The end is passed on, not compressed again.
      ASSERT_GT(edited->bytes.size(), 4096u);
      EXPECT_EQ(edited->bytes.substr(edited->bytes.size() - 4096),
                part.bytes.substr(part.bytes.size() - 4096));
      ++cases;
    }
  }
  EXPECT_EQ(cases, 16);
}

TEST(EditPartStart, RefusesWhatItCannotEdit) {
  const std::string xml = TableXml(60000, 0);
  auto keep = [](std::string_view) { return std::optional<StartEdit>({10, "0123456789"}); };
  // A part too small to reach a boundary past the change, a stored part, a refusal.
  EXPECT_FALSE(EditPartStart(ZlibDeflated(xml.substr(0, 30000), 6), keep).has_value());
  EXPECT_FALSE(EditPartStart({xml, 0, 0, xml.size()}, keep).has_value());
  EXPECT_FALSE(EditPartStart(ZlibDeflated(xml, 6), [](std::string_view) { return std::nullopt; }));
  // Damaged bits are found while the start is inflated.
  CompressedPart broken = ZlibDeflated(xml, 6);
  for (size_t i = 0; i < 64; ++i) broken.bytes[i] = static_cast<char>(0xFF);
  EXPECT_FALSE(EditPartStart(broken, keep).has_value());
}

TEST(TableCountsEdit, ReplacesTheCountsOfTheRootTagOnly) {
  const std::string decl = "<?xml version=\"1.0\"?>\n<!-- made by hand -->";
  auto edited = [&](const std::string& start) {
    const auto edit = TableCountsEdit(start, "12", "3");
    return edit ? edit->text + "|" + start.substr(edit->length) : std::string("none");
  };
  EXPECT_EQ(edited(decl + "<sst xmlns=\"m\" count=\"7\" uniqueCount = '5'><si>"),
            decl + "<sst xmlns=\"m\" count=\"12\" uniqueCount = '3'>|<si>");
  EXPECT_EQ(edited("<x:sst xmlns:x=\"m\" uniqueCount=\"5\" a=\"count='1'\"><si>"),
            "<x:sst xmlns:x=\"m\" uniqueCount=\"3\" a=\"count='1'\">|<si>");
  EXPECT_EQ(edited("<sst xmlns=\"m\"><si>"), "<sst xmlns=\"m\">|<si>");  // none to replace
  EXPECT_EQ(edited("<sst xmlns=\"m\"/>"), "none");
  EXPECT_EQ(edited("<sst xmlns=\"m\" count=\"1"), "none");
  EXPECT_EQ(edited("<worksheet count=\"1\">"), "none");
  EXPECT_EQ(edited("<!DOCTYPE sst><sst>"), "none");
}

// A workbook of `rows` questions (text in D and E) written and read back, so that its string
// table is kept as the file had it.
std::unique_ptr<host::Workbook> BigBook(int rows, std::string* file = nullptr) {
  host::Workbook wb("big.xlsx");
  host::Worksheet& q = wb.AddSheet("ミラトス", 1);
  wb.AddSheet("Other", 2).SetText(1, 1, "問題1をかく。");
  for (int r = 1; r <= rows; ++r) {
    q.SetText(r, 4, "問題" + std::to_string(r) + "をかく。");
    q.SetText(r, 5, "答" + std::to_string(r % 1000));
  }
  const std::string bytes = WriteXlsx(wb);
  if (file) *file = bytes;
  return ReadXlsx(bytes, "big.xlsx");
}

// The stored bytes of a part of a package.
CompressedPart Stored(const std::string& zip, const std::string& part) {
  PackageReader reader(zip, "test.xlsx", ReadLimits{});
  return reader.Stored(part);
}

TEST(KeptStringTable, IsPassedOnWithNewTextsInTheirCells) {
  std::string original;
  auto wb = BigBook(40000, &original);
  host::Worksheet& q = wb->Sheet(1);
  q.SetText(3, 4, "新しい問題");      // a text the table lacks
  q.SetText(4, 4, "問題9をかく。");   // one it holds, moved
  q.SetNumber(5, 17, 2);              // times set
  wb->Sheet(2).SetText(2, 1, "答7");  // the other sheet gains a text the table holds
  // A formula's text result and a text with runs refer to no item, though the table holds them.
  q.ObtainExtra(6, 4).formula = "\"問題6をかく。\"";
  host::Font bold = wb->default_font();
  bold.bold = true;
  q.ObtainExtra(7, 4).runs = {{0, 1, bold}};
  const std::string saved = WriteXlsx(*wb);

  const CompressedPart before = Stored(original, "xl/sharedStrings.xml");
  const CompressedPart after = Stored(saved, "xl/sharedStrings.xml");
  EXPECT_EQ(after.bytes.substr(after.bytes.size() - 1024),
            before.bytes.substr(before.bytes.size() - 1024));
  const std::string table = Part(saved, "xl/sharedStrings.xml");
  EXPECT_EQ(table.find("新しい問題"), std::string::npos);
  // Every reference counted: 80,000 questions and answers less the three now in their cells,
  // and the two on the other sheet; the items as they were (the other sheet's first text is a
  // question).
  EXPECT_NE(table.find("count=\"79999\" uniqueCount=\"41000\""), std::string::npos)
      << table.substr(0, 200);
  EXPECT_NE(Part(saved, "xl/worksheets/sheet1.xml")
                .find("<c r=\"D3\" t=\"inlineStr\"><is><t>新しい問題</t></is></c>"),
            std::string::npos);

  auto back = ReadXlsx(saved, "big.xlsx");
  testing::ExpectSameModel(*wb, *back);
  EXPECT_EQ(back->Sheet(1).Value(3, 4).text, "新しい問題");
  EXPECT_EQ(back->Sheet(1).Value(4, 4).text, "問題9をかく。");
  EXPECT_EQ(back->Sheet(2).Value(2, 1).text, "答7");

  // Written anew, the same workbook means the same.
  WriteOptions anew;
  anew.keep_string_table = false;
  const std::string full = WriteXlsx(*wb, anew);
  EXPECT_EQ(Part(full, "xl/worksheets/sheet1.xml").find("inlineStr"), std::string::npos);
  testing::ExpectSameModel(*back, *ReadXlsx(full, "big.xlsx"));
}

TEST(KeptStringTable, FollowsRenamesStylesAndRunsOfTheModel) {
  auto wb = BigBook(40000);
  host::Worksheet& q = wb->Sheet(1);
  wb->RenameSheet(q, "改名");
  host::Style bold = wb->styles().Get(host::kDefaultStyle);
  bold.font.bold = true;
  q.SetStyle(2, 4, wb->styles().Intern(bold));
  // A text the table holds, now with a red run: the run must not be lost to the plain item.
  host::Font red = wb->default_font();
  red.color_index = 3;
  q.ObtainExtra(6, 4).runs = {{0, 2, red}};
  // And one with a reading shown above it.
  host::Phonetic reading;
  reading.runs = {{0, 2, "もんだい"}};
  reading.visible = true;
  q.ObtainExtra(7, 4).phonetic = reading;
  auto back = ReadXlsx(WriteXlsx(*wb), "big.xlsx");
  testing::ExpectSameModel(*wb, *back);
  EXPECT_EQ(back->Sheet(1).name(), "改名");
  EXPECT_TRUE(back->Sheet(1).StyleAt(2, 4).font.bold);
  EXPECT_EQ(back->Sheet(1).Value(6, 4).text, "問題6をかく。");
  ASSERT_NE(back->Sheet(1).Extra(6, 4), nullptr);
  EXPECT_EQ(back->Sheet(1).Extra(6, 4)->runs.size(), 1u);
  ASSERT_NE(back->Sheet(1).Extra(7, 4), nullptr);
  ASSERT_TRUE(back->Sheet(1).Extra(7, 4)->phonetic.has_value());
  EXPECT_EQ(back->Sheet(1).Extra(7, 4)->phonetic->runs, reading.runs);
  EXPECT_TRUE(back->Sheet(1).Extra(7, 4)->phonetic->visible);
}

TEST(KeptStringTable, IsWrittenAnewWhenTheCellsNoLongerFitIt) {
  {  // Most items unused: a table written anew is smaller.
    auto wb = BigBook(40000);
    for (int r = 1; r <= 30000; ++r) wb->Sheet(1).SetNumber(r, 4, r);
    const std::string saved = WriteXlsx(*wb);
    EXPECT_EQ(Part(saved, "xl/worksheets/sheet1.xml").find("inlineStr"), std::string::npos);
    EXPECT_NE(Part(saved, "xl/sharedStrings.xml").find("uniqueCount=\"11001\""), std::string::npos);
    testing::ExpectSameModel(*wb, *ReadXlsx(saved, "big.xlsx"));
  }
  {  // Many new texts: they go into the table rather than into their cells.
    auto wb = BigBook(40000);
    for (int r = 1; r <= 8000; ++r) wb->Sheet(1).SetText(r, 6, "新" + std::to_string(r));
    const std::string saved = WriteXlsx(*wb);
    EXPECT_EQ(Part(saved, "xl/worksheets/sheet1.xml").find("inlineStr"), std::string::npos);
    testing::ExpectSameModel(*wb, *ReadXlsx(saved, "big.xlsx"));
  }
}

// With the table carried, a big sheet kept whole while it is measured is the text written
// again piece by piece, with every reference counted once.
TEST(KeptStringTable, SheetKeptWholeIsTheTextWrittenInPieces) {
  auto wb = BigBook(40000);
  host::Worksheet& q = wb->Sheet(1);
  q.SetText(3, 4, "新しい問題");  // in place, in either half
  q.SetText(30000, 4, "後半の新しい問題");
  q.SetNumber(30001, 17, 3);
  q.SetRowHeight(30002, 30);
  host::Font bold = wb->default_font();
  bold.bold = true;
  q.ObtainExtra(39999, 4).runs = {{0, 1, bold}};
  q.ObtainExtra(20001, 5).formula = "\"答1\"";
  const std::vector<uint32_t>& ids = PackageExtrasOf(*wb)->shared_strings->plain_ids;
  auto carried = [&] {
    auto writer = std::make_unique<SharedStringsWriter>(wb->strings());
    writer->CarryTable(SharedStringsWriter::FirstItems(ids, wb->strings().size()),
                       static_cast<uint32_t>(ids.size()));
    return writer;
  };
  WorksheetWriteContext ctx;
  ctx.ns = &Namespaces::Transitional();
  auto whole = carried(), one = carried();
  const WorksheetWriter kept(q, nullptr, *whole, ctx, 64u << 20);
  WorksheetWriter streamed(q, nullptr, *one, ctx);
  std::string pieces;
  while (streamed.Next(pieces, 1 << 16)) {
  }
  ASSERT_TRUE(kept.kept());
  EXPECT_EQ(kept.whole(), pieces);
  EXPECT_EQ(whole->count(), one->count());
  EXPECT_EQ(whole->count(), 80000u - 4);
  EXPECT_NE(pieces.find("<c r=\"D30000\" t=\"inlineStr\"><is><t>後半の新しい問題</t></is></c>"),
            std::string::npos);
}

TEST(KeptStringTable, SavedTwiceKeepsMeaningTheSame) {
  // The second save reads the texts written in their cells back and passes the table on again.
  auto wb = BigBook(40000);
  wb->Sheet(1).SetText(1, 6, "一回目");
  auto once = ReadXlsx(WriteXlsx(*wb), "big.xlsx");
  once->Sheet(1).SetText(2, 6, "二回目");
  const std::string twice = WriteXlsx(*once);
  auto back = ReadXlsx(twice, "big.xlsx");
  testing::ExpectSameModel(*once, *back);
  EXPECT_EQ(back->Sheet(1).Value(1, 6).text, "一回目");
  EXPECT_EQ(back->Sheet(1).Value(2, 6).text, "二回目");
}

}  // namespace
}  // namespace tessarin::ooxml
