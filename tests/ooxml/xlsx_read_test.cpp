// Reading files made by other programs: what each must show in the host model.
#include <set>

#include "core/host/constants.h"
#include "core/host/host_error.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/worksheet_part.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

std::unique_ptr<host::Workbook> Open(const std::string& name) {
  return ReadXlsx(ReadFileBytes(CorpusDir() + "/" + name), name);
}

std::string Text(const host::Worksheet& s, int32_t r, int32_t c) {
  return std::string(s.TextView(r, c));
}

TEST(XlsxRead, PhoneticReadingIsNeverPartOfTheText) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("sheetjs__phonetic_text.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(Text(s, 1, 1), "漢字");
  ASSERT_NE(s.Extra(1, 1), nullptr);
  ASSERT_TRUE(s.Extra(1, 1)->phonetic);
  EXPECT_EQ(s.Extra(1, 1)->phonetic->runs, (std::vector<host::PhoneticRun>{{0, 2, "カンジ"}}));
  EXPECT_FALSE(s.Extra(1, 1)->phonetic->visible);
  EXPECT_EQ(XmlExtrasOf(s.Extra(1, 1)->phonetic->file_extras), "<phoneticPr fontId=\"1\"/>");

  // Rich text with a reading: runs over the base text only.
  EXPECT_EQ(Text(s, 2, 1), "漢字withColor");
  const host::CellExtra* e = s.Extra(2, 1);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->runs.size(), 2u);
  EXPECT_EQ(e->runs[0].start, 0u);
  EXPECT_EQ(e->runs[0].length, 2u);
  EXPECT_EQ(e->runs[0].font.color_index, 3);  // FF0000 is palette red
  EXPECT_EQ(e->runs[0].font.name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(e->runs[0].font.size, 12);
  EXPECT_EQ(e->runs[1].start, 2u);
  EXPECT_EQ(e->runs[1].length, 9u);
  ASSERT_TRUE(e->phonetic);
  EXPECT_EQ(e->phonetic->runs[0].text, "カンジ");
}

TEST(XlsxRead, CellPhoneticVisibilityComesFromTheCell) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("xlnt__15_phonetics.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(Text(s, 1, 1), "秀");
  ASSERT_TRUE(s.Extra(1, 1) && s.Extra(1, 1)->phonetic);
  EXPECT_TRUE(s.Extra(1, 1)->phonetic->visible);
  EXPECT_EQ(s.Extra(1, 1)->phonetic->runs[0].text, "シュウ ");
  // Shown readings without any reading text: visible, nothing to show.
  ASSERT_TRUE(s.Extra(1, 2) && s.Extra(1, 2)->phonetic);
  EXPECT_TRUE(s.Extra(1, 2)->phonetic->visible);
  EXPECT_TRUE(s.Extra(1, 2)->phonetic->runs.empty());
  EXPECT_EQ(s.Extra(1, 3), nullptr);
  EXPECT_EQ(s.RowHeight(1), 46);
}

TEST(XlsxRead, StackedVerticalTextAndAlignment) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("rustxw__format24.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  const host::Style& st = s.StyleAt(1, 1);
  EXPECT_EQ(st.orientation, host::kXlVertical);
  EXPECT_EQ(st.horizontal, host::kXlCenter);
  EXPECT_EQ(st.vertical, host::kXlTop);
  EXPECT_EQ(st.indent, 1);
  EXPECT_EQ(s.RowHeight(1), 75);
}

TEST(XlsxRead, RotationsShrinkAndWrap) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("rustxw__bootstrap30.xlsx");
  std::set<int> orientations;
  bool shrink = false, wrap = false;
  const host::Worksheet& s = book->Sheet(1);
  s.cells().ForEachCell(s.UsedArea(), [&](int32_t r, const host::Cell& c) {
    const host::Style& st = s.StyleAt(r, c.col);
    orientations.insert(st.orientation);
    shrink |= st.shrink;
    wrap |= st.wrap;
  });
  EXPECT_TRUE(orientations.count(30));
  EXPECT_TRUE(orientations.count(-30));
  EXPECT_TRUE(orientations.count(host::kXlVertical));
  EXPECT_TRUE(shrink);
  EXPECT_TRUE(wrap);
}

