// Form1: the kanji grade search dialog. It reads the text of the selected cells, reports which
// school levels its kanji belong to ("set" view) and which kanji of each level it lacks ("not
// set" view).
#pragma once

#include <cstdint>
#include <string_view>

#include "core/forms/form.h"
#include "core/reports/grade_report.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::reports {

// Captions and texts of the dialog.
inline constexpr std::string_view kForm1Caption = "小学校で習う漢字リスト";
inline constexpr std::string_view kSetViewCaption =
    "小学校で習う漢字リスト【出題している漢字一覧】";
inline constexpr std::string_view kNotSetViewCaption =
    "小学校で習う漢字リスト【出題していない漢字一覧】";
inline constexpr std::string_view kPleaseWait = "しばらくお待ちください．．．\r\n";
inline constexpr std::string_view kSeveralAreasMessage = "「選択範囲」を複数回選んでいます。";
// The choice of the 2020 allocation (CheckBox1), and what it says when the data is missing.
inline constexpr std::string_view k2020Caption = "2020年度からの学年別漢字配当表";
inline constexpr std::string_view kNo2020Tables =
    "2020年度からの配当表を読めません。パッケージ kanjidic-xml をインストールしてください。";
// The beep after each report: the system asterisk.
inline constexpr int kAsteriskBeep = 64;

// The cells a selection covers, from its absolute R1C1 address ("R3C2:R5C4", whole rows
// "R3:R5" or "R3", whole columns "C2:C4" or "C2") and its row and column counts, which stand in
// for the far edge of whole rows and columns. One area only.
struct SelectedCells {
  int64_t first_row = 0;
  int64_t last_row = 0;
  int64_t first_column = 0;
  int64_t last_column = 0;
  friend bool operator==(const SelectedCells&, const SelectedCells&) = default;
};
// Throws HostError 13 when a part holds no number where one belongs.
SelectedCells ParseSelectionAddress(std::string_view r1c1, int64_t row_count, int64_t column_count);

// The dialog. One instance serves every showing; the module and the host must outlive it.
// Handlers work on module.App() and may throw HostError (no workbook open, for one), which
// unloads the form and ends the showing.
class Form1 : public forms::Form {
 public:
  explicit Form1(workbook::KanjiModule& module);

  // Reads the text of the selection (one cell: the active cell's displayed text; else every
  // cell of the selected rectangle, row by row, left to right, empty cells skipped), classifies
  // it into Text1 and shows the "set" view: CD1 on, CD2 off, a beep. A selection of several
  // areas shows kSeveralAreasMessage ("エラー"), sets CloseOnActivate and reports nothing.
  void Kanji_Shiwake();

  // --- Event handlers.
  // Load: design texts back, CloseOnActivate cleared, then Kanji_Shiwake.
  void Form_Load();
  // Activate: closes the form when the selection could not be read.
  void Form_Activate();
  // The "not set" view of the last classification: CD1 off, CD2 on, a beep.
  void CD1_Click();
  // The "set" view again: everything cleared and the selection read anew.
  void CD2_Click();
  // Close: the lists emptied and the form unloaded.
  void Command1_Click();
  // The allocation chosen (on: 2020, off: 1989, the default), then the "set" view anew. When the
  // 2020 tables cannot be read it says kNo2020Tables ("エラー") and turns the choice off again.
  void CheckBox1_Change();

  KanjiGrades& grades() { return grades_; }
  bool CloseOnActivate = false;

 private:
  // Every way out of the dialog (the close button, the close box, a failed read) empties the
  // lists, so the next classification starts from nothing.
  void Form_Unload();
  // The controls as they stand when the dialog is loaded.
  void ResetControls();

  workbook::KanjiModule& module_;
  KanjiGrades grades_;
  forms::TextBox& text1_;
  forms::CommandButton& cd2_;
  forms::CommandButton& cd1_;
  forms::CommandButton& command1_;
  forms::CheckBox& check_box1_;
};

}  // namespace tessarin::reports
