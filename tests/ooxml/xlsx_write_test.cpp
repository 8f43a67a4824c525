// Writing: the exact parts of a small workbook, and round trips of workbooks built in memory.
#include <set>

#include "core/host/constants.h"
#include "core/host/host_error.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/worksheet_part.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

using host::Style;

// A question sheet and a test sheet with the formats the add-in uses.
std::unique_ptr<host::Workbook> BuildSample() {
  auto book = std::make_unique<host::Workbook>("sample.xlsx");
  host::Worksheet& q = book->AddSheet("ミラトス問題", 1);
  host::Worksheet& t = book->AddSheet("テスト用紙 【40】", 2);
  book->AddSheet("Sheet3", 3);

  q.SetText(1, 4, "漢字");
  host::Phonetic ph;
  ph.runs = {{0, 2, "かんじ"}};
  ph.visible = true;
  q.ObtainExtra(1, 4).phonetic = ph;
  q.SetText(2, 4, "赤い字と𠮷");
  host::Font red;
  red.bold = true;
  red.color_index = 3;
  red.size = 14;
  q.ObtainExtra(2, 4).runs = {{0, 1, red}};
  host::Phonetic ph2;
  ph2.runs = {{4, 1, "よし"}};
  q.ObtainExtra(2, 4).phonetic = ph2;
  q.SetNumber(1, 17, 3);
  q.SetValue(3, 1, host::CellValue::Boolean(true));
  q.SetValue(3, 2, host::CellValue::Error(host::CellError::kNA));
  q.SetNumber(4, 1, 0.1 + 0.2);
  q.SetNumber(5, 1, 4);
  q.ObtainExtra(5, 1).formula = "A4*2+SUM(Q1:Q3)";
  q.SetText(6, 1, "  spaces & <tags>\nnext line");

  host::Comment note;
  note.text = "メモ:\n2行目";
  note.author = "作者";
  note.width = 150;
  note.height = 80.25;
  note.visible = true;
  q.ObtainExtra(5, 5).comment = note;  // on a cell without a value
  host::Comment plain;
  plain.text = "plain";
  plain.author = "someone";
  q.ObtainExtra(7, 2).comment = plain;

  Style vertical;
  vertical.font.name = "ＭＳ 明朝";
  vertical.font.size = 20;
  vertical.orientation = host::kXlVertical;
  vertical.horizontal = host::kXlCenter;
  vertical.vertical = host::kXlTop;
  vertical.shrink = true;
  vertical.wrap = true;
  for (int slot : {host::kLeft, host::kTop, host::kBottom, host::kRight}) {
    vertical.borders[slot].line_style = host::kXlContinuous;
    vertical.borders[slot].weight = slot == host::kBottom ? host::kXlMedium : host::kXlThin;
  }
  vertical.borders[host::kRight].color_index = 5;
  const host::StyleId vid = book->styles().Intern(vertical);
  t.SetText(2, 20, "読みの問題");
  t.SetStyle(2, 20, vid);
  Style boxed;
  boxed.borders[host::kDiagonalUp].line_style = host::kXlDash;
  boxed.number_format = "0.0";
  boxed.indent = 2;
  boxed.horizontal = host::kXlLeft;
  boxed.orientation = -45;
  boxed.font.underline = host::kXlUnderlineStyleDouble;
  boxed.font.italic = true;
  t.SetStyle(3, 20, book->styles().Intern(boxed));  // formatted, no value
  Style date;
  date.number_format = "yyyy\"年\"m\"月\"d\"日\"";
  t.SetNumber(1, 1, 45351);
  t.SetStyle(1, 1, book->styles().Intern(date));
  t.SetRowHeight(2, 150.75);
  t.SetRowHeight(4, 6);
  t.SetColumnWidth(20, 4.75);
  t.SetColumnWidth(21, 12.5);
  t.ObtainColumn(22).hidden = true;
  t.merges().push_back({1, 19, 1, 21});
  host::PageSetup& ps = t.page_setup();
  ps.orientation = host::kXlLandscape;
  ps.paper_size = host::kXlPaperA4;
  ps.print_area = "A1:U16";
  ps.left_margin = 18;
  ps.top_margin = 36;
  ps.center_horizontally = true;
  ps.zoom = 0;
  ps.fit_wide = 1;
  ps.fit_tall = 1;
  t.AddRowBreak(9);
  t.AddRowBreak(17);
  t.view().display_gridlines = false;
  t.view().selection = {host::Area{3, 3, 3, 3}, host::Area{5, 1, 6, 2}};
  t.view().active_cell = {3, 3};
  book->set_active_sheet(&t);
  return book;
}

