// KanjiForm1 and START.
#include "core/testgen/kanji_form.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>

#include "core/forms/ui.h"
#include "core/host/constants.h"
#include "core/host/host_error.h"
#include "core/host/runtime.h"
#include "core/testgen/selection.h"
#include "core/testgen/test_sheet.h"
#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::testgen {

using host::Application;
using host::HostError;
using workbook::CellText;
using workbook::KanjiModule;
using workbook::NumericValue;

namespace {

constexpr std::string_view kDialogFont = "MS UI Gothic";
constexpr double kDialogFontSize = 9;
constexpr std::string_view kCreateCaption = "作成";
constexpr std::string_view kAtLeastOne = "1以上の整数を入力して下さい。 ";
constexpr std::string_view kAtLeastTwo = "2以上の整数を入力して下さい。 ";
// The create button's beep: the plain system sound, not the asterisk.
constexpr int kSimpleBeep = 0;

const char* BoolText(bool value) { return value ? "True" : "False"; }

// A stored flag as the runtime converts text to a Boolean: "True"/"False" in any case, or a
// number (non-zero is True). HostError 13 for anything else.
bool ToBoolean(std::string_view text) {
  std::string lower;
  for (char c : text) lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  if (lower == "true") return true;
  if (lower == "false") return false;
  if (std::optional<double> number = host::ParseNumber(text)) return *number != 0;
  throw HostError(host::kErrTypeMismatch,
                  "Type mismatch: \"" + std::string(text) + "\" is not True or False.");
}

template <class T>
T& Styled(T& control) {
  control.set_font(std::string(kDialogFont), kDialogFontSize);
  return control;
}

uint32_t ClockSeed() {
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(ticks ^ (ticks >> 32));
}

}  // namespace

// The members are declared in tab order, so each control's tab index is its place in the table.
KanjiForm1::KanjiForm1(KanjiModule& module)
    : Form("KanjiForm1", "漢字テスト作成", 183, 214.5),
      module_(module),
      t1_(Styled(AddTextBox("T1", {55.5, 42.7, 30, 15}))),
      label1_(Styled(AddLabel("Label1", "出題範囲　　　　　　 　～", {9.8, 45.8, 105.7, 16.5}))),
      t2_(Styled(AddTextBox("T2", {105.8, 42.8, 30, 15}))),
      label2_(Styled(AddLabel("Label2", "出題数　　　　　　　　　題", {9.8, 72.7, 111, 15.8}))),
      t3_(Styled(AddTextBox("T3", {55.5, 69, 30, 15}))),
      create_(Styled(AddCommandButton("CommandButton1", std::string(kCreateCaption),
                                      {18.7, 189.8, 72, 19.5}))),
      close_(Styled(AddCommandButton("CommandButton2", "閉じる", {112.4, 189.8, 45, 19.5}))),
      reset_(Styled(AddCommandButton("CommandButton3", "リセット", {140.2, 42, 35.3, 17.3}))),
      t4_(Styled(AddTextBox("T4", {55.5, 92.2, 36.7, 15}))),
      label3_(Styled(AddLabel("Label3", "乱数コード", {11.3, 95.2, 41.2, 12}))),
      cbox_(Styled(AddCheckBox("CBox", "間違い度数を無視する", {15, 119.2, 157.5, 12.8}))),
      check_box1_(
          Styled(AddCheckBox("CheckBox1", "一度出題された問題を除く", {15, 134.8, 159.8, 15}))),
      check_box2_(
          Styled(AddCheckBox("CheckBox2", "「必出」問題を考慮する", {15, 154.1, 159.8, 15}))),
      tb1_(Styled(AddToggleButton("TB1", std::string(kToggle20Caption), {10.5, 4.5, 165, 22.5}))),
      make_code_(
          Styled(AddCommandButton("CommandButton4", "乱数コード作成", {99, 91.5, 67.5, 17.3}))),
      check_box3_(
          Styled(AddCheckBox("CheckBox3", "ﾃｽﾄ用紙に出典先を記入する", {14.6, 170.2, 159.8, 15}))),
      clock_random_(ClockSeed()) {
  on_load = [this] { ResetControls(); };
  on_activate = [this] { UserForm_Activate(); };
  t1_.on_exit = [this](bool& cancel) { T1_Exit(cancel); };
  t2_.on_exit = [this](bool& cancel) { T2_Exit(cancel); };
  t3_.on_exit = [this](bool& cancel) { T3_Exit(cancel); };
  t4_.on_exit = [this](bool& cancel) { T4_Exit(cancel); };
  cbox_.on_change = [this] { CBox_Change(); };
  check_box1_.on_change = [this] { CheckBox1_Change(); };
  check_box2_.on_click = [this] { CheckBox2_Click(); };
  check_box3_.on_click = [this] { CheckBox3_Click(); };
  tb1_.on_click = [this] { TB1_Click(); };
  create_.on_click = [this] { CommandButton1_Click(); };
  close_.on_click = [this] { CommandButton2_Click(); };
  reset_.on_click = [this] { CommandButton3_Click(); };
  make_code_.on_click = [this] { CommandButton4_Click(); };
  ResetControls();
}

