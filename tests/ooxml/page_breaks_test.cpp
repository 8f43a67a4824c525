// Manual page breaks: written as <rowBreaks> in their place, read back, and what is not kept.
#include <string>
#include <vector>

#include "core/ooxml/extras.h"
#include "core/ooxml/worksheet_part.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

TEST(RowBreaks, WrittenAfterThePageSetupAndReadBack) {
  host::Workbook book("breaks.xlsx");
  host::Worksheet& s = book.AddSheet("Sheet1", 1);
  book.set_active_sheet(&s);
  s.SetText(1, 1, "x");
  host::Comment c;
  c.text = "note";
  s.ObtainExtra(2, 2).comment = c;  // its <legacyDrawing> must come after the breaks
  s.AddRowBreak(17);
  s.AddRowBreak(9);
  s.AddRowBreak(9);
  s.AddRowBreak(1);  // nothing can break above the first row
  const std::string zip = WriteXlsx(book);
  const std::string part = Part(zip, "xl/worksheets/sheet1.xml");
  EXPECT_NE(
      part.find(
          "<pageSetup paperSize=\"9\" orientation=\"portrait\"/>"
          "<rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"8\" max=\"16383\" man=\"1\"/>"
          "<brk id=\"16\" max=\"16383\" man=\"1\"/></rowBreaks><legacyDrawing"),
      std::string::npos)
      << part;
  EXPECT_EQ(ReadXlsx(zip, "breaks.xlsx")->Sheet(1).row_breaks(), (std::vector<int32_t>{9, 17}));

  // A sheet without breaks writes no element.
  s.ClearRowBreaks();
  EXPECT_EQ(Part(WriteXlsx(book), "xl/worksheets/sheet1.xml").find("rowBreaks"), std::string::npos);
}

TEST(RowBreaks, OnlyManualWellFormedBreaksAreKept) {
  host::Workbook book("breaks.xlsx");
  host::Worksheet& sheet = book.AddSheet("Sheet1", 1);
  SheetExtras extras;
  ReadWorksheet(
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/>"
      "<rowBreaks count=\"6\" manualBreakCount=\"2\"><brk id=\"40\" man=\"1\"/><brk id=\"12\" "
      "max=\"16383\"/>"
      "<brk id=\"8\" man=\"true\"/><brk id=\"x\" man=\"1\"/><brk id=\"0\" man=\"1\"/>"
      "<brk id=\"1048576\" man=\"1\"/></rowBreaks></worksheet>",
      WorksheetReadContext{"breaks.xlsx", "xl/worksheets/sheet1.xml"}, sheet, extras);
  EXPECT_EQ(sheet.row_breaks(), (std::vector<int32_t>{9, 41}));
  EXPECT_TRUE(extras.elements.empty());  // read into the model, not carried a second time
}

}  // namespace
}  // namespace tessarin::ooxml::testing
