// Grade search speed: the code page table's first build, the classification of a long text,
// reading the 2020 tables, and the dialog reading a whole question column of 100,000 rows.
#include <benchmark/benchmark.h>

#include <string>

#include "app/cli/scripted_ui.h"
#include "core/host/application.h"
#include "core/reports/form1.h"
#include "core/reports/grade_cp932.h"
#include "core/reports/grade_report.h"
#include "core/reports/kanji_tables.h"
#include "core/reports/kanjidic_tables.h"
#include "core/workbook/kanji_module.h"

namespace {

using namespace tessarin;

constexpr int kRows = 100000;

// Every kanji of the nine tables in turn, with kana between them, `n` times over.
std::string LongText(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) {
    for (int g = 1; g <= reports::kLevelCount; ++g) {
      text += reports::KanjiTableText(g);
      text += "をかきなさい。";
    }
  }
  return text;
}

void BM_ClassifyLongText(benchmark::State& state) {
  const std::string text = LongText(static_cast<int>(state.range(0)));
  reports::IsCp932Kanji(U'一');  // the table is built once per process; measured apart
  for (auto _ : state) {
    reports::KanjiGrades grades;
    benchmark::DoNotOptimize(grades.Kanji_Hantei(text));
    benchmark::DoNotOptimize(grades.NotSetReport());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ClassifyLongText)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

// The 2020 tables read from the installed KANJIDIC2 (15 MB once inflated), as the first use of
// the 2020 option in a process reads them.
void BM_Read2020Tables(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::ReadKanjidicTables(std::string(reports::kKanjidicPath)));
  }
}
BENCHMARK(BM_Read2020Tables)->Unit(benchmark::kMillisecond);

// The whole column D of a question sheet, selected as "D:D": a million rows by address.
void BM_Form1WholeColumn(benchmark::State& state) {
  host::Application app;
  cli::ScriptedUi ui;
  workbook::KanjiModule module;
  module.XlApp = &app;
  module.ui = &ui;
  app.Workbooks().Add();
  host::Sheet sheet = app.ActiveSheet();
  for (int r = 1; r <= kRows; ++r) {
    sheet.Cells(r, 4).SetText("モンダイ" + std::to_string(r) + "をよむ。問題");
    sheet.Cells(r, 5).SetText("問題");
  }
  app.Range("D:D").Select();
  reports::Form1 form(module);
  for (auto _ : state) form.Show(ui);
}
BENCHMARK(BM_Form1WholeColumn)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