// A freshly loaded dialog shows its design values; loading fires no events, so the handlers
// are detached meanwhile.
void KanjiForm1::ResetControls() {
  auto cbox = std::exchange(cbox_.on_change, nullptr);
  auto check1 = std::exchange(check_box1_.on_change, nullptr);
  auto check2 = std::exchange(check_box2_.on_click, nullptr);
  auto check3 = std::exchange(check_box3_.on_click, nullptr);
  auto toggle = std::exchange(tb1_.on_click, nullptr);
  t1_.set_text("1");
  t2_.set_text("50");
  t3_.set_text("40");
  t4_.set_text("");
  cbox_.set_value(false);
  check_box1_.set_value(false);
  check_box2_.set_value(false);
  check_box3_.set_value(false);
  tb1_.set_value(false);
  tb1_.set_caption(std::string(kToggle20Caption));
  create_.set_caption(std::string(kCreateCaption));
  cbox_.on_change = std::move(cbox);
  check_box1_.on_change = std::move(check1);
  check_box2_.on_click = std::move(check2);
  check_box3_.on_click = std::move(check3);
  tb1_.on_click = std::move(toggle);
}

void KanjiForm1::UserForm_Activate() {
  Application& app = module_.App();
  app.SetScreenUpdating(false);
  const host::Range selection = app.Selection();
  const int64_t first_row = selection.Row();
  const int64_t last_row = first_row + selection.Rows().Count() - 1;
  if (first_row == last_row) {
    t1_.set_text(module_.GetIniValue("ST", "1"));
    t2_.set_text(module_.GetIniValue("ED", std::to_string(CountQuestions(module_))));
    t3_.set_text(module_.GetIniValue("Mo", "40"));
  } else {
    t1_.set_text(std::to_string(first_row));
    t2_.set_text(std::to_string(last_row));
    t3_.set_text(module_.GetIniValue("Mo", "40"));
  }
  t4_.set_text(module_.GetIniValue("RND", "1234"));
  cbox_.set_value(ToBoolean(module_.GetIniValue("FMU", "False")));
  check_box1_.set_value(ToBoolean(module_.GetIniValue("KMU", "False")));
  check_box2_.set_value(ToBoolean(module_.GetIniValue("HST", "False")));
  check_box3_.set_value(ToBoolean(module_.GetIniValue("STN", "True")));
  tb1_.set_value(ToBoolean(module_.GetIniValue("1P40", "True")));
  // A control that already showed its stored value fires no event, yet the flag may have been
  // changed meanwhile (by SheetActivate, or by a close through the window): each flag takes
  // its control's value all the same.
  module_.IgnoreWrongCount = cbox_.value();
  module_.ExcludeAsked = check_box1_.value();
  module_.ConsiderMustAppear = check_box2_.value();
  module_.WriteSourceNote = check_box3_.value();
  TB1_Click();
}

void KanjiForm1::CheckBox(forms::TextBox& box, double bound, std::string_view message,
                          bool& cancel) {
  const std::optional<double> number = host::ParseNumber(box.text());
  if (number && *number >= bound) return;
  module_.Dialogs().MsgBox(message);
  cancel = true;
}

void KanjiForm1::T1_Exit(bool& cancel) { CheckBox(t1_, 1, kAtLeastOne, cancel); }
void KanjiForm1::T2_Exit(bool& cancel) { CheckBox(t2_, 2, kAtLeastTwo, cancel); }
void KanjiForm1::T3_Exit(bool& cancel) { CheckBox(t3_, 1, kAtLeastOne, cancel); }
void KanjiForm1::T4_Exit(bool& cancel) { CheckBox(t4_, 1, kAtLeastOne, cancel); }

void KanjiForm1::CBox_Change() {
  module_.IgnoreWrongCount = cbox_.value();
  if (cbox_.value()) check_box1_.set_value(false);
}

void KanjiForm1::CheckBox1_Change() {
  module_.ExcludeAsked = check_box1_.value();
  if (check_box1_.value()) cbox_.set_value(false);
}

