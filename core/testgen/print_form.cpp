// PrintForm and SetPaper.
#include "core/testgen/print_form.h"

#include <optional>
#include <string>
#include <utility>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/host/runtime.h"
#include "core/testgen/selection.h"
#include "core/testgen/test_sheet.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::testgen {

using host::Application;
using workbook::KanjiModule;

namespace {

constexpr std::string_view kDialogFont = "MS UI Gothic";
constexpr double kDialogFontSize = 9;

// What each box sizes, beside it on its page (the picture's arrows point at the same rows).
constexpr std::string_view kBoxLabels[] = {
    "番号の行", "問題の行", "解答の行", "段の間",         "ページの終わり", "A～T列の幅", "U列の幅",
    "番号の行", "問題の行", "解答の行", "ページの終わり", "A～T列の幅",     "U列の幅"};
static_assert(std::size(kBoxLabels) == kMetricBoxes.size());

template <class T>
T& Styled(T& control) {
  control.set_font(std::string(kDialogFont), kDialogFontSize);
  return control;
}

// The row of `index` among the boxes of its page.
int RowOnPage(int index) { return index < 7 ? index : index - 7; }

}  // namespace

std::string BoxMessage(const MetricBox& box) {
  return "1以上の整数を入力して下さい。(既定値：" + std::string(box.fallback) + ") ";
}

PrintForm::PrintForm(KanjiModule& module)
    : Form("PrintForm", "用紙調整", 372, 276),
      module_(module),
      pages_(Styled(
          AddMultiPage("MultiPage1", {"１ページ４０題", "１ページ２０題"}, {6, 6, 360, 234}))) {
  for (int page = 0; page < 2; ++page) {
    forms::Image& image = AddImage(page == 0 ? "Image1" : "Image2", "", {6, 6, 204, 198});
    PutOnPage(image, pages_, page);
  }
  for (size_t i = 0; i < kMetricBoxes.size(); ++i) {
    const MetricBox& metric = kMetricBoxes[i];
    const double top = 12 + 27.0 * RowOnPage(static_cast<int>(i));
    forms::Label& label = Styled(AddLabel("Label" + std::to_string(i + 1),
                                          std::string(kBoxLabels[i]), {216, top + 2, 84, 12}));
    PutOnPage(label, pages_, metric.page);
    forms::TextBox& text = Styled(AddTextBox(std::string(metric.name), {300, top, 48, 16}));
    PutOnPage(text, pages_, metric.page);
    text.on_exit = [this, i](bool& cancel) { TextBox_Exit(static_cast<int>(i), cancel); };
    boxes_[i] = &text;
  }
  Styled(AddCommandButton("CommandButton1", "印刷プレビュー", {6, 246, 84, 24})).on_click = [this] {
    CommandButton1_Click();
  };
  Styled(AddCommandButton("CommandButton2", "設定値リセット", {96, 246, 84, 24})).on_click =
      [this] { CommandButton2_Click(); };
  Styled(AddCommandButton("CommandButton3", "保存せずに閉じる", {186, 246, 84, 24})).on_click =
      [this] { CommandButton3_Click(); };
  Styled(AddCommandButton("CommandButton4", "保存して閉じる", {276, 246, 84, 24})).on_click =
      [this] { CommandButton4_Click(); };
  pages_.on_change = [this] { MultiPage1_Change(); };
  on_load = [this] { ResetControls(); };
  on_activate = [this] { UserForm_Activate(); };
  ResetControls();
}

// A freshly loaded dialog shows its design state; loading fires no events.
void PrintForm::ResetControls() {
  auto change = std::exchange(pages_.on_change, nullptr);
  pages_.set_value(0);
  pages_.page(0).enabled = true;
  pages_.page(1).enabled = true;
  for (forms::TextBox* text : boxes_) text->set_text("");
  pages_.on_change = std::move(change);
}

