// Host model benchmarks: typing and reading back a 100,000-question sheet (18 columns of short
// Japanese text), walking column D, and the memory the sheet takes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

#include "core/host/application.h"

namespace tessarin::host {
namespace {

constexpr int kRows = 100000;
constexpr int kColumns = 18;

// The sheet's texts, made once: unique questions (D) and answers (E), the rest from small
// vocabularies as learners fill them (notes, marks, remarks, counts, the must-appear marker).
struct SheetText {
  std::vector<std::string> cells;  // row-major, kRows * kColumns
  const std::string& At(int row, int col) const {
    return cells[size_t(row - 1) * kColumns + (col - 1)];
  }
};

const SheetText& Texts() {
  static const SheetText texts = [] {
    const std::vector<std::string> subjects = {"彼",     "私",   "先生", "母",   "友人",
                                               "委員会", "政府", "選手", "店主", "旅人",
                                               "兄",     "市長", "医師"};
    const std::vector<std::string> objects = {"事件の真相", "計画",     "新しい規則", "古い家",
                                              "実験の結果", "山の頂上", "大会の記録", "歴史の本",
                                              "海外の文化", "将来の夢", "村の祭り"};
    const std::vector<std::string> verbs = {
        "をキュウメイする", "をケントウする", "をシュウセイする", "にトウタツする", "をホゾンする",
        "をハッピョウする", "をセツメイする", "をカクニンする",   "をテイアンする"};
    const std::vector<std::string> answers = {"究明", "検討", "修正", "到達", "保存",
                                              "発表", "説明", "確認", "提案"};
    const std::vector<std::string> notes = {"漢検3級", "教科書",   "p.12", "第2章", "問題集",
                                            "準2級",   "小テスト", "",     "復習"};
    const std::vector<std::string> marks = {"X", "", "", "○", "Ｘ", "", "S", "", "除"};
    const std::vector<std::string> remarks = {"意味を確認", "送り仮名注意", "", "同音異義語",
                                              "部首は言偏"};
    SheetText t;
    t.cells.reserve(size_t{kRows} * kColumns);
    for (int r = 1; r <= kRows; ++r) {
      const size_t i = static_cast<size_t>(r);
      for (int c = 1; c <= kColumns; ++c) {
        std::string s;
        if (c <= 3) {
          s = notes[(i * 7 + c) % notes.size()];
        } else if (c == 4) {
          s.append(subjects[i % subjects.size()])
              .append("は")
              .append(objects[(i / 13) % objects.size()]);
          s.append(verbs[(i / 143) % verbs.size()])
              .append("（")
              .append(std::to_string(r))
              .append("）");
        } else if (c == 5) {
          s.append(answers[(i / 143) % answers.size()]).append(std::to_string(r % 977));
        } else if (c <= 15) {
          s = marks[(i * 31 + c * 7) % marks.size()];
        } else if (c == 16) {
          s = remarks[(i * 3) % remarks.size()];
        } else if (c == 17) {
          s.append(std::to_string(i % 6)).append("回");
        } else {
          s = i % 10 == 0 ? "必出" : "";
        }
        if (s.empty()) s = "－";  // every cell holds text, so the sheet has 1.8 million cells
        t.cells.push_back(std::move(s));
      }
    }
    return t;
  }();
  return texts;
}

void Fill(const Range& cells) {
  const SheetText& t = Texts();
  for (int r = 1; r <= kRows; ++r) {
    for (int c = 1; c <= kColumns; ++c) cells.Cells(r, c).SetText(t.At(r, c));
  }
}

struct FilledBook {
  Application app;
  Worksheet* sheet;
  FilledBook() {
    sheet = &app.Workbooks().Add().Sheet(1);
    Fill(Range::All(*sheet));
  }
};

FilledBook& Filled() {
  static FilledBook book;
  return book;
}

void BM_TypeSheet(benchmark::State& state) {
  Texts();
  for (auto _ : state) {
    state.PauseTiming();
    auto app = std::make_unique<Application>();
    Worksheet& sheet = app->Workbooks().Add().Sheet(1);
    state.ResumeTiming();
    Fill(Range::All(sheet));
    benchmark::DoNotOptimize(sheet.cells().CellCount());
    state.PauseTiming();
    app.reset();
    state.ResumeTiming();
  }
  state.counters["cells"] = kRows * kColumns;
}

void BM_ReadBackValues(benchmark::State& state) {
  const Range cells = Range::All(*Filled().sheet);
  for (auto _ : state) {
    size_t bytes = 0;
    for (int r = 1; r <= kRows; ++r) {
      for (int c = 1; c <= kColumns; ++c) bytes += cells.Cells(r, c).Value().text.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void BM_ReadBackText(benchmark::State& state) {
  const Range cells = Range::All(*Filled().sheet);
  for (auto _ : state) {
    size_t bytes = 0;
    for (int r = 1; r <= kRows; ++r) {
      for (int c = 1; c <= kColumns; ++c) bytes += cells.Cells(r, c).Text().size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}

// As the add-in counts questions: the displayed text of D, row by row, until the first empty one.
void BM_WalkColumnD(benchmark::State& state) {
  const Range cells = Range::All(*Filled().sheet);
  for (auto _ : state) {
    int32_t row = 1;
    while (!cells.Cells(row, 4).Text().empty()) ++row;
    benchmark::DoNotOptimize(row);
  }
}

size_t HeapInUse() {
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

void BM_SheetMemory(benchmark::State& state) {
  Texts();
  for (auto _ : state) {
    malloc_trim(0);
    const size_t before = HeapInUse();
    auto app = std::make_unique<Application>();
    Worksheet& sheet = app->Workbooks().Add().Sheet(1);
    Fill(Range::All(sheet));
    const size_t used = HeapInUse() - before;
    state.counters["MB"] = static_cast<double>(used) / (1024 * 1024);
    state.counters["bytes_per_cell"] = static_cast<double>(used) / (double(kRows) * kColumns);
    state.counters["unique_strings"] = static_cast<double>(sheet.strings().size());
  }
}

BENCHMARK(BM_TypeSheet)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadBackValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBackText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkColumnD)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SheetMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tessarin::host

BENCHMARK_MAIN();