void KanjiForm1::CheckBox2_Click() { module_.ConsiderMustAppear = check_box2_.value(); }

void KanjiForm1::CheckBox3_Click() { module_.WriteSourceNote = check_box3_.value(); }

void KanjiForm1::TB1_Click() {
  module_.Is40Sheet = tb1_.value();
  tb1_.set_caption(std::string(tb1_.value() ? kToggle40Caption : kToggle20Caption));
}

void KanjiForm1::SaveCodeAndOptions() {
  module_.SetIniValues({{"RND", t4_.text()},
                        {"FMU", BoolText(cbox_.value())},
                        {"KMU", BoolText(check_box1_.value())},
                        {"HST", BoolText(check_box2_.value())},
                        {"STN", BoolText(check_box3_.value())},
                        {"1P40", BoolText(tb1_.value())}});
}

void KanjiForm1::CommandButton1_Click() {
  Application& app = module_.App();
  RateQuestions(module_);
  app.SetScreenUpdating(false);
  SaveCodeAndOptions();
  const TestSheetLayout& layout = CurrentLayout(module_);
  module_.QuestionsPerPage = layout.questions_per_page;
  const std::string sheet_name(layout.sheet_name);

  // The limits need only the rated rows and the boxes, so a range that starts below the last
  // question is refused here, before a test sheet is added or anything in the workbook changes.
  const TestLimits limits = LimitRange(module_, t1_.text(), t2_.text(), t3_.text());
  if (limits.requested <= 0) {
    app.SetScreenUpdating(true);
    module_.Dialogs().MsgBox(kEmptyRangeMessage, "エラー");
    return;
  }

  if (!SheetExists(app.Sheets(), sheet_name)) {
    const host::Sheet added = app.Sheets().Add(host::kXlWorksheet);
    added.SetName(sheet_name);
    app.ActiveWindow().SetDisplayGridlines(false);
    if (module_.Is40Sheet) {
      FormatSheet40(module_);
    } else {
      FormatSheet20(module_);
    }
  }
  module_.PageCount = limits.page_count;
  module_.RequestedCount = limits.requested;
  placed_count_ = 1;
  OrderCandidates(limits.start, limits.end);
  ClearTestSheet(module_);
  FormatAnswerRows(module_);
  NumberTestPages(module_, limits.start, limits.end);
  ApplyPageMetrics(module_);
  WriteQuestions();
  app.SetScreenUpdating(true);
  create_.set_caption(std::string(kRecreateCaption));
  module_.Dialogs().Beep(kSimpleBeep);
}

void KanjiForm1::CommandButton2_Click() {
  module_.SetIniValue("ST", t1_.text(), false);
  module_.SetIniValue("ED", t2_.text(), false);
  module_.SetIniValue("Mo", t3_.text(), false);
  SaveCodeAndOptions();
  Unload();
}

void KanjiForm1::CommandButton3_Click() {
  t1_.set_text("1");
  t2_.set_text(std::to_string(CountQuestions(module_)));
}

void KanjiForm1::CommandButton4_Click() {
  std::uniform_int_distribution<int> digit(0, 9);
  std::string code;
  for (int i = 0; i < 4; ++i) code.push_back(static_cast<char>('0' + digit(clock_random_)));
  t4_.set_text(code);
}

void KanjiForm1::Reseed() { random_.Reseed(host::TextToLong(module_.GetIniValue("RND", "1234"))); }