TEST(XlsxWrite, SampleRoundTripsIntoTheSameModel) {
  auto book = BuildSample();
  const std::string bytes = WriteXlsx(*book);
  auto back = ReadXlsx(bytes, "sample.xlsx");
  ExpectSameModel(*book, *back);
  // And once more from what we read.
  auto again = ReadXlsx(WriteXlsx(*back), "sample.xlsx");
  ExpectSameModel(*book, *again);

  const host::Worksheet& q = back->Sheet(1);
  EXPECT_EQ(q.TextView(1, 4), "漢字");
  EXPECT_EQ(q.TextView(2, 4), "赤い字と𠮷");
  EXPECT_EQ(q.Extra(2, 4)->phonetic->runs[0].start, 4u);  // after a character outside the BMP
  EXPECT_EQ(q.TextView(6, 1), "  spaces & <tags>\nnext line");
  EXPECT_EQ(q.Extra(5, 1)->formula, "A4*2+SUM(Q1:Q3)");
  EXPECT_EQ(q.Value(4, 1), host::CellValue::Number(0.1 + 0.2));
  EXPECT_EQ(q.Extra(5, 5)->comment->text, "メモ:\n2行目");
  EXPECT_EQ(q.Extra(5, 5)->comment->width, 150);
  EXPECT_TRUE(q.Extra(5, 5)->comment->visible);
  const host::Worksheet& t = back->Sheet(2);
  EXPECT_EQ(t.StyleAt(2, 20).orientation, host::kXlVertical);
  EXPECT_EQ(t.StyleAt(3, 20).orientation, -45);
  EXPECT_EQ(t.page_setup().print_area, "A1:U16");
  EXPECT_EQ(t.ColumnWidth(20), 4.75);
  EXPECT_EQ(t.RowHeight(2), 150.75);
  EXPECT_EQ(back->active_sheet(), &t);
}

TEST(XlsxWrite, PrintAreaAndActiveTabInTheWorkbookPart) {
  const std::string wb = Part(WriteXlsx(*BuildSample()), "xl/workbook.xml");
  EXPECT_NE(wb.find("<workbookView xWindow=\"0\" yWindow=\"0\" windowWidth=\"16384\" "
                    "windowHeight=\"8192\" activeTab=\"1\"/>"),
            std::string::npos)
      << wb;
  EXPECT_NE(wb.find("<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">"
                    "'テスト用紙 【40】'!$A$1:$U$16</definedName></definedNames>"),
            std::string::npos)
      << wb;
  EXPECT_NE(wb.find("<sheet name=\"ミラトス問題\" sheetId=\"1\" r:id=\"rId1\"/>"),
            std::string::npos)
      << wb;
}

