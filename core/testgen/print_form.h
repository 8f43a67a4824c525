// PrintForm: the paper adjustment dialog. The thirteen metric settings of the two test sheets
// (row heights and column widths), stored in the settings file, applied to the test sheet on
// screen with its fit to the paper, and the print preview; SetPaper shows it.
#pragma once

#include <array>
#include <string_view>

#include "core/forms/form.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testgen {

inline constexpr std::string_view kNoTestSheetMessage = "問題を作成してから実行して下さい。";
inline constexpr std::string_view kNoTestSheetCaption = "問題用紙が存在しません。";
inline constexpr std::string_view kSelectTestSheetMessage =
    "問題用紙を選択してから実行して下さい。";

// One metric box: its page of MultiPage1, its settings key, the value it shows when the key is
// missing, and the largest value the host takes for what the key sizes.
struct MetricBox {
  std::string_view name;
  int page;
  std::string_view key;
  std::string_view fallback;
  double largest;
};

inline constexpr double kLargestRowHeight = 409.5;  // points
inline constexpr double kLargestColumnWidth = 255;  // characters

inline constexpr std::array<MetricBox, 13> kMetricBoxes = {{
    {"TextBox1", 0, "No", "20", kLargestRowHeight},
    {"TextBox2", 0, "Qs", "190", kLargestRowHeight},
    {"TextBox3", 0, "As", "90", kLargestRowHeight},
    {"TextBox4", 0, "Bi1", "18", kLargestRowHeight},
    {"TextBox5", 0, "Bi2", "10.5", kLargestRowHeight},
    {"TextBox6", 0, "C1", "6.4", kLargestColumnWidth},
    {"TextBox7", 0, "C2", "7.0", kLargestColumnWidth},
    {"TextBox8", 1, "No20", "20", kLargestRowHeight},
    {"TextBox9", 1, "Qs20", "353", kLargestRowHeight},
    {"TextBox10", 1, "As20", "243", kLargestRowHeight},
    {"TextBox11", 1, "Bi2-20", "11.25", kLargestRowHeight},
    {"TextBox12", 1, "C1-20", "6.4", kLargestColumnWidth},
    {"TextBox13", 1, "C2-20", "7.0", kLargestColumnWidth},
}};

// The message of a box whose value cannot be used: "1以上の整数を入力して下さい。(既定値：20) ",
// naming the default that box really falls back to.
std::string BoxMessage(const MetricBox& box);

// The dialog model. One instance serves every showing; the module and the host must outlive it.
// Handlers work on module.App() and may throw HostError (a missing or protected sheet), which
// ends the showing with nothing undone.
class PrintForm : public forms::Form {
 public:
  explicit PrintForm(workbook::KanjiModule& module);

  // Refuses without a test sheet (the dialog unloads, then kNoTestSheetMessage) or when the
  // active sheet is not one ("エラー" kSelectTestSheetMessage, then it unloads); otherwise
  // disables the page of a missing sheet, fills the thirteen boxes from the settings and turns
  // to the page of the active sheet.
  void UserForm_Activate();
  // Is40Sheet follows the page, and the page's test sheet is selected.
  void MultiPage1_Change();
  // A box must hold a number above 0 that the host takes as its height or width (at most
  // 409.5 points, 255 characters); otherwise its message, and the focus stays (cancel set).
  void TextBox_Exit(int index, bool& cancel);
  // Preview: stores the boxes, sizes the rows of every numbered page of the current test sheet
  // and its columns, fits the pages to the paper, unloads and opens the print preview of the
  // selected sheets.
  void CommandButton1_Click();
  // Reset: the defaults into the boxes of the selected page; nothing stored or applied.
  void CommandButton2_Click();
  // Close without storing.
  void CommandButton3_Click();
  // Stores the boxes and closes; the sheet is not re-measured.
  void CommandButton4_Click();

  forms::TextBox& box(int index) const { return *boxes_[index]; }

 private:
  void ResetControls();
  bool Usable(int index) const;
  // Before anything is stored: the first box of an enabled page that cannot be used gets the
  // focus (its page turned to) and its message; false then.
  bool CheckBoxes();
  void StoreBoxes();

  workbook::KanjiModule& module_;
  forms::MultiPage& pages_;
  std::array<forms::TextBox*, kMetricBoxes.size()> boxes_{};
};

// The paper adjustment command: shows `form` modally and returns when it closes.
void SetPaper(workbook::KanjiModule& module, PrintForm& form);

}  // namespace tessarin::testgen