namespace {

HostError NoWeight(int64_t row) {
  return HostError(host::kErrSubscriptOutOfRange,
                   "Subscript out of range: row " + std::to_string(row) + " has no weight.");
}

// Orders rows[0, n) by falling weight, rows of equal weight keeping their order: a radix sort,
// a byte of the weight at a time, skipping the bytes every weight shares (weights take few
// values, often only one). Every row must have a weight.
void SortByFallingWeight(int32_t* rows, int32_t n, const std::vector<int32_t>& weights) {
  // The key sorts ascending as the weight falls.
  const auto key = [&weights](int32_t row) {
    return ~(static_cast<uint32_t>(weights[row]) ^ 0x80000000u);
  };
  uint32_t in_every = ~0u, in_any = 0;
  for (int32_t i = 0; i < n; ++i) {
    in_every &= key(rows[i]);
    in_any |= key(rows[i]);
  }
  const uint32_t differing = in_every ^ in_any;
  if (differing == 0) return;

  // The key in the high half, the row riding in the low half.
  auto items = std::make_unique_for_overwrite<uint64_t[]>(n);
  auto sorted = std::make_unique_for_overwrite<uint64_t[]>(n);
  for (int32_t i = 0; i < n; ++i) {
    items[i] = uint64_t{key(rows[i])} << 32 | static_cast<uint32_t>(rows[i]);
  }
  for (int shift = 32; shift < 64; shift += 8) {
    if (((differing >> (shift - 32)) & 0xFF) == 0) continue;
    const auto digit = [shift](uint64_t item) { return (item >> shift) & 0xFF; };
    // Four counts per digit, so that a long run of one digit does not wait on one counter.
    std::array<std::array<int32_t, 256>, 4> counts{};
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
      for (int lane = 0; lane < 4; ++lane) ++counts[lane][digit(items[i + lane])];
    }
    for (; i < n; ++i) ++counts[0][digit(items[i])];
    std::array<int32_t, 256> next;
    int32_t total = 0;
    for (int d = 0; d < 256; ++d) {
      next[d] = total;
      for (int lane = 0; lane < 4; ++lane) total += counts[lane][d];
    }
    for (i = 0; i < n; ++i) sorted[next[digit(items[i])]++] = items[i];
    items.swap(sorted);
  }
  for (int32_t i = 0; i < n; ++i) rows[i] = static_cast<int32_t>(static_cast<uint32_t>(items[i]));
}

}  // namespace

void KanjiForm1::Exchange(int32_t n, int passes) {
  const std::vector<int32_t>& weights = module_.QuestionWeight;
  // A draw k runs from 1 to n and is tested as a row of the sheet, not as the row held at
  // position k: the classic order depends on it. A k past the rated rows has no weight.
  const int64_t rated = static_cast<int64_t>(weights.size()) - 1;
  // Locals, so that the stores of the exchanges cannot be taken to change the generator or the
  // weights: each draw then waits for the last one only.
  const int32_t* const weight = weights.data();
  int32_t* const rows = candidates_.data();
  ClassicRandom random = random_;
  for (int pass = 0; pass < passes; ++pass) {
    for (int32_t i = 1; i <= n; ++i) {
      const int32_t k = random.Draw(n);
      if (k > rated) {
        random_ = random;
        throw NoWeight(k);
      }
      if (weight[k] >= 0 && k != i) std::swap(rows[i], rows[k]);
    }
  }
  random_ = random;
}

void KanjiForm1::OrderCandidates(int32_t start, int32_t end) {
  const std::vector<int32_t>& weights = module_.QuestionWeight;
  candidates_.assign(1, 0);
  if (start >= 0 && start <= end) {
    candidates_.reserve(1 +
                        std::min(static_cast<size_t>(int64_t{end} - start) + 1, weights.size()));
  }
  for (int64_t row = start; row <= end; ++row) {
    if (row < 0 || row >= static_cast<int64_t>(weights.size())) throw NoWeight(row);
    if (weights[row] >= 0) candidates_.push_back(static_cast<int32_t>(row));
  }
  const auto count = static_cast<int32_t>(candidates_.size() - 1);
  module_.CandidateCount = count;

  Reseed();
  Exchange(count, 10);
  if (module_.IgnoreWrongCount && !module_.ConsiderMustAppear) return;

  // Stable, so rows of equal weight keep the order of the shuffle.
  SortByFallingWeight(candidates_.data() + 1, count, weights);
  Reseed();
  Exchange(std::min(module_.RequestedCount, count), 5);
}

int32_t KanjiForm1::CandidateRow(int32_t position) const {
  if (position < 0 || position > module_.CandidateCount ||
      position >= static_cast<int64_t>(candidates_.size())) {
    throw HostError(host::kErrSubscriptOutOfRange,
                    "Subscript out of range: no candidate at position " + std::to_string(position));
  }
  return candidates_[position];
}

