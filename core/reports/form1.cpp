// Form1: the grade search dialog and Kanji_Shiwake.
#include "core/reports/form1.h"

#include <algorithm>
#include <string>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/host/constants.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/host/worksheet.h"
#include "core/reports/kanjidic_tables.h"

namespace tessarin::reports {
namespace {

constexpr std::string_view kReportFont = "ＭＳ ゴシック";
constexpr double kReportFontSize = 11.25;

// The digits that follow position `at` of `part`, as a number.
int64_t NumberAfter(std::string_view part, size_t at) {
  int64_t n = 0;
  size_t end = at;
  while (end < part.size() && part[end] >= '0' && part[end] <= '9' && n < host::kMaxRows) {
    n = n * 10 + (part[end++] - '0');
  }
  if (end == at) {
    throw host::HostError(host::kErrTypeMismatch,
                          "Type mismatch: no number in \"" + std::string(part) + "\"");
  }
  return n;
}

// One corner of a rectangle: "Rn" (a whole row), "Cm" (a whole column) or "RnCm". A whole row
// takes `row_fill`'s column, a whole column `column_fill`'s row.
void ParseCorner(std::string_view part, int64_t column_fill, int64_t row_fill, int64_t& row,
                 int64_t& column) {
  const size_t c = part.find('C');
  if (c == std::string_view::npos) {
    row = NumberAfter(part, 1);
    column = column_fill;
  } else if (c == 0) {
    row = row_fill;
    column = NumberAfter(part, 1);
  } else {
    row = NumberAfter(part, 1);
    column = NumberAfter(part, c + 1);
  }
}

}  // namespace

SelectedCells ParseSelectionAddress(std::string_view r1c1, int64_t row_count,
                                    int64_t column_count) {
  SelectedCells cells;
  const size_t colon = r1c1.find(':');
  if (colon == std::string_view::npos) {
    if (r1c1.starts_with('R')) {
      cells.first_row = cells.last_row = NumberAfter(r1c1, 1);
      cells.first_column = 1;
      cells.last_column = column_count;
    } else {
      cells.first_column = cells.last_column = NumberAfter(r1c1, 1);
      cells.first_row = 1;
      cells.last_row = row_count;
    }
    return cells;
  }
  ParseCorner(r1c1.substr(0, colon), 1, 1, cells.first_row, cells.first_column);
  ParseCorner(r1c1.substr(colon + 1), column_count, row_count, cells.last_row, cells.last_column);
  return cells;
}

Form1::Form1(workbook::KanjiModule& module)
    : Form("Form1", std::string(kForm1Caption), 372, 330),
      module_(module),
      text1_(AddTextBox("Text1", {6, 6, 360, 258})),
      cd2_(AddCommandButton("CD2", "出題している漢字一覧", {6, 273, 132, 24})),
      cd1_(AddCommandButton("CD1", "出題していない漢字一覧", {144, 273, 132, 24})),
      command1_(AddCommandButton("Command1", "閉じる", {306, 273, 60, 24})),
      check_box1_(AddCheckBox("CheckBox1", std::string(k2020Caption), {6, 303, 240, 18})) {
  text1_.set_multi_line(true);
  text1_.set_font(std::string(kReportFont), kReportFontSize);
  on_load = [this] { Form_Load(); };
  on_activate = [this] { Form_Activate(); };
  on_unload = [this] { Form_Unload(); };
  cd1_.on_click = [this] { CD1_Click(); };
  cd2_.on_click = [this] { CD2_Click(); };
  command1_.on_click = [this] { Command1_Click(); };
  check_box1_.on_change = [this] { CheckBox1_Change(); };
  ResetControls();
}

void Form1::ResetControls() {
  set_caption(std::string(kForm1Caption));
  text1_.set_text(std::string(kPleaseWait));
  cd1_.set_enabled(true);
  cd2_.set_enabled(true);
}

void Form1::Kanji_Shiwake() {
  set_caption(std::string(kSetViewCaption));
  host::Application& app = module_.App();
  const host::Range selection = app.Selection();
  std::string text;
  if (selection.Count() == 1) {
    text = app.ActiveCell().Text();
  } else {
    const std::string address = selection.Address(host::kXlR1C1);
    if (address.find(',') != std::string::npos) {
      module_.Dialogs().MsgBox(kSeveralAreasMessage, "エラー");
      CloseOnActivate = true;
      return;
    }
    const SelectedCells cells =
        ParseSelectionAddress(address, selection.Rows().Count(), selection.Columns().Count());
    // Only stored cells can show text, so walking them in row order reads what a walk over
    // every cell would, without visiting the million empty ones of a whole column.
    host::Worksheet& sheet = app.ActiveSheet().worksheet();
    const host::Area area{
        static_cast<int32_t>(std::clamp<int64_t>(cells.first_row, 1, host::kMaxRows)),
        static_cast<int32_t>(std::clamp<int64_t>(cells.first_column, 1, host::kMaxColumns)),
        static_cast<int32_t>(std::clamp<int64_t>(cells.last_row, 1, host::kMaxRows)),
        static_cast<int32_t>(std::clamp<int64_t>(cells.last_column, 1, host::kMaxColumns))};
    sheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
      text += host::Range(sheet, host::Area::Cell(row, cell.col)).Text();
    });
  }
  text1_.set_text(grades_.Kanji_Hantei(text));
  cd1_.set_enabled(true);
  cd2_.set_enabled(false);
  module_.Dialogs().Beep(kAsteriskBeep);
}

void Form1::Form_Load() {
  ResetControls();
  CloseOnActivate = false;
  Kanji_Shiwake();
}

void Form1::Form_Activate() {
  if (CloseOnActivate) Command1_Click();
}

void Form1::CD1_Click() {
  set_caption(std::string(kNotSetViewCaption));
  text1_.set_text(grades_.NotSetReport());
  cd1_.set_enabled(false);
  cd2_.set_enabled(true);
  module_.Dialogs().Beep(kAsteriskBeep);
}

void Form1::CD2_Click() {
  grades_.Clear();
  Kanji_Shiwake();
}

void Form1::Command1_Click() { Unload(); }  // Form_Unload empties the lists

void Form1::CheckBox1_Change() {
  const GradeAllocation chosen =
      check_box1_.value() ? GradeAllocation::k2020 : GradeAllocation::k1989;
  try {
    grades_.set_tables(TablesFor(chosen));
  } catch (const host::HostError&) {
    module_.Dialogs().MsgBox(kNo2020Tables, "エラー");
    check_box1_.set_value(false);  // fires again, with the 1989 tables
    return;
  }
  grades_.Clear();
  Kanji_Shiwake();
}

void Form1::Form_Unload() {
  for (std::string& entry : grades_.KanjiList) entry.clear();
}

}  // namespace tessarin::reports
