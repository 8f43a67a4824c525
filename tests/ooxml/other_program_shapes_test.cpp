// Shapes other programs write that a read and a save must keep: narrow column widths to their
// 1/256, the absence of a page setup, a cell's picture and dynamic-array marks, a cell format's
// extension list, and which tab is active and shown first when the active one is a chart sheet.
#include "core/host/units.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/extras.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A one-sheet workbook whose worksheet holds `children` (sheetData among them).
std::string SheetBook(const std::string& children) {
  auto parts = OneSheetBook();
  parts.back().second = "<worksheet xmlns=\"" + kMain + "\">" + children + "</worksheet>";
  return Zip(parts);
}

std::string SavedSheet(const host::Workbook& book) {
  return Part(WriteXlsx(book), "xl/worksheets/sheet1.xml");
}

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(OtherProgramShapes, NarrowColumnWidthsKeepTheirSixteenthsAndPixels) {
  auto book = ReadXlsx(SheetBook("<cols><col min=\"1\" max=\"1\" width=\"1\" customWidth=\"1\"/>"
                                 "<col min=\"2\" max=\"2\" width=\"1.42578125\" customWidth=\"1\"/>"
                                 "<col min=\"3\" max=\"3\" width=\"0.75\" customWidth=\"1\"/>"
                                 "<col min=\"4\" max=\"4\" width=\"12.3456\" customWidth=\"1\"/>"
                                 "</cols><sheetData/>"),
                       "narrow.xlsx");
  host::Worksheet& sheet = book->Sheet(1);
  const int mdw = host::MaxDigitWidth(book->default_font());  // ＭＳ Ｐゴシック 11: 8 pixels
  ASSERT_EQ(mdw, 8);
  // trunc((256 * width + trunc(128 / 8)) / 256 * 8) pixels, narrow or not.
  EXPECT_EQ(host::ColumnWidthPixels(sheet.ColumnWidth(1), mdw), 8);
  EXPECT_EQ(host::ColumnWidthPixels(sheet.ColumnWidth(2), mdw), 11);
  EXPECT_EQ(host::ColumnWidthPixels(sheet.ColumnWidth(3), mdw), 6);
  EXPECT_EQ(host::ColumnWidthPixels(sheet.ColumnWidth(4), mdw), 99);
  const std::string saved = SavedSheet(*book);
  EXPECT_TRUE(Has(saved, "<col min=\"1\" max=\"1\" width=\"1\" customWidth=\"1\"/>")) << saved;
  EXPECT_TRUE(Has(saved, "<col min=\"2\" max=\"2\" width=\"1.42578125\" customWidth=\"1\"/>"));
  EXPECT_TRUE(Has(saved, "<col min=\"3\" max=\"3\" width=\"0.75\" customWidth=\"1\"/>"));
  EXPECT_TRUE(Has(saved, "<col min=\"4\" max=\"4\" width=\"12.3456\" customWidth=\"1\"/>"));

  // A width changed since is written from the model: 6 pixels are 0.75 of 8-pixel digits.
  sheet.ObtainColumn(1).width = sheet.ColumnWidth(3);
  const std::string changed = SavedSheet(*book);
  EXPECT_TRUE(Has(changed, "<col min=\"1\" max=\"1\" width=\"0.75\" customWidth=\"1\"/>"))
      << changed;
}

TEST(OtherProgramShapes, NoPageSetupIsInventedForASheetThatHadNone) {
  auto bare = ReadXlsx(SheetBook("<sheetData/>"), "bare.xlsx");
  std::string saved = SavedSheet(*bare);
  EXPECT_FALSE(Has(saved, "pageSetup")) << saved;
  EXPECT_FALSE(Has(saved, "pageMargins")) << saved;
  // Once the user sets the page up, it is written.
  bare->Sheet(1).page_setup().orientation = host::kXlLandscape;
  saved = SavedSheet(*bare);
  EXPECT_TRUE(Has(saved, "<pageSetup paperSize=\"9\" orientation=\"landscape\"/>")) << saved;

  // A Letter setup is written as read, and fitting without a setup fits one page each way.
  auto letter = ReadXlsx(
      SheetBook("<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr><sheetData/>"
                "<pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" header=\"0.5\" "
                "footer=\"0.5\"/>"),
      "fit.xlsx");
  EXPECT_EQ(letter->Sheet(1).page_setup().zoom, 0);
  EXPECT_EQ(letter->Sheet(1).page_setup().fit_wide, 1);
  saved = SavedSheet(*letter);
  EXPECT_TRUE(Has(saved, "<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>")) << saved;
  EXPECT_TRUE(Has(saved, "<pageMargins left=\"1\"")) << saved;
  EXPECT_FALSE(Has(saved, "<pageSetup")) << saved;

  auto paper =
      ReadXlsx(SheetBook("<sheetData/><pageSetup paperSize=\"1\" orientation=\"portrait\"/>"),
               "letter.xlsx");
  EXPECT_TRUE(Has(SavedSheet(*paper), "<pageSetup paperSize=\"1\" orientation=\"portrait\"/>"));

  // A sheet made here gets the host's own defaults.
  host::Workbook made("made.xlsx");
  made.set_active_sheet(&made.AddSheet("S", 1));
  saved = SavedSheet(made);
  EXPECT_TRUE(Has(saved, "<pageSetup paperSize=\"9\" orientation=\"portrait\"/>")) << saved;
  EXPECT_TRUE(Has(saved, "<pageMargins ")) << saved;
}