void PrintForm::UserForm_Activate() {
  Application& app = module_.App();
  const bool has40 = SheetExists(app.Sheets(), workbook::kTestSheet40);
  const bool has20 = SheetExists(app.Sheets(), workbook::kTestSheet20);
  if (!has40 && !has20) {
    Unload();
    module_.Dialogs().MsgBox(kNoTestSheetMessage, kNoTestSheetCaption);
    return;
  }
  if (!has40) pages_.page(0).enabled = false;
  if (!has20) pages_.page(1).enabled = false;
  module_.settings.IniFilePath();
  for (size_t i = 0; i < kMetricBoxes.size(); ++i) {
    const MetricBox& metric = kMetricBoxes[i];
    boxes_[i]->set_text(module_.GetIniValue(std::string(metric.key), std::string(metric.fallback)));
  }
  const std::string active = app.ActiveSheet().Name();
  if (active == workbook::kTestSheet40) {
    module_.Is40Sheet = true;
  } else if (active == workbook::kTestSheet20) {
    module_.Is40Sheet = false;
  } else {
    module_.Dialogs().MsgBox(kSelectTestSheetMessage, "エラー");
    Unload();
    return;
  }
  pages_.set_value(module_.Is40Sheet ? 0 : 1);
}

void PrintForm::MultiPage1_Change() {
  module_.Is40Sheet = pages_.value() == 0;
  module_.App().Sheets().Item(CurrentLayout(module_).sheet_name).Select();
}

bool PrintForm::Usable(int index) const {
  const std::optional<double> value = host::ParseNumber(boxes_[index]->text());
  return value && *value > 0 && *value <= kMetricBoxes[index].largest;
}

void PrintForm::TextBox_Exit(int index, bool& cancel) {
  if (Usable(index)) return;
  module_.Dialogs().MsgBox(BoxMessage(kMetricBoxes[index]));
  cancel = true;
}

bool PrintForm::CheckBoxes() {
  for (size_t i = 0; i < kMetricBoxes.size(); ++i) {
    const int page = kMetricBoxes[i].page;
    // A value read from the settings file may be unusable too; the user can mend it only on a
    // page that can be shown, and a box of the other page is stored as it was read.
    if (Usable(static_cast<int>(i)) || !pages_.page(page).enabled) continue;
    pages_.set_value(page);
    SetFocus(kMetricBoxes[i].name);
    module_.Dialogs().MsgBox(BoxMessage(kMetricBoxes[i]));
    return false;
  }
  return true;
}

void PrintForm::StoreBoxes() {
  for (size_t i = 0; i < kMetricBoxes.size(); ++i) {
    module_.SetIniValue(std::string(kMetricBoxes[i].key), boxes_[i]->text(), false);
  }
}

void PrintForm::CommandButton1_Click() {
  Application& app = module_.App();
  if (!CheckBoxes()) return;
  app.SetScreenUpdating(false);
  StoreBoxes();
  const TestSheetLayout& layout = CurrentLayout(module_);
  const host::Sheet sheet = app.Sheets().Item(layout.sheet_name);
  // The pages are those with a page number in the header column.
  int32_t pages = 0;
  while (layout.FirstRowOfPage(pages + 1) <= host::kMaxRows &&
         !sheet.Cells(layout.FirstRowOfPage(pages + 1), TestSheetLayout::kHeaderColumn)
              .Value()
              .IsEmpty()) {
    ++pages;
  }
  for (int32_t row = 1; row <= layout.rows_per_page * pages; ++row) SetRowHeight(module_, row);
  SetColumnWidths(module_);
  // New heights and widths change what fits on a sheet of paper.
  FitTestPages(module_, pages);
  Unload();
  app.ActiveWindow().SelectedSheets().PrintPreview();
}

void PrintForm::CommandButton2_Click() {
  const int page = pages_.value();
  for (size_t i = 0; i < kMetricBoxes.size(); ++i) {
    if (kMetricBoxes[i].page == page) boxes_[i]->set_text(std::string(kMetricBoxes[i].fallback));
  }
}

void PrintForm::CommandButton3_Click() { Unload(); }

void PrintForm::CommandButton4_Click() {
  if (!CheckBoxes()) return;
  StoreBoxes();
  Unload();
}

void SetPaper(KanjiModule& module, PrintForm& form) { form.Show(module.Dialogs()); }

}  // namespace tessarin::testgen