void KanjiForm1::WriteQuestions() {
  Application& app = module_.App();
  const host::Sheet questions = app.Sheets().Item(module_.QSheetName);
  const host::Sheet test = app.Sheets().Item(CurrentLayout(module_).sheet_name);
  const int32_t count = std::min(module_.RequestedCount, module_.CandidateCount);
  // Columns A and B do not change while the questions are written.
  NoteWalks walks;
  for (int32_t i = 1; i <= count; ++i) {
    const int32_t row = CandidateRow(i);
    // A question that shows nothing takes no place; its number stays unused.
    if (questions.Cells(row, workbook::kQuestionColumn).Text().empty()) continue;

    const host::Range times = questions.Cells(row, workbook::kTimesSetColumn);
    const std::optional<double> set_before = NumericValue(times.Value());
    const int64_t set_now = set_before ? int64_t{host::ToLong(*set_before)} + 1 : 1;
    if (set_now > std::numeric_limits<int32_t>::max()) {
      throw HostError(host::kErrOverflow,
                      "Overflow: the count in Q" + std::to_string(row) + " cannot grow.");
    }
    times.SetNumber(static_cast<double>(set_now));

    questions.Select();
    questions.Cells(row, workbook::kQuestionColumn).Select();
    app.Selection().Copy();

    const host::CellRef target = TestSheetLayout::QuestionCell(placed_count_);
    target_column_ = target.col;
    target_row_ = target.row;
    test.Select();
    app.Cells(target_row_, target_column_).Select();
    app.ActiveSheet().Paste();
    app.SetCutCopyMode(false);

    const host::Range pasted = app.Selection();
    pasted.SetHorizontalAlignment(host::kXlGeneral);
    pasted.SetVerticalAlignment(host::kXlTop);
    pasted.SetWrapText(false);
    pasted.SetOrientation(host::kXlVertical);
    pasted.SetAddIndent(false);
    pasted.SetShrinkToFit(true);
    pasted.SetMergeCells(false);
    // The question cell brings its comment along (D1 of the blank template has one).
    const host::SheetComments comments = app.ActiveSheet().Comments();
    if (comments.Count() == 1) comments.Item(1).Delete();

    app.Cells(target_row_ - 1, target_column_).SetNumber(i);
    if (module_.WriteSourceNote) {
      const std::string note = SourceNote(row, &walks);
      const host::Range note_cell = app.Cells(target_row_ + 2, target_column_);
      if (note.empty()) {
        note_cell.SetValue(host::CellValue{});
      } else {
        note_cell.SetText(note);
      }
    }
    ++placed_count_;
  }
}

std::string KanjiForm1::SourceNote(const int32_t& row) const { return SourceNote(row, nullptr); }

namespace {

// The nearest row at or above `row` whose cell in `col` is not empty, 0 when there is none.
// `walked` (may be null) remembers earlier walks on an unchanged column, each as the row it
// started from and its answer: every row from the answer (row 1 for none) to the start has that
// answer, and a walk that comes down to a start takes its answer. So the notes of a test cost
// one pass over the column, however their rows are ordered.
int32_t NearestEntry(const host::Sheet& sheet, int col, int32_t row,
                     std::map<int32_t, int32_t>* walked) {
  int32_t known_row = 0;
  int32_t known_answer = 0;
  if (walked != nullptr) {
    auto at = walked->lower_bound(row);
    if (at != walked->end() && at->second <= row) return at->second;
    if (at != walked->begin()) std::tie(known_row, known_answer) = *std::prev(at);
  }
  workbook::RowReader cells(sheet);
  int32_t answer = 0;
  for (int32_t r = row; r >= 1; --r) {
    if (r == known_row) {
      answer = known_answer;
      break;
    }
    cells.Seek(r);
    if (!cells.NoText(col)) {
      answer = r;
      break;
    }
  }
  if (walked != nullptr) (*walked)[row] = answer;
  return answer;
}

}  // namespace

std::string KanjiForm1::SourceNote(int32_t row, NoteWalks* walks) const {
  const host::Sheet sheet = module_.App().Sheets().Item(module_.QSheetName);
  const int32_t r1 = NearestEntry(sheet, workbook::kNoteColumnA, row, walks ? &walks->a : nullptr);
  if (r1 < 1) return "";
  const int32_t r2 = NearestEntry(sheet, workbook::kNoteColumnB, row, walks ? &walks->b : nullptr);
  if (r2 < 1) return "";
  return CellText(sheet, r1, workbook::kNoteColumnA) + "-" +
         CellText(sheet, r2, workbook::kNoteColumnB) + "-" +
         CellText(sheet, row, workbook::kNoteColumnC);
}

void START(KanjiModule& module, KanjiForm1& form) {
  const host::Sheet active = module.App().ActiveSheet();
  const std::string name = active.Name();
  if (!workbook::IsQuestionSheetName(name)) {
    module.Dialogs().MsgBox("シート名「ミラトス」を選択して下さい。");
    return;
  }
  module.TestTitle = name;
  module.QSheetName = name;
  if (CellText(active, 1, workbook::kQuestionColumn).empty()) {
    module.Dialogs().MsgBox("問題文が１題もありません。", "エラー");
    return;
  }
  form.Show(module.Dialogs());
}

}  // namespace tessarin::testgen