TEST(OtherProgramShapes, PictureAndDynamicArrayMarksStayOnTheirCells) {
  auto book = ReadXlsx(
      SheetBook("<sheetData><row r=\"1\"><c r=\"A1\" t=\"e\" vm=\"1\"><v>#VALUE!</v></c>"
                "<c r=\"B1\" cm=\"1\"><f t=\"array\" ref=\"B1:B3\">SEQUENCE(3)</f><v>1</v></c>"
                "</row></sheetData>"),
      "marks.xlsx");
  std::string saved = SavedSheet(*book);
  EXPECT_TRUE(Has(saved, "<c r=\"A1\" t=\"e\" vm=\"1\"><v>#VALUE!</v></c>")) << saved;
  EXPECT_TRUE(
      Has(saved, "<c r=\"B1\" cm=\"1\"><f t=\"array\" ref=\"B1:B3\">SEQUENCE(3)</f><v>1</v></c>"))
      << saved;
  // A value typed over the picture replaces it; a cleared formula takes its mark along.
  book->Sheet(1).SetNumber(1, 1, 5);
  book->Sheet(1).ClearValue(1, 2);
  saved = SavedSheet(*book);
  EXPECT_TRUE(Has(saved, "<c r=\"A1\"><v>5</v></c>")) << saved;
  EXPECT_FALSE(Has(saved, "vm=") || Has(saved, "cm=")) << saved;
}

TEST(OtherProgramShapes, CellFormatExtensionsStayWithTheFormatAndItsCells) {
  auto parts = OneSheetBook("<row r=\"1\"><c r=\"A1\" s=\"1\" t=\"b\"><v>1</v></c></row>",
                            {{"styles", "styles.xml"}});
  const std::string ext =
      "<extLst><ext uri=\"{C7286773-470A-42A8-94C5-96B5CB345126}\"><xfpb:xfComplement "
      "i=\"0\"/></ext></extLst>";
  parts.emplace_back(
      "xl/styles.xml",
      "<styleSheet xmlns=\"" + kMain +
          "\" xmlns:xfpb=\"http://schemas.microsoft.com/office/spreadsheetml/2022/"
          "featurepropertybag\"><fonts count=\"1\"><font><sz val=\"11\"/><name "
          "val=\"A\"/></font></fonts><cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" "
          "fillId=\"0\" borderId=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
          "borderId=\"0\">" +
          ext + "</xf></cellXfs></styleSheet>");
  auto book = ReadXlsx(Zip(parts), "checkbox.xlsx");
  const std::string saved = WriteXlsx(*book);
  EXPECT_TRUE(Has(Part(saved, "xl/worksheets/sheet1.xml"), "<c r=\"A1\" s=\"1\" t=\"b\">"));
  const std::string styles = Part(saved, "xl/styles.xml");
  // The prefix goes with the list, so the format stays readable in a workbook of its own.
  EXPECT_TRUE(Has(styles,
                  "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\">"
                  "<extLst xmlns:xfpb=\"http://schemas.microsoft.com/office/spreadsheetml/2022/"
                  "featurepropertybag\"><ext uri=\"{C7286773-470A-42A8-94C5-96B5CB345126}\">"
                  "<xfpb:xfComplement i=\"0\"/></ext></extLst></xf>"))
      << styles;
}

