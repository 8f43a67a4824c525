// Test creation speed: a 40-question test from a 100,000-row question sheet, in process.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/cli/scripted_ui.h"
#include "core/host/application.h"
#include "core/testgen/kanji_form.h"
#include "core/testgen/selection.h"
#include "core/workbook/kanji_module.h"

namespace {

using namespace tessarin;

constexpr int kRows = 100000;

// A question sheet like a learner's after a few years: notes every 20 rows, some marks,
// must-appear markers, times set.
struct QuestionBook {
  QuestionBook() {
    // The settings file goes to memory-backed storage so that the disk does not dominate.
    home = (std::filesystem::exists("/dev/shm") ? std::string("/dev/shm") : std::string("/tmp")) +
           "/tessarin-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(home + "/Documents");
    setenv("HOME", home.c_str(), 1);
    module.XlApp = &app;
    module.ui = &ui;
    app.Workbooks().Add();
    app.ActiveSheet().SetName("ミラトス");
    host::Sheet sheet = app.ActiveSheet();
    for (int r = 1; r <= kRows; ++r) {
      if (r % 20 == 1) sheet.Cells(r, 1).SetText("漢字ドリル" + std::to_string(r / 400 + 1) + "年");
      if (r % 10 == 1) sheet.Cells(r, 2).SetText("第" + std::to_string(r / 10 % 30 + 1) + "回");
      sheet.Cells(r, 3).SetText("p." + std::to_string(r % 90 + 1));
      sheet.Cells(r, 4).SetText("モンダイ" + std::to_string(r) + "をよむ。");
      sheet.Cells(r, 5).SetText("問題" + std::to_string(r));
      for (int m = 0; m < r % 4; ++m) sheet.Cells(r, 6 + m).SetText("X");
      if (r % 97 == 0) sheet.Cells(r, 6 + r % 4).SetText("除");
      sheet.Cells(r, 17).SetNumber(r % 5);
      if (r % 250 == 0) sheet.Cells(r, 18).SetText("必出");
    }
    app.Range("A1").Select();
    module.QSheetName = module.TestTitle = "ミラトス";
  }
  ~QuestionBook() { std::filesystem::remove_all(home); }

  std::string home;
  host::Application app;
  cli::ScriptedUi ui;
  workbook::KanjiModule module;
};

QuestionBook& Book() {
  static QuestionBook book;
  return book;
}

// The create button, as the user presses it: settings writes, selection, layout and writing.
void BM_CreateButton(benchmark::State& state) {
  QuestionBook& book = Book();
  testgen::KanjiForm1 form(book.module);
  form.Get<forms::TextBox>("T1").set_text("1");
  form.Get<forms::TextBox>("T2").set_text(std::to_string(kRows));
  form.Get<forms::TextBox>("T3").set_text("40");
  form.Get<forms::TextBox>("T4").set_text("1234");
  book.module.Is40Sheet = true;
  for (auto _ : state) form.CommandButton1_Click();
  state.counters["questions"] = static_cast<double>(book.module.RequestedCount);
}
BENCHMARK(BM_CreateButton)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The selection alone: weights of every row and the candidate order.
void BM_RateAndOrder(benchmark::State& state) {
  QuestionBook& book = Book();
  testgen::KanjiForm1 form(book.module);
  book.module.RequestedCount = 40;
  for (auto _ : state) {
    testgen::RateQuestions(book.module);
    form.OrderCandidates(1, kRows);
    benchmark::DoNotOptimize(form.CandidateRow(1));
  }
}
BENCHMARK(BM_RateAndOrder)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
