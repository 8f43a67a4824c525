// KanjiForm1: the test creation dialog (range, count, random code, options, page size) with its
// create button that runs a whole test, and the START command that shows it.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/forms/form.h"
#include "core/host/application.h"
#include "core/testgen/classic_random.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testgen {

// Captions of the page-size toggle (two ordinary spaces after "ページ").
inline constexpr std::string_view kToggle20Caption = "１ページ  ２０問で作成";
inline constexpr std::string_view kToggle40Caption = "１ページ  ４０問で作成";
// The create button's caption once a test has been made.
inline constexpr std::string_view kRecreateCaption = "再作成";
// Shown when the limited range holds no question row (a range starting below the last row).
inline constexpr std::string_view kEmptyRangeMessage = "出題範囲に問題がありません。";

// The dialog model. One instance serves every showing; the module and the host must outlive it.
// Every handler works on module.App() and may throw HostError, which ends the handler (and,
// through Form::Show, the showing) with nothing undone.
class KanjiForm1 : public forms::Form {
 public:
  explicit KanjiForm1(workbook::KanjiModule& module);

  // --- Event handlers, named as the dialog's events.
  // Fills the boxes and options from the settings (a selection of several rows on the question
  // sheet sets the range instead of ST and ED) and brings the option flags in line.
  void UserForm_Activate();
  // Box checks: a box that does not hold a number of at least 1 (2 for T2) shows its message
  // and keeps the focus (cancel set). Full-width digits count as digits.
  void T1_Exit(bool& cancel);
  void T2_Exit(bool& cancel);
  void T3_Exit(bool& cancel);
  void T4_Exit(bool& cancel);
  void CBox_Change();
  void CheckBox1_Change();
  void CheckBox2_Click();
  void CheckBox3_Click();
  void TB1_Click();
  // Create: rates the questions, stores RND and the five flags, refuses an empty range with
  // kEmptyRangeMessage (nothing written to the workbook, dialog left open), else adds the test
  // sheet when missing, orders the candidates, clears, numbers and sizes the test sheet and
  // writes the questions; then captions itself "再作成" and beeps.
  void CommandButton1_Click();
  // Close: stores the nine keys ST, ED, Mo, RND, FMU, KMU, HST, STN, 1P40 and unloads.
  void CommandButton2_Click();
  // Reset: range 1 to the question count.
  void CommandButton3_Click();
  // A clock-seeded four-digit code into T4 (leading zeros kept); stores nothing.
  void CommandButton4_Click();

  // --- Selection and writing.
  // Candidates = 0 followed by the rows start..end of non-negative weight, shuffled with the
  // random code, ordered by weight (stable) and the first min(RequestedCount, CandidateCount)
  // shuffled again; sets module.CandidateCount. Needs RateQuestions. Throws HostError 9 when a
  // row lies outside the rated rows, 13 when the RND setting is not a number.
  void OrderCandidates(int32_t start, int32_t end);
  // The row at `position` of Candidates (position 0 holds 0). HostError 9 outside
  // 0 .. CandidateCount.
  int32_t CandidateRow(int32_t position) const;
  // Copies the chosen questions onto the test sheet in test order, numbers them, writes their
  // source notes when the option is on and counts them in column Q.
  void WriteQuestions();
  // The row's source: A of the nearest row at or above it with an A entry, "-", likewise B,
  // "-", its own C; "" when A or B has no entry at or above the row.
  std::string SourceNote(const int32_t& row) const;

  const std::vector<int32_t>& Candidates() const { return candidates_; }
  int32_t PlacedCount() const { return placed_count_; }

 private:
  // Rows already walked from in columns A and B while one test is written.
  struct NoteWalks {
    std::map<int32_t, int32_t> a;
    std::map<int32_t, int32_t> b;
  };
  std::string SourceNote(int32_t row, NoteWalks* walks) const;
  // The controls as they stand when the dialog is loaded.
  void ResetControls();
  // Stores RND and the five option flags, in that order (both the create and close buttons do).
  void SaveCodeAndOptions();
  // Shows `message` and cancels unless `box` holds a number of at least `bound`.
  void CheckBox(forms::TextBox& box, double bound, std::string_view message, bool& cancel);
  // Reseeds the classic generator with the stored random code.
  void Reseed();
  // `passes` passes over Candidates 1..n, each exchanging position i with a drawn k (1..n)
  // unless row k has a negative weight or k is i. HostError 9 for a k past the rated rows.
  void Exchange(int32_t n, int passes);

  workbook::KanjiModule& module_;
  // The controls, in tab order (they are added in declaration order).
  forms::TextBox& t1_;
  forms::Label& label1_;
  forms::TextBox& t2_;
  forms::Label& label2_;
  forms::TextBox& t3_;
  forms::CommandButton& create_;
  forms::CommandButton& close_;
  forms::CommandButton& reset_;
  forms::TextBox& t4_;
  forms::Label& label3_;
  forms::CheckBox& cbox_;
  forms::CheckBox& check_box1_;
  forms::CheckBox& check_box2_;
  forms::ToggleButton& tb1_;
  forms::CommandButton& make_code_;
  forms::CheckBox& check_box3_;

  std::vector<int32_t> candidates_;
  int32_t placed_count_ = 1;
  int32_t target_row_ = 0;
  int32_t target_column_ = 0;
  ClassicRandom random_;
  std::mt19937 clock_random_;
};

// The test creation command: refuses an active sheet that is not a question sheet
// ("シート名「ミラトス」を選択して下さい。") or has an empty D1 ("問題文が１題もありません。",
// caption "エラー"); otherwise records the sheet's name as TestTitle and QSheetName and shows
// `form` modally, returning when it closes.
void START(workbook::KanjiModule& module, KanjiForm1& form);

}  // namespace tessarin::testgen