TEST(XlsxRead, RichTextRunsSkipUnformattedPieces) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("rustxw__rich_string01.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  int found = 0;
  s.cells().ForEachCell(s.UsedArea(), [&](int32_t r, const host::Cell& c) {
    if (s.TextView(r, c.col) != "abcdefg") return;
    ++found;
    const host::CellExtra* e = s.Extra(r, c.col);
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->runs.size(), 2u);
    EXPECT_EQ(e->runs[0].start, 1u);
    EXPECT_EQ(e->runs[0].length, 2u);
    EXPECT_TRUE(e->runs[0].font.bold);
    EXPECT_EQ(e->runs[0].font.name, "Calibri");
    EXPECT_FALSE(e->runs[1].font.bold);
  });
  EXPECT_EQ(found, 1);
}

TEST(XlsxRead, CommentsWithTheirBoxes) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("rustxw__comment01.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  ASSERT_EQ(s.CommentCount(), 1u);
  const host::CellExtra* e = s.Extra(2, 2);
  ASSERT_TRUE(e && e->comment);
  EXPECT_EQ(e->comment->text, "Some text");
  EXPECT_EQ(e->comment->author, "John");
  EXPECT_EQ(e->comment->width, 96);
  EXPECT_EQ(e->comment->height, 55.5);
  EXPECT_FALSE(e->comment->visible);
  EXPECT_EQ(s.Value(2, 2).type, host::ValueType::kEmpty);  // a comment on a cell without a value
}

TEST(XlsxRead, CommentOnTheLastCellOfTheSheet) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("rustxw__comment03.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(s.CommentCount(), 2u);
  const host::CellExtra* e = s.Extra(host::kMaxRows, host::kMaxColumns);
  ASSERT_TRUE(e && e->comment);
  EXPECT_EQ(e->comment->text, "Some text");
}

TEST(XlsxRead, PrintAreaLosesDollarsAndSheetName) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("rustxw__print_options06.xlsx");
  EXPECT_EQ(book->Sheet(1).page_setup().print_area, "A1:G20");
  // Print titles are not modelled: carried with their sheet.
  const auto& names = PackageExtrasOf(*book)->defined_names;
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].name, "_xlnm.Print_Titles");
  EXPECT_EQ(names[0].local_sheet, 0);
}

// Cells taken whole and cells read token by token, side by side in one row, land alike; a
// cell outside any row belongs to none.
TEST(XlsxRead, CellsOfEveryFormInOneRow) {
  auto parts = OneSheetBook(
      "<row r=\"2\"><c r=\"A2\"><v>1.5</v></c><c><v>-0</v></c>"
      "<c r=\"C2\" t=\"str\"><f>A2*2</f><v>3</v></c><c t=\"inlineStr\"><is><t>x</t></is></c>"
      "<c r=\"E2\" t=\"b\"><v>1</v></c><c r=\"F2\" t=\"e\"><v>#N/A</v></c><c r=\"G2\"/>"
      "<c r=\"H2\" t=\"str\"><v>a&amp;b</v></c><c r=\"I2\" vm=\"1\"><v>9</v></c></row>"
      "<c r=\"A5\"><v>7</v></c>");
  std::vector<ZipEntry> entries;
  for (const auto& [name, data] : parts) entries.push_back({name, data, true, {}, 0});
  const auto book = ReadXlsx(WriteZip(entries), "forms.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(s.Value(2, 1), host::CellValue::Number(1.5));
  EXPECT_EQ(s.Value(2, 2), host::CellValue::Number(-0.0));
  EXPECT_EQ(Text(s, 2, 3), "3");
  EXPECT_EQ(s.Extra(2, 3)->formula, "A2*2");
  EXPECT_EQ(Text(s, 2, 4), "x");
  EXPECT_EQ(s.Value(2, 5), host::CellValue::Boolean(true));
  EXPECT_EQ(s.Value(2, 6), host::CellValue::Error(host::CellError::kNA));
  EXPECT_EQ(Text(s, 2, 8), "a&b");
  EXPECT_EQ(s.Value(2, 9), host::CellValue::Number(9));
  ASSERT_TRUE(s.Extra(2, 9));
  EXPECT_EQ(XmlExtrasOf(s.Extra(2, 9)->value_extras), " vm=\"1\"");
  EXPECT_EQ(s.cells().CellCount(), 9u);  // G2 empty, A5 in no row
}

TEST(XlsxRead, SharedFormulasAreGivenToEachCell) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("calamine__shared_formula_simple.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  ASSERT_TRUE(s.Extra(3, 2));
  EXPECT_EQ(s.Extra(1, 2)->formula, "A1*2");
  EXPECT_EQ(s.Extra(2, 2)->formula, "A2*2");
  EXPECT_EQ(s.Extra(3, 2)->formula, "A3*2");
  EXPECT_EQ(s.Value(3, 2), host::CellValue::Number(6));
}

TEST(XlsxRead, ErrorValuesAndHiddenRows) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("calamine__errors.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  EXPECT_EQ(s.Value(1, 1), host::CellValue::Error(host::CellError::kDiv0));
  EXPECT_EQ(s.Value(2, 1), host::CellValue::Error(host::CellError::kName));
  EXPECT_EQ(s.Value(7, 1), host::CellValue::Error(host::CellError::kNA));
  EXPECT_EQ(s.Extra(1, 1)->formula, "5/0");
  ASSERT_TRUE(s.cells().FindRow(20));
  EXPECT_TRUE(s.cells().FindRow(20)->hidden);
}

TEST(XlsxRead, SheetStatesAndChartSheetsKeepTheirPlaces) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = Open("calamine__any_sheets.xlsx");
  ASSERT_EQ(book->SheetCount(), 3);
  EXPECT_EQ(book->Sheet(2).visibility(), host::SheetVisibility::kHidden);
  EXPECT_EQ(book->Sheet(3).visibility(), host::SheetVisibility::kVeryHidden);
  ASSERT_EQ(PackageExtrasOf(*book)->other_sheets.size(), 1u);
  const std::string wb = Part(WriteXlsx(*book), "xl/workbook.xml");
  const size_t very = wb.find("name=\"VeryHidden\""), chart = wb.find("name=\"Chart\"");
  ASSERT_NE(chart, std::string::npos);
  EXPECT_LT(very, chart);
}

