// Test sheet layout.
#include "core/testgen/test_sheet.h"

#include <algorithm>
#include <string>

#include "core/host/application.h"
#include "core/host/constants.h"
#include "core/host/units.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::testgen {

using host::Application;
using host::Range;
using workbook::KanjiModule;

namespace {

// The alignment block every formatting step sets in full, as a recorded macro does.
struct CellFormat {
  int horizontal;
  int vertical;
  int orientation;
  bool shrink;
};

constexpr int kHorizontalText = 0;  // degrees: unrotated

void SetAlignment(const Range& selection, const CellFormat& format) {
  selection.SetHorizontalAlignment(format.horizontal);
  selection.SetVerticalAlignment(format.vertical);
  selection.SetWrapText(false);
  selection.SetOrientation(format.orientation);
  selection.SetAddIndent(false);
  selection.SetShrinkToFit(format.shrink);
  selection.SetMergeCells(false);
}

// The full font block: the sheet font in the given style and size, every effect off.
void SetFont(const host::RangeFont& font, std::string_view style, double size) {
  font.SetName(kTestSheetFont);
  font.SetFontStyle(style);
  font.SetSize(size);
  font.SetStrikethrough(false);
  font.SetSuperscript(false);
  font.SetSubscript(false);
  font.SetOutlineFont(false);
  font.SetShadow(false);
  font.SetUnderline(host::kXlUnderlineStyleNone);
  font.SetColorIndex(host::kXlAutomatic);
}

Range SelectRange(Application& app, std::string_view address) {
  app.Range(address).Select();
  return app.Selection();
}

// Steps shared by both sheets: the number rows, the page number cell, the answer rows and the
// spacing rows, each selected and formatted in turn.
void FormatRows(Application& app, const TestSheetLayout& layout) {
  Range selection = SelectRange(app, layout.number_rows);
  SetAlignment(selection, {host::kXlCenter, host::kXlCenter, kHorizontalText, false});
  SetFont(selection.Font(), "標準", 12);

  selection = SelectRange(app, TestSheetLayout::kPageNumberCell);
  selection.SetNumberFormatLocal(kPageNumberFormat);
  SetAlignment(selection, {host::kXlCenter, host::kXlCenter, kHorizontalText, true});
  SetFont(selection.Font(), "標準", 14);
  selection.Font().SetBold(true);

  selection = SelectRange(app, layout.answer_rows);
  SetAlignment(selection, {host::kXlCenter, host::kXlTop, host::kXlVertical, true});
  SetFont(selection.Font(), "標準", 30);

  selection = SelectRange(app, layout.spacing_rows);
  SetAlignment(selection, {host::kXlCenter, host::kXlTop, kHorizontalText, true});
  SetFont(selection.Font(), "標準", 7);
}

const char* TestRowKey(const KanjiModule& module, int32_t row, const char** fallback) {
  if (module.Is40Sheet) {
    switch (row % 8) {
      case 1:
      case 5:
        *fallback = "20";
        return "No";
      case 2:
      case 6:
        *fallback = "190";
        return "Qs";
      case 3:
      case 7:
        *fallback = "90";
        return "As";
      case 4:
        *fallback = "18";
        return "Bi1";
      default:
        *fallback = "10.5";
        return "Bi2";
    }
  }
  switch (row % 4) {
    case 1:
      *fallback = "20";
      return "No20";
    case 2:
      *fallback = "353";
      return "Qs20";
    case 3:
      *fallback = "243";
      return "As20";
    default:
      *fallback = "11.25";
      return "Bi2-20";
  }
}

}  // namespace

void FormatSheet20(KanjiModule& module) {
  Application& app = module.App();
  const TestSheetLayout& layout = TestSheet20();
  FormatRows(app, layout);

  Range selection = SelectRange(app, TestSheetLayout::kTitleCell);
  SetAlignment(selection, {host::kXlGeneral, host::kXlCenter, host::kXlVertical, true});
  SetFont(selection.Font(), "標準", 11);
  selection.SetText(module.TestTitle + std::string(kTimeLimit20));
  // Nine characters: a short title shares its bold run with the start of the time limit.
  SetFont(selection.Characters(1, 9).Font(), "太字", 16);

  selection = SelectRange(app, layout.name_cell);
  SetAlignment(selection, {host::kXlCenter, host::kXlTop, host::kXlVertical, true});
  selection.SetText(kNameAndScore20);

  SetTestPageSetup(module);
}

void FormatSheet40(KanjiModule& module) {
  Application& app = module.App();
  const TestSheetLayout& layout = TestSheet40();
  FormatRows(app, layout);

  Range selection = SelectRange(app, TestSheetLayout::kTitleCell);
  SetAlignment(selection, {host::kXlGeneral, host::kXlCenter, host::kXlVertical, true});
  SetFont(selection.Font(), "太字", 16);
  selection.SetText(module.TestTitle);

  selection = SelectRange(app, layout.time_limit_cell);
  SetAlignment(selection, {host::kXlCenter, host::kXlCenter, host::kXlVertical, true});
  selection.SetText(kTimeLimit40);
  SetFont(selection.Characters(1, 6).Font(), "標準", 11);

  selection = SelectRange(app, layout.name_cell);
  SetAlignment(selection, {host::kXlCenter, host::kXlCenter, kHorizontalText, true});
  selection.SetText("氏名");

  selection = SelectRange(app, layout.score_cell);
  SetAlignment(selection, {host::kXlCenter, host::kXlTop, kHorizontalText, true});
  selection.SetText("得点");

  SetTestPageSetup(module);
}