// Worksheets S1 and S2 around a chart sheet C, the chart sheet active and S2 the first tab shown.
std::string ChartSheetBook() {
  const std::string chart_type =
      "application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml";
  auto sheet = [](const std::string& view) {
    return "<worksheet xmlns=\"" + kMain + "\"><sheetViews><sheetView " + view +
           "workbookViewId=\"0\"/></sheetViews><sheetData/></worksheet>";
  };
  return Zip({
      {"[Content_Types].xml",
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
           std::string(content_type::kWorkbook) +
           "\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" +
           std::string(content_type::kWorksheet) +
           "\"/><Override PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"" +
           std::string(content_type::kWorksheet) +
           "\"/><Override PartName=\"/xl/chartsheets/sheet1.xml\" ContentType=\"" + chart_type +
           "\"/></Types>"},
      {"_rels/.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"" +
           kRel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
           "\"><bookViews><workbookView xWindow=\"0\" yWindow=\"0\" windowWidth=\"100\" "
           "windowHeight=\"100\" firstSheet=\"2\" activeTab=\"1\"/></bookViews><sheets>"
           "<sheet name=\"S1\" sheetId=\"1\" r:id=\"rId1\"/>"
           "<sheet name=\"C\" sheetId=\"3\" r:id=\"rId3\"/>"
           "<sheet name=\"S2\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"" +
           kRel +
           "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
           "<Relationship Id=\"rId2\" Type=\"" +
           kRel +
           "/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
           "<Relationship Id=\"rId3\" Type=\"" +
           kRel + "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml", sheet("")},
      {"xl/worksheets/sheet2.xml", sheet("")},
      {"xl/chartsheets/sheet1.xml",
       "<chartsheet xmlns=\"" + kMain +
           "\"><sheetPr/><sheetViews><sheetView tabSelected=\"1\" zoomScale=\"90\" "
           "workbookViewId=\"0\"/></sheetViews></chartsheet>"},
  });
}

std::string WorkbookView(const std::string& package) {
  const std::string workbook = Part(package, "xl/workbook.xml");
  const size_t at = workbook.find("<workbookView");
  return workbook.substr(at, workbook.find("/>", at) + 2 - at);
}

TEST(OtherProgramShapes, AnActiveChartSheetStaysTheOneSelectedTab) {
  auto book = ReadXlsx(ChartSheetBook(), "chart.xlsx");
  std::string saved = WriteXlsx(*book);
  EXPECT_EQ(WorkbookView(saved),
            "<workbookView xWindow=\"0\" yWindow=\"0\" windowWidth=\"100\" windowHeight=\"100\" "
            "firstSheet=\"2\" activeTab=\"1\"/>");
  EXPECT_FALSE(Has(Part(saved, "xl/worksheets/sheet1.xml"), "tabSelected"));
  EXPECT_FALSE(Has(Part(saved, "xl/worksheets/sheet2.xml"), "tabSelected"));
  EXPECT_TRUE(Has(Part(saved, "xl/chartsheets/sheet1.xml"), "tabSelected=\"1\""));
  auto again = ReadXlsx(saved, "chart.xlsx");
  EXPECT_EQ(WorkbookView(WriteXlsx(*again)), WorkbookView(saved));

  // Activating another worksheet moves the one selected tab there, the first tab shown kept.
  book->set_active_sheet(&book->Sheet(2));
  saved = WriteXlsx(*book);
  EXPECT_EQ(WorkbookView(saved),
            "<workbookView xWindow=\"0\" yWindow=\"0\" windowWidth=\"100\" windowHeight=\"100\" "
            "firstSheet=\"2\" activeTab=\"2\"/>");
  EXPECT_FALSE(Has(Part(saved, "xl/worksheets/sheet1.xml"), "tabSelected"));
  EXPECT_TRUE(Has(Part(saved, "xl/worksheets/sheet2.xml"), "tabSelected=\"1\""));
  EXPECT_EQ(Part(saved, "xl/chartsheets/sheet1.xml"),
            "<chartsheet xmlns=\"" + kMain +
                "\"><sheetPr/><sheetViews><sheetView zoomScale=\"90\" "
                "workbookViewId=\"0\"/></sheetViews></chartsheet>");
  // The first tab shown follows its sheet, and goes with it.
  book->RemoveSheet(2);
  EXPECT_EQ(WorkbookView(WriteXlsx(*book)),
            "<workbookView xWindow=\"0\" yWindow=\"0\" windowWidth=\"100\" windowHeight=\"100\" "
            "activeTab=\"1\"/>");
}

}  // namespace
}  // namespace tessarin::ooxml::testing