TEST(XlsxRead, EscapedCarriageReturnsAndDates) {
  TESSARIN_REQUIRE_CORPUS();
  EXPECT_EQ(Text(Open("calamine__has_x000D_.xlsx")->Sheet(1), 1, 1), "ABC\r\nDEF");
  EXPECT_TRUE(Open("exceljs__1904.xlsx")->date1904());
  EXPECT_FALSE(Open("calamine__errors.xlsx")->date1904());
}

TEST(XlsxRead, StrictAndOddPrefixesRead) {
  TESSARIN_REQUIRE_CORPUS();
  auto strict = Open("calamine__strict_iso_paths.xlsx");
  EXPECT_TRUE(PackageExtrasOf(*strict)->strict);
  EXPECT_GT(strict->Sheet(1).cells().CellCount(), 0u);
  const std::string saved = WriteXlsx(*strict);
  EXPECT_NE(Part(saved, "xl/workbook.xml").find("http://purl.oclc.org/ooxml/spreadsheetml/main"),
            std::string::npos);

  auto odd = Open("calamine__nonstandard-xml-ns-prefix.xlsx");
  const host::Worksheet& s = odd->Sheet(1);
  EXPECT_EQ(s.Value(2, 1), host::CellValue::Number(1));
  EXPECT_EQ(s.Value(3, 2), host::CellValue::Number(4));
  EXPECT_EQ(s.Value(1, 1).type, host::ValueType::kText);
}

TEST(XlsxRead, DefaultFontSizesColumns) {
  TESSARIN_REQUIRE_CORPUS();
  auto jp = Open("poi__50299.xlsx");
  EXPECT_EQ(jp->default_font().name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(jp->default_font().size, 11);
  EXPECT_EQ(MaxDigitWidth(jp->default_font()), 8);
  auto latin = Open("poi__ShrinkToFit.xlsx");
  EXPECT_EQ(latin->default_font().name, "Calibri");
  // No sheetFormatPr: the default width follows from Calibri 11's digits.
  EXPECT_DOUBLE_EQ(latin->Sheet(1).default_column_width(), 8.43);
}

TEST(XlsxRead, IsoDates) {
  double v;
  ASSERT_TRUE(IsoDateToSerial("2024-02-29T12:00:00", false, v));
  EXPECT_DOUBLE_EQ(v, 45351.5);
  ASSERT_TRUE(IsoDateToSerial("1900-01-01", false, v));
  EXPECT_DOUBLE_EQ(v, 1);
  ASSERT_TRUE(IsoDateToSerial("1904-01-02", true, v));
  EXPECT_DOUBLE_EQ(v, 1);
  ASSERT_TRUE(IsoDateToSerial("10:10:10", false, v));
  EXPECT_DOUBLE_EQ(v, (10 * 3600 + 10 * 60 + 10) / 86400.0);
  EXPECT_FALSE(IsoDateToSerial("25:00", false, v));
  EXPECT_FALSE(IsoDateToSerial("2024-13-01", false, v));
  EXPECT_FALSE(IsoDateToSerial("yesterday", false, v));
}

}  // namespace
}  // namespace tessarin::ooxml::testing