void SetTestPageSetup(KanjiModule& module) {
  Application& app = module.App();
  const host::PageSetupRef setup = app.ActiveSheet().PageSetup();
  const double margin = app.InchesToPoints(0.17);
  setup.SetLeftMargin(margin);
  setup.SetRightMargin(margin);
  setup.SetTopMargin(margin);
  setup.SetBottomMargin(margin);
  setup.SetHeaderMargin(margin);
  setup.SetFooterMargin(margin);
  setup.SetPrintHeadings(false);
  setup.SetPrintGridlines(false);
  setup.SetPrintComments(host::kXlPrintNoComments);
  setup.SetCenterHorizontally(false);
  setup.SetCenterVertically(false);
  setup.SetOrientation(host::kXlLandscape);
  setup.SetDraft(false);
  setup.SetPaperSize(host::kXlPaperA4);
  setup.SetFirstPageNumber(host::kXlAutomatic);
  setup.SetOrder(host::kXlDownThenOver);
  setup.SetBlackAndWhite(false);
  setup.SetZoom(100);
}

void ClearTestSheet(KanjiModule& module) {
  Application& app = module.App();
  const TestSheetLayout& layout = CurrentLayout(module);
  app.Sheets().Item(layout.sheet_name).Select();
  const Range all = SelectRange(app, "A1:U65536");
  for (int index = host::kXlDiagonalDown; index <= host::kXlInsideHorizontal; ++index) {
    all.Borders(index).SetLineStyle(host::kXlNone);
  }
  // Everything below page 1, and page 1 left of its header column.
  const std::string last_row = std::to_string(layout.rows_per_page);
  const std::string first_row = std::to_string(layout.rows_per_page + 1);
  SelectRange(app, "A" + first_row + ":U65536,A1:T" + last_row).ClearContents();
}

void FormatAnswerRows(KanjiModule& module) {
  Application& app = module.App();
  const std::string font_name =
      app.Sheets().Item(module.QSheetName).Cells(1, workbook::kQuestionColumn).Font().Name();
  const Range selection = SelectRange(app, CurrentLayout(module).answer_rows);
  selection.Font().SetName(font_name);
  selection.Borders(host::kXlDiagonalDown).SetLineStyle(host::kXlNone);
  selection.Borders(host::kXlDiagonalUp).SetLineStyle(host::kXlNone);
  for (int index : {host::kXlEdgeLeft, host::kXlEdgeTop, host::kXlEdgeBottom, host::kXlEdgeRight,
                    host::kXlInsideVertical}) {
    const host::RangeBorder border = selection.Borders(index);
    border.SetLineStyle(host::kXlContinuous);
    border.SetWeight(host::kXlThin);
    border.SetColorIndex(host::kXlAutomatic);
  }
}

void ApplyPageMetrics(KanjiModule& module) {
  const TestSheetLayout& layout = CurrentLayout(module);
  module.App().Sheets().Item(layout.sheet_name).Select();
  const int64_t rows = int64_t{layout.rows_per_page} * module.PageCount;
  for (int32_t row = 1; row <= rows; ++row) SetRowHeight(module, row);
  SetColumnWidths(module);
  FitTestPages(module, module.PageCount);
}

host::PaperExtent TestPageExtent(KanjiModule& module, int32_t page) {
  const host::Worksheet& sheet = module.App().ActiveSheet().worksheet();
  host::PaperExtent extent;
  for (int32_t col = 1; col <= TestSheetLayout::kHeaderColumn; ++col)
    extent.width += host::ColumnPoints(sheet, col);
  const TestSheetLayout& layout = CurrentLayout(module);
  const int32_t rows = layout.rows_per_page;
  const int64_t first = layout.FirstRowOfPage(page);
  for (int64_t row = first; row < first + rows && row <= host::kMaxRows; ++row) {
    extent.height += host::RowPoints(sheet, static_cast<int32_t>(row));
  }
  return extent;
}

void FitTestPages(KanjiModule& module, int32_t page_count) {
  const host::Sheet sheet = module.App().ActiveSheet();
  const host::PageSetupRef setup = sheet.PageSetup();
  // Pages usually share their metrics, but a row sized by hand must not push its page over.
  int zoom = 100;
  for (int32_t page = 1; page <= std::max(page_count, 1); ++page) {
    const host::PaperExtent extent = TestPageExtent(module, page);
    zoom = std::min(zoom, host::FittingZoom(setup.Get(), extent.width, extent.height));
  }
  setup.SetZoom(zoom);
  sheet.ResetAllPageBreaks();
  const int32_t rows = CurrentLayout(module).rows_per_page;
  for (int64_t page = 1; page < page_count && page * rows < host::kMaxRows; ++page) {
    sheet.HPageBreaks().Add(sheet.Cells(page * rows + 1, 1));
  }
}

// The largest row height (points) and column width (characters) the host accepts: a settings
// value beyond them falls back to its default instead of failing the whole test.
constexpr double kMaxRowHeight = 409.5;
constexpr double kMaxColumnWidth = 255;

void SetRowHeight(KanjiModule& module, const int32_t& row) {
  Application& app = module.App();
  app.Rows(row).Select();
  const char* fallback = nullptr;
  const char* key = TestRowKey(module, row, &fallback);
  app.Selection().SetRowHeight(module.GetIniNumber(key, fallback, 0, kMaxRowHeight));
}

void SetColumnWidths(KanjiModule& module) {
  Application& app = module.App();
  app.Columns("A:T").Select();
  app.Selection().SetColumnWidth(
      module.GetIniNumber(module.Is40Sheet ? "C1" : "C1-20", "6.4", 0, kMaxColumnWidth));
  app.Columns(21).Select();
  app.Selection().SetColumnWidth(
      module.GetIniNumber(module.Is40Sheet ? "C2" : "C2-20", "7", 0, kMaxColumnWidth));
  app.Cells(1, 21).Select();
}

}  // namespace tessarin::testgen
