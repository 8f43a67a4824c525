// What a read keeps beyond the model rides on the model's records: it travels with a format into
// another workbook, compares by content, and is dropped where an edit makes it wrong.
#include "core/host/clipboard.h"
#include "core/host/range.h"
#include "core/ooxml/extras.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

// Cell format 1: a theme-coloured font with a family, a solid rgb fill, a border line in an rgb
// colour, locked off. A1 and A2 use it; rows 1 and 2 share their other attributes.
std::string StyledBook() {
  auto parts = OneSheetBook(
      "<row r=\"1\" outlineLevel=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row>"
      "<row r=\"2\" outlineLevel=\"1\"><c r=\"A2\" s=\"1\"><v>2</v></c></row>",
      {{"styles", "styles.xml"}});
  parts.emplace_back(
      "xl/styles.xml",
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"A\"/></font>"
      "<font><sz val=\"12\"/><color theme=\"4\"/><name val=\"B\"/><family "
      "val=\"3\"/></font></fonts>"
      "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
      "patternType=\"gray125\"/></fill>"
      "<fill><patternFill patternType=\"solid\"><fgColor "
      "rgb=\"FF12AB34\"/></patternFill></fill></fills>"
      "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
      "<border><left style=\"thin\"><color "
      "rgb=\"FF0000FE\"/></left><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"1\" quotePrefix=\"1\"><protection "
      "locked=\"0\"/></xf></cellXfs>"
      "</styleSheet>");
  return Zip(parts);
}

TEST(FileExtras, FormatsTravelIntoAnotherWorkbookAndAreWrittenThere) {
  const std::string bytes = StyledBook();
  auto source = ReadXlsx(bytes, "a.xlsx");
  host::Workbook target("new.xlsx");
  host::Worksheet& sheet = target.AddSheet("T", 1);
  target.set_active_sheet(&sheet);
  host::PasteCells(host::CopyCells(source->Sheet(1), host::Area::Cell(1, 1)), sheet, {3, 2});

  const std::string styles = Part(WriteXlsx(target), "xl/styles.xml");
  EXPECT_NE(styles.find("<fgColor rgb=\"FF12AB34\"/>"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<color theme=\"4\"/>"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<family val=\"3\"/>"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<left style=\"thin\"><color rgb=\"FF0000FE\"/></left>"), std::string::npos)
      << styles;
  EXPECT_NE(styles.find("quotePrefix=\"1\""), std::string::npos) << styles;
  EXPECT_NE(styles.find("<protection locked=\"0\"/>"), std::string::npos) << styles;
}

TEST(FileExtras, EqualKeptContentMakesEqualFormats) {
  const std::string bytes = StyledBook();
  auto a = ReadXlsx(bytes, "a.xlsx");
  auto b = ReadXlsx(bytes, "b.xlsx");
  const host::StyleId own = b->Sheet(1).cells().Find(1, 1)->style;
  ASSERT_NE(own, host::kDefaultStyle);
  const size_t pooled = b->styles().size();
  // The same format read by another read is the same style: pasting it adds nothing to the pool.
  host::PasteCells(host::CopyCells(a->Sheet(1), host::Area::Cell(1, 1)), b->Sheet(1), {5, 5});
  EXPECT_EQ(b->Sheet(1).cells().Find(5, 5)->style, own);
  EXPECT_EQ(b->styles().size(), pooled);

  // Rows with the same other attributes share one kept piece, and both get it back on saving.
  const host::RowData* r1 = a->Sheet(1).cells().FindRow(1);
  const host::RowData* r2 = a->Sheet(1).cells().FindRow(2);
  ASSERT_TRUE(r1 && r2);
  EXPECT_EQ(r1->file_extras.get(), r2->file_extras.get());
  EXPECT_EQ(XmlExtrasOf(r1->file_extras), " outlineLevel=\"1\"");
  const std::string sheet = Part(WriteXlsx(*a), "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<row r=\"2\" outlineLevel=\"1\">"), std::string::npos) << sheet;
}

TEST(FileExtras, EditsThatMakeKeptContentWrongDropIt) {
  auto book = ReadXlsx(StyledBook(), "a.xlsx");
  host::Worksheet& s = book->Sheet(1);
  // A new face: the old face's family no longer applies; the fill and the colour still do.
  host::Range(s, host::Area::Cell(1, 1)).Font().SetName("C");
  const host::Style& renamed = s.StyleAt(1, 1);
  EXPECT_TRUE(XmlExtrasOf(renamed.font.file_extras).empty());
  ASSERT_NE(FormatExtrasOf(renamed.file_extras), nullptr);
  EXPECT_NE(FormatExtrasOf(renamed.file_extras)->fill.find("FF12AB34"), std::string::npos);
  // Clearing a formula drops how the file shared it.
  host::CellExtra& e = s.ObtainExtra(2, 1);
  e.formula = "1+1";
  e.formula_extras = MakeXmlExtras(" t=\"shared\" ref=\"A2:A3\" si=\"0\"");
  s.ClearValue(2, 1);
  EXPECT_EQ(s.Extra(2, 1), nullptr);
}

// Extras some other reader hung on the model are not ours: a save ignores them.
TEST(FileExtras, ExtrasOfAnotherKindAreIgnoredOnSaving) {
  struct Foreign : host::FileExtras {};
  host::Workbook book("other.xlsx");
  host::Worksheet& s = book.AddSheet("S", 1);
  book.set_active_sheet(&s);
  book.file_extras() = std::make_shared<Foreign>();
  s.file_extras() = std::make_shared<Foreign>();
  host::Style style;
  style.file_extras = host::FileExtrasRef(std::make_shared<const Foreign>());
  style.font.file_extras = host::FileExtrasRef(std::make_shared<const Foreign>());
  s.SetStyle(1, 1, book.styles().Intern(style));
  s.SetNumber(1, 1, 7);
  EXPECT_EQ(PackageExtrasOf(book), nullptr);
  EXPECT_EQ(SheetExtrasOf(s), nullptr);
  auto back = ReadXlsx(WriteXlsx(book), "other.xlsx");
  EXPECT_EQ(back->Sheet(1).Value(1, 1), host::CellValue::Number(7));
  EXPECT_NE(PackageExtrasOf(*back), nullptr);
}

}  // namespace
}  // namespace tessarin::ooxml::testing
