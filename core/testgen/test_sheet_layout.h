// TestSheetLayout: where everything stands on the two test sheets, "テスト用紙 【40】" and
// "テスト用紙 【20】". Selection, the test and paper dialogs, marking and the command line read
// the layout from here; nothing else knows rows per page or cell addresses of a test sheet.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/host/application.h"
#include "core/host/geometry.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testgen {

// A test page is made of strips of four rows: the question numbers, the questions, the answer
// boxes, and a spacing row that also takes the source notes. Twenty questions stand in a strip,
// one a column, read from right to left (T to A); column U is the header column. Page 1 is laid
// out and copied to every further page.
struct TestSheetLayout {
  static constexpr int32_t kStripRows = 4;
  static constexpr int32_t kQuestionsPerStrip = 20;
  static constexpr int32_t kLastQuestionColumn = 20;  // T: the first question of a strip
  static constexpr int32_t kHeaderColumn = 21;        // U
  // Header cells of page 1: the page number, the title (with the time limit on the 20 sheet).
  static constexpr std::string_view kPageNumberCell = "U1";
  static constexpr std::string_view kTitleCell = "U2";

  std::string_view sheet_name;
  int32_t rows_per_page;       // 8 or 4
  int32_t questions_per_page;  // 40 or 20
  // Page 1's rows by role, as the formatting selects them.
  std::string_view number_rows;
  std::string_view answer_rows;
  std::string_view spacing_rows;
  // Page 1 whole, the block copied to every further page.
  std::string_view page_block;
  // The test identification (code, range and count), in the last row of the header column.
  std::string_view identification_cell;
  // The header cells besides the page number and title: the time limit (U3 on the 40 sheet; the
  // 20 sheet puts it after the title), and the name and score boxes (one cell on the 20 sheet).
  std::string_view time_limit_cell;
  std::string_view name_cell;
  std::string_view score_cell;

  // The cell of question `q` (from 1) of a test: row 4 × ((q − 1) div 20) + 2, column
  // 20 − ((q − 1) mod 20). Its number stands in the row above, its answer box below, its source
  // note two rows below.
  static host::CellRef QuestionCell(int32_t q);
  // The question row of the strip holding `row`: rows 1-4 give 2, rows 5-8 give 6.
  static int32_t QuestionRowOf(int32_t row) { return kStripRows * ((row - 1) / kStripRows) + 2; }
  // The first row of test page `page` (from 1).
  int64_t FirstRowOfPage(int64_t page) const { return (page - 1) * rows_per_page + 1; }
};

// The two layouts, and the one that module.Is40Sheet chooses.
const TestSheetLayout& TestSheet40();
const TestSheetLayout& TestSheet20();
const TestSheetLayout& CurrentLayout(const workbook::KanjiModule& module);
// The layout of the sheet named `name` (exactly), or null when it is no test sheet.
const TestSheetLayout* LayoutOfSheet(std::string_view name);

// True when `sheets` holds a sheet whose name equals `name` exactly (case-sensitive, character
// for character), unlike the host's own sheet lookup, which ignores case.
bool SheetExists(const host::SheetCollection& sheets, std::string_view name);

}  // namespace tessarin::testgen