// A small workbook, part by part, as the host's own files lay them out.
TEST(XlsxWrite, ExactPartsOfASmallWorkbook) {
  host::Workbook book("small.xlsx");
  host::Worksheet& s = book.AddSheet("Sheet1", 1);
  book.set_active_sheet(&s);
  s.SetText(1, 1, "x");
  s.SetText(2, 1, "x");
  s.SetNumber(1, 2, 1.5);
  Style bold;
  bold.font.bold = true;
  s.SetStyle(1, 2, book.styles().Intern(bold));
  s.SetRowHeight(1, 20);
  s.SetColumnWidth(2, 10);
  host::Comment c;
  c.text = "hi";
  c.author = "me";
  s.ObtainExtra(3, 3).comment = c;
  const std::string zip = WriteXlsx(book);

  EXPECT_EQ(Part(zip, "xl/worksheets/sheet1.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<dimension ref=\"A1:B2\"/>"
            "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><selection "
            "activeCell=\"A1\" sqref=\"A1\"/></sheetView></sheetViews>"
            "<sheetFormatPr defaultRowHeight=\"13.5\"/>"
            "<cols><col min=\"2\" max=\"2\" width=\"10.625\" customWidth=\"1\"/></cols>"
            "<sheetData><row r=\"1\" ht=\"20\" customHeight=\"1\"><c r=\"A1\" "
            "t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>1.5</v></c></row>"
            "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c></row></sheetData>"
            "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
            "footer=\"0.3\"/>"
            "<pageSetup paperSize=\"9\" orientation=\"portrait\"/>"
            "<legacyDrawing r:id=\"rId1\"/></worksheet>");
  EXPECT_EQ(Part(zip, "xl/sharedStrings.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" "
            "uniqueCount=\"1\">"
            "<si><t>x</t></si></sst>");
  EXPECT_EQ(
      Part(zip, "xl/styles.xml"),
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"ＭＳ Ｐゴシック\"/></font>"
      "<font><b/><sz val=\"11\"/><name val=\"ＭＳ Ｐゴシック\"/></font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
      "patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\"/></cellStyleXfs>"
      "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
      "xfId=\"0\"/>"
      "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
      "applyFont=\"1\"/></cellXfs>"
      "<cellStyles count=\"1\"><cellStyle name=\"標準\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
      "<dxfs count=\"0\"/><tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" "
      "defaultPivotStyle=\"PivotStyleLight16\"/>"
      "</styleSheet>");
  EXPECT_EQ(Part(zip, "xl/comments1.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<comments "
            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
            "main\"><authors><author>me</author></authors>"
            "<commentList><comment ref=\"C3\" "
            "authorId=\"0\"><text><t>hi</t></text></comment></commentList></comments>");
  EXPECT_EQ(
      Part(zip, "xl/worksheets/_rels/sheet1.xml.rels"),
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing\" "
      "Target=\"../drawings/vmlDrawing1.vml\"/>"
      "<Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments\" "
      "Target=\"../comments1.xml\"/></Relationships>");
  EXPECT_EQ(
      Part(zip, "[Content_Types].xml"),
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"vml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/comments1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "<Override PartName=\"/xl/sharedStrings.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/docProps/core.xml\" "
      "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
      "<Override PartName=\"/docProps/app.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
      "</Types>");
  const std::string vml = Part(zip, "xl/drawings/vmlDrawing1.vml");
  EXPECT_NE(vml.find("<o:idmap v:ext=\"edit\" data=\"1\"/>"), std::string::npos);
  EXPECT_NE(vml.find("<x:Row>2</x:Row>\n   <x:Column>2</x:Column>"), std::string::npos) << vml;
  EXPECT_NE(vml.find("width:108pt;height:59.25pt"), std::string::npos) << vml;
}

// Rows whose cells are all plain strings and whole numbers are written by a quicker path than
// the others: both, side by side and at the last row and column, give the same cells.
TEST(XlsxWrite, ExactCellsOfEveryKindOnEitherPath) {
  host::Workbook book("rows.xlsx");
  host::Worksheet& s = book.AddSheet("Sheet1", 1);
  Style bold;
  bold.font.bold = true;
  const host::StyleId b = book.styles().Intern(bold);
  s.SetText(7, 1, "x");
  s.SetNumber(7, 2, -0.0);
  s.SetNumber(7, 3, 1e15);
  s.SetNumber(7, 4, 999999999999999.0);
  s.SetNumber(7, 5, -2.5);
  s.SetValue(7, 6, host::CellValue::Boolean(true));
  s.SetStyle(7, 7, b);
  s.SetText(7, 8, "y");
  s.ObtainExtra(7, 8).formula = "A7&\"y\"";
  s.SetText(7, 9, "x");
  s.SetStyle(7, 9, b);
  s.SetRowHeight(8, 500);
  host::RowData& styled = s.cells().ObtainRow(8);
  styled.hidden = true;
  styled.has_style = true;
  styled.style = b;
  s.SetNumber(8, 2, -999999999999999.0);
  s.SetText(8, 3, "y");
  s.SetRowHeight(9, 20);
  s.SetText(host::kMaxRows, host::kMaxColumns, "x");
  s.SetNumber(host::kMaxRows, 1, 7);
  s.SetStyle(host::kMaxRows, 1, b);
  const std::string sheet = Part(WriteXlsx(book), "xl/worksheets/sheet1.xml");
  const size_t from = sheet.find("<sheetData>");
  ASSERT_NE(from, std::string::npos);
  EXPECT_EQ(sheet.substr(from, sheet.find("</sheetData>") + 12 - from),
            "<sheetData><row r=\"7\"><c r=\"A7\" t=\"s\"><v>0</v></c><c r=\"B7\"><v>0</v></c>"
            "<c r=\"C7\"><v>1E+15</v></c><c r=\"D7\"><v>999999999999999</v></c>"
            "<c r=\"E7\"><v>-2.5</v></c><c r=\"F7\" t=\"b\"><v>1</v></c><c r=\"G7\" s=\"1\"/>"
            "<c r=\"H7\" t=\"str\"><f>A7&amp;\"y\"</f><v>y</v></c>"
            "<c r=\"I7\" s=\"1\" t=\"s\"><v>0</v></c></row>"
            "<row r=\"8\" s=\"1\" customFormat=\"1\" ht=\"409.5\" customHeight=\"1\" hidden=\"1\">"
            "<c r=\"B8\" s=\"1\"><v>-999999999999999</v></c>"
            "<c r=\"C8\" s=\"1\" t=\"s\"><v>1</v></c></row>"
            "<row r=\"9\" ht=\"20\" customHeight=\"1\"/>"
            "<row r=\"1048576\"><c r=\"A1048576\" s=\"1\"><v>7</v></c>"
            "<c r=\"XFD1048576\" t=\"s\"><v>0</v></c></row></sheetData>");
}

TEST(XlsxWrite, RenamedMovedAndRemovedSheetsKeepNamesConsistent) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = ReadXlsx(ReadFileBytes(CorpusDir() + "/xlnt__19_defined_names.xlsx"), "names.xlsx");
  ASSERT_EQ(book->SheetCount(), 3);
  book->RemoveSheet(1);                                // Sheet1 and its names go
  book->RenameSheet(book->Sheet(1), "Renamed sheet");  // was Sheet2
  book->MoveSheet(2, 1);                               // Sheet3 first
  const std::string wb = Part(WriteXlsx(*book), "xl/workbook.xml");
  const size_t begin = wb.find("<definedNames>");
  ASSERT_NE(begin, std::string::npos) << wb;
  const std::string names = wb.substr(begin, wb.find("</definedNames>") - begin);
  EXPECT_EQ(
      names,
      "<definedNames>"
      "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"1\">'Renamed "
      "sheet'!$A:$D</definedName>"
      "<definedName name=\"_xlnm.Print_Titles\" "
      "localSheetId=\"0\">Sheet3!$B:$E,Sheet3!$2:$4</definedName>"
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">Sheet3!$B$2:$E$4</definedName>"
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">'Renamed "
      "sheet'!$B$4</definedName>");
  auto back = ReadXlsx(WriteXlsx(*book), "names.xlsx");
  EXPECT_EQ(back->Sheet(2).name(), "Renamed sheet");
  EXPECT_EQ(back->Sheet(2).page_setup().print_area, "B4");
}

TEST(XlsxWrite, NewSheetsAndCommentsInAReadWorkbook) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = ReadXlsx(ReadFileBytes(CorpusDir() + "/rustxw__comment01.xlsx"), "c.xlsx");
  host::Worksheet& added = book->AddSheet("追加", 1);
  host::Comment note;
  note.text = "新しいメモ";
  added.ObtainExtra(1, 1).comment = note;
  book->Sheet(2).ObtainExtra(10, 3).comment = note;
  const std::string zip = WriteXlsx(*book);
  auto back = ReadXlsx(zip, "c.xlsx");
  EXPECT_EQ(back->Sheet(1).CommentCount(), 1u);
  EXPECT_EQ(back->Sheet(2).CommentCount(), 2u);
  EXPECT_EQ(back->Sheet(2).Extra(2, 2)->comment->width, 96);  // the kept shape keeps its size
  // Each drawing has its own block of shape ids.
  const auto parts = Parts(zip);
  std::set<std::string> idmaps;
  for (const auto& [name, data] : parts) {
    if (name.find(".vml") == std::string::npos || name.find("_rels") != std::string::npos) continue;
    const size_t p = data.find("data=\"");
    ASSERT_NE(p, std::string::npos);
    EXPECT_TRUE(idmaps.insert(data.substr(p, data.find('"', p + 6) - p)).second) << name;
  }
  EXPECT_EQ(idmaps.size(), 2u);
}

TEST(XlsxWrite, MacroWorkbooksStayMacroWorkbooks) {
  TESSARIN_REQUIRE_CORPUS();
  auto book = ReadXlsx(ReadFileBytes(CorpusDir() + "/xlnt__17_xlsm.xlsm"), "m.xlsm");
  EXPECT_EQ(book->file_format(), host::FileFormat::kXlsm);
  const std::string zip = WriteXlsx(*book);
  EXPECT_NE(
      Part(zip, "[Content_Types].xml").find("application/vnd.ms-excel.sheet.macroEnabled.main+xml"),
      std::string::npos);
  EXPECT_EQ(Part(zip, "xl/vbaProject.bin"),
            InflatePart(PackageExtrasOf(*book)->parts.at("xl/vbaProject.bin")));
}

TEST(XlsxWrite, CalculationChainIsDroppedSinceFormulasMayHaveChanged) {
  TESSARIN_REQUIRE_CORPUS();
  auto book =
      ReadXlsx(ReadFileBytes(CorpusDir() + "/poi__FormulaEvalTestData_Copy.xlsx"), "f.xlsx");
  const auto parts = Parts(WriteXlsx(*book));
  EXPECT_EQ(parts.count("xl/calcChain.xml"), 0u);
  EXPECT_EQ(parts.at("[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_EQ(parts.at("xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
}

// Several megabytes of sheet, so reading and writing go through many pieces.
TEST(XlsxWrite, BigSheetRoundTripsThroughStreaming) {
  host::Workbook book("big.xlsx");
  host::Worksheet& s = book.AddSheet("Big", 1);
  book.set_active_sheet(&s);
  host::Style wrap;
  wrap.wrap = true;
  const host::StyleId wrap_id = book.styles().Intern(wrap);
  host::Font bold;
  bold.bold = true;
  for (int32_t r = 1; r <= 40000; ++r) {
    s.SetText(r, 1, "問" + std::to_string(r % 997));
    s.SetNumber(r, 2, r * 1.25);
    s.SetText(r, 3, r % 3 ? "a & b < c" : "line\r\nbreak");
    s.SetStyle(r, 3, wrap_id);
    if (r % 1000 == 0) {
      s.ObtainExtra(r, 1).runs = {{0, 1, bold}};
      s.ObtainExtra(r, 4).comment =
          host::Comment{"c" + std::to_string(r), "a", {}, 100, 50, false, {}};
      s.SetNumber(r, 5, 2);
      s.ObtainExtra(r, 5).formula = "B" + std::to_string(r) + "*2";
    }
  }
  const std::string zip = WriteXlsx(book);
  EXPECT_GT(Parts(zip).at("xl/worksheets/sheet1.xml").size(), 3u << 20);
  auto back = ReadXlsx(zip, "big.xlsx");
  ExpectSameModel(book, *back);
}

TEST(XlsxWrite, SheetPiecesAddUpToTheMeasuredPart) {
  auto book = BuildSample();
  const host::Worksheet& sheet = book->Sheet(1);
  SharedStringsWriter a(book->strings()), b(book->strings());
  WorksheetWriteContext ctx;
  ctx.ns = &Namespaces::Transitional();
  std::string whole;
  WriteWorksheet(whole, sheet, nullptr, a, ctx);
  WorksheetWriter writer(sheet, nullptr, b, ctx);
  std::string pieces;
  int calls = 0;
  while (writer.Next(pieces, 1)) ++calls;
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(writer.size(), whole.size());
  EXPECT_GT(calls, 3);
  EXPECT_EQ(a.Finish(Namespaces::Transitional()), b.Finish(Namespaces::Transitional()));
}

// A sheet written whole while it is measured is the same text, and gives the shared strings
// the same indices; one over the limit is written piece by piece as before.
TEST(XlsxWrite, SheetKeptWholeIsTheTextWrittenInPieces) {
  auto book = BuildSample();
  const host::Worksheet& sheet = book->Sheet(1);
  WorksheetWriteContext ctx;
  ctx.ns = &Namespaces::Transitional();
  SharedStringsWriter a(book->strings());
  std::string pieces;
  WorksheetWriter streamed(sheet, nullptr, a, ctx);
  while (streamed.Next(pieces, 1)) {
  }
  for (const uint64_t keep_below : {pieces.size() + 1, pieces.size()}) {
    SharedStringsWriter b(book->strings());
    WorksheetWriter writer(sheet, nullptr, b, ctx, keep_below);
    EXPECT_EQ(writer.kept(), keep_below > pieces.size());
    EXPECT_EQ(writer.size(), pieces.size());
    EXPECT_EQ(writer.whole(), writer.kept() ? pieces : "");
    std::string out;
    while (writer.Next(out, 1)) {
    }
    EXPECT_EQ(out, pieces);
    SharedStringsWriter c(book->strings());
    WorksheetWriter(sheet, nullptr, c, ctx);
    EXPECT_EQ(b.Finish(Namespaces::Transitional()), c.Finish(Namespaces::Transitional()));
  }
}

TEST(XlsxWrite, HiddenActiveSheetGivesWayToAVisibleOne) {
  host::Workbook book("h.xlsx");
  host::Worksheet& a = book.AddSheet("A", 1);
  host::Worksheet& b = book.AddSheet("B", 2);
  a.set_visibility(host::SheetVisibility::kHidden);
  book.set_active_sheet(&a);
  auto back = ReadXlsx(WriteXlsx(book), "h.xlsx");
  EXPECT_EQ(back->active_sheet()->name(), "B");
  EXPECT_EQ(back->Sheet(1).visibility(), host::SheetVisibility::kHidden);
  // With every sheet hidden the first one is shown.
  b.set_visibility(host::SheetVisibility::kVeryHidden);
  back = ReadXlsx(WriteXlsx(book), "h.xlsx");
  EXPECT_EQ(back->Sheet(1).visibility(), host::SheetVisibility::kVisible);
  EXPECT_EQ(back->active_sheet()->name(), "A");
}

TEST(XlsxWrite, AttributesWithUndeclaredPrefixesAreDropped) {
  TESSARIN_REQUIRE_CORPUS();
  // A row and a column carried from a file, now in a workbook whose parts do not declare x14ac.
  host::Workbook book("p.xlsx");
  host::Worksheet& s = book.AddSheet("S", 1);
  s.SetNumber(1, 1, 1);
  s.cells().ObtainRow(1).file_extras =
      MakeXmlExtras(" outlineLevel=\"1\" x14ac:dyDescent=\"0.25\"");
  s.ObtainColumn(2).file_extras = MakeColumnExtras(" bestFit=\"1\" x14ac:foo=\"1\"", "", -1);
  const std::string sheet = Part(WriteXlsx(book), "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<row r=\"1\" outlineLevel=\"1\">"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("bestFit=\"1\"/>"), std::string::npos) << sheet;
  EXPECT_EQ(sheet.find("x14ac"), std::string::npos) << sheet;
  // Files that declare the prefix keep the attributes.
  auto excel =
      ReadXlsx(ReadFileBytes(CorpusDir() + "/calamine__shared_formula_simple.xlsx"), "e.xlsx");
  EXPECT_NE(Part(WriteXlsx(*excel), "xl/worksheets/sheet1.xml").find("x14ac:dyDescent=\"0.2\""),
            std::string::npos);
}

TEST(XlsxWrite, SharedFormulasStaySharedWhileIntact) {
  TESSARIN_REQUIRE_CORPUS();
  auto book =
      ReadXlsx(ReadFileBytes(CorpusDir() + "/calamine__shared_formula_simple.xlsx"), "f.xlsx");
  std::string sheet = Part(WriteXlsx(*book), "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<f t=\"shared\" ref=\"B1:B3\" si=\"0\">A1*2</f>"), std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("<c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>6</v>"), std::string::npos)
      << sheet;
  // A member given its own formula is written in full; the others still follow the group.
  host::Worksheet& s = book->Sheet(1);
  s.ObtainExtra(2, 2).formula = "A2*3";
  sheet = Part(WriteXlsx(*book), "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<c r=\"B2\"><f>A2*3</f>"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<c r=\"B3\"><f t=\"shared\" si=\"0\"/>"), std::string::npos) << sheet;
  // Without its master the group is gone: every member in full.
  s.SetNumber(1, 2, 2);
  sheet = Part(WriteXlsx(*book), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(sheet.find("t=\"shared\""), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<c r=\"B3\"><f>A3*2</f>"), std::string::npos) << sheet;
  auto back = ReadXlsx(WriteXlsx(*book), "f.xlsx");
  EXPECT_EQ(back->Sheet(1).Extra(3, 2)->formula, "A3*2");
}

TEST(XlsxWrite, FormulaTextResultsKeepTheirSpaces) {
  host::Workbook book("s.xlsx");
  host::Worksheet& s = book.AddSheet("S", 1);
  s.SetText(1, 1, " padded ");
  s.ObtainExtra(1, 1).formula = "\" padded \"";
  const std::string sheet = Part(WriteXlsx(book), "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<v xml:space=\"preserve\"> padded </v>"), std::string::npos) << sheet;
  EXPECT_EQ(ReadXlsx(WriteXlsx(book), "s.xlsx")->Sheet(1).TextView(1, 1), " padded ");
}

TEST(XlsxWrite, ValuesTheHostWouldRepairAreKeptInItsBounds) {
  host::Workbook book("b.xlsx");
  host::Worksheet& s = book.AddSheet("S", 1);
  s.merges() = {{1, 1, 2, 2}, {2, 2, 3, 3}, {5, 5, 5, 5}, {7, 1, 7, 3}};
  s.SetRowHeight(1, 500);
  s.SetColumnWidth(1, 300);
  auto back = ReadXlsx(WriteXlsx(book), "b.xlsx");
  EXPECT_EQ(back->Sheet(1).merges(), (std::vector<host::Area>{{1, 1, 2, 2}, {7, 1, 7, 3}}));
  EXPECT_EQ(back->Sheet(1).RowHeight(1), 409.5);
  EXPECT_NE(Part(WriteXlsx(book), "xl/worksheets/sheet1.xml").find("width=\"255\""),
            std::string::npos);
}

TEST(XlsxWrite, WorkbookWithoutSheetsIsRefused) {
  host::Workbook empty("none.xlsx");
  try {
    WriteXlsx(empty);
    FAIL();
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
  }
}

}  // namespace
}  // namespace tessarin::ooxml::testing
