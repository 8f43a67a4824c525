// Test sheet layout: the first-time formatting of "テスト用紙 【40】" and "テスト用紙 【20】",
// their page setup, the clearing and re-boxing before every test, and the row heights and column
// widths from the settings file.
#pragma once

#include <cstdint>

#include "core/host/paper.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testgen {

// The font of every range the first-time formatting touches.
inline constexpr std::string_view kTestSheetFont = "ＭＳ Ｐゴシック";
// Appended to the title in U2 of the 20-question sheet: one ideographic space, three spaces.
inline constexpr std::string_view kTimeLimit20 = "　   制限時間３分";
inline constexpr std::string_view kNameAndScore20 = "氏名　　　　　　　　　　得点";
inline constexpr std::string_view kTimeLimit40 = "制限時間５分";
inline constexpr std::string_view kPageNumberFormat = "\"No.\"0";

// All of these act on the active workbook through the host, selecting what they format, and
// throw the host's HostError (1004 for a protected sheet, 9 for a missing one, 13 for a metric
// setting that is not a number) with nothing undone.

// First-time formatting of a freshly added test sheet, which must be the active sheet: the
// number, answer and spacing rows of page 1, the header column with module.TestTitle, then
// SetTestPageSetup. The question rows are left as they are.
void FormatSheet40(workbook::KanjiModule& module);
void FormatSheet20(workbook::KanjiModule& module);

// Margins of 0.17 inch, landscape A4 at 100 %, no headings, gridlines or comments.
void SetTestPageSetup(workbook::KanjiModule& module);

// Activates the current test sheet, removes every border of A1:U65536 and clears the contents
// of everything but page 1's header column.
void ClearTestSheet(workbook::KanjiModule& module);

// Gives page 1's answer row(s) of the active sheet the font of D1 of module.QSheetName and a
// thin box around every cell.
void FormatAnswerRows(workbook::KanjiModule& module);

// Activates the current test sheet, sizes rows 1 .. PageCount * rows per page and the columns,
// and fits the pages to the paper (FitTestPages).
void ApplyPageMetrics(workbook::KanjiModule& module);

// The printed size in points of test page `page` (1-based: columns A to U, its rows) of the active
// sheet at its row heights and column widths.
host::PaperExtent TestPageExtent(workbook::KanjiModule& module, int32_t page);

// Makes each of the first `page_count` test pages of the active sheet print on one sheet of
// paper in any spreadsheet program: Zoom becomes the largest whole percent, at most 100, at
// which every one of them fits the printable area of the sheet's paper and margins, and the
// sheet's manual page breaks become exactly one after each of those pages but the last.
// Nothing else of the page setup changes. HostError 1004 on a protected sheet.
void FitTestPages(workbook::KanjiModule& module, int32_t page_count);

// Sets the height of `row` of the active sheet from the metric setting of the row's place in
// its page (module.Is40Sheet chooses the keys); leaves the row selected.
void SetRowHeight(workbook::KanjiModule& module, const int32_t& row);

// Sets the widths of columns A:T and U of the active sheet from the settings and selects U1.
void SetColumnWidths(workbook::KanjiModule& module);

}  // namespace tessarin::testgen
