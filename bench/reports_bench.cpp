// The duplicate check: the whole RepeatKanji command on 100,000 questions (one answer in ten
// repeated), and the pairwise rule it replaced on 10,000 questions, for the ratio.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "app/cli/scripted_ui.h"
#include "core/host/application.h"
#include "core/reports/repeat_kanji.h"
#include "core/workbook/kanji_module.h"

namespace {

using namespace tessarin;

// Answers "答N", each unique except that one row in ten repeats the answer of an earlier row.
std::vector<std::string> Answers(int rows) {
  std::mt19937 random(7);
  std::vector<std::string> answers;
  for (int r = 0; r < rows; ++r) {
    if (r > 0 && r % 10 == 0) {
      answers.push_back(answers[std::uniform_int_distribution<int>(0, r - 1)(random)]);
    } else {
      answers.push_back("答" + std::to_string(r));
    }
  }
  return answers;
}

struct QuestionBook {
  explicit QuestionBook(int rows) {
    module.XlApp = &app;
    module.ui = &ui;
    app.Workbooks().Add();
    app.ActiveSheet().SetName("ミラトス");
    host::Sheet sheet = app.ActiveSheet();
    const std::vector<std::string> answers = Answers(rows);
    for (int r = 1; r <= rows; ++r) {
      sheet.Cells(r, 4).SetText("モンダイ" + std::to_string(r) + "をよむ。");
      sheet.Cells(r, 5).SetText(answers[r - 1]);
    }
  }
  host::Application app;
  cli::ScriptedUi ui;
  workbook::KanjiModule module;
};

void BM_RepeatKanjiCommand(benchmark::State& state) {
  QuestionBook book(static_cast<int>(state.range(0)));
  size_t shown = 0;
  book.ui.set_sink([&](const nlohmann::json& event) { shown += event.dump().size(); });
  for (auto _ : state) reports::RepeatKanji(book.module);
  benchmark::DoNotOptimize(shown);
}
BENCHMARK(BM_RepeatKanjiCommand)->Arg(100000)->Unit(benchmark::kMillisecond);

reports::AnswerColumn Column(int rows) {
  reports::AnswerColumn column;
  column.answers = Answers(rows);
  for (int r = 1; r <= rows; ++r)
    column.questions.push_back("モンダイ" + std::to_string(r) + "をよむ。");
  return column;
}

void BM_DuplicateReportOnePass(benchmark::State& state) {
  const reports::AnswerColumn column = Column(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(reports::DuplicateReport(column));
}
BENCHMARK(BM_DuplicateReportOnePass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DuplicateReportPairwise(benchmark::State& state) {
  const reports::AnswerColumn column = Column(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(reports::DuplicateReportPairwise(column));
}
BENCHMARK(BM_DuplicateReportPairwise)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
