// The two test sheet layouts.
#include "core/testgen/test_sheet_layout.h"

#include "core/workbook/question_sheet.h"

namespace tessarin::testgen {

namespace {

constexpr TestSheetLayout kLayout40{
    .sheet_name = workbook::kTestSheet40,
    .rows_per_page = 8,
    .questions_per_page = 40,
    .number_rows = "A1:T1,A5:T5",
    .answer_rows = "A3:T3,A7:T7",
    .spacing_rows = "A4:T4,A8:U8",
    .page_block = "A1:U8",
    .identification_cell = "U8",
    .time_limit_cell = "U3",
    .name_cell = "U5",
    .score_cell = "U7",
};

constexpr TestSheetLayout kLayout20{
    .sheet_name = workbook::kTestSheet20,
    .rows_per_page = 4,
    .questions_per_page = 20,
    .number_rows = "A1:T1",
    .answer_rows = "A3:T3",
    .spacing_rows = "A4:U4",
    .page_block = "A1:U4",
    .identification_cell = "U4",
    .time_limit_cell = "U2",
    .name_cell = "U3",
    .score_cell = "U3",
};

}  // namespace

host::CellRef TestSheetLayout::QuestionCell(int32_t q) {
  return {kStripRows * ((q - 1) / kQuestionsPerStrip) + 2,
          kLastQuestionColumn - ((q - 1) % kQuestionsPerStrip)};
}

const TestSheetLayout& TestSheet40() { return kLayout40; }
const TestSheetLayout& TestSheet20() { return kLayout20; }

const TestSheetLayout& CurrentLayout(const workbook::KanjiModule& module) {
  return module.Is40Sheet ? kLayout40 : kLayout20;
}

const TestSheetLayout* LayoutOfSheet(std::string_view name) {
  if (name == kLayout40.sheet_name) return &kLayout40;
  if (name == kLayout20.sheet_name) return &kLayout20;
  return nullptr;
}

bool SheetExists(const host::SheetCollection& sheets, std::string_view name) {
  for (int i = 1; i <= sheets.Count(); ++i) {
    if (sheets.Item(i).Name() == name) return true;
  }
  return false;
}

}  // namespace tessarin::testgen
