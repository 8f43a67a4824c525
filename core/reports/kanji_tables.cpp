// The kanji level tables, compiled in from the data folder at build time.
#include "core/reports/kanji_tables.h"

#include <cassert>

#include "core/reports/grade_report.h"

namespace tessarin::reports {
namespace {

constexpr std::array<std::string_view, kLevelCount> kTables = {
#include "kanji_tables_data.inc"
};

constexpr std::array<int32_t, kLevelCount> kSizes = [] {
  std::array<int32_t, kLevelCount> sizes{};
  for (int i = 0; i < kLevelCount; ++i) sizes[i] = CountCharacters(kTables[i]);
  return sizes;
}();

}  // namespace

std::string_view KanjiTableText(int level) {
  assert(level >= 1 && level <= kLevelCount);
  return kTables[level - 1];
}

int32_t KanjiTableSize(int level) {
  assert(level >= 1 && level <= kLevelCount);
  return kSizes[level - 1];
}

KanjiTableSet::KanjiTableSet(std::vector<Level> levels) : levels_(std::move(levels)) {
  assert(!levels_.empty() && static_cast<int>(levels_.size()) <= kLevelCount);
}

const KanjiTableSet& Tables1989() {
  static const KanjiTableSet tables = [] {
    std::vector<KanjiTableSet::Level> levels;
    for (int g = 1; g <= kLevelCount; ++g) {
      levels.push_back({std::string(KanjiTableText(g)), KanjiTableSize(g), LevelLabel(g)});
    }
    return KanjiTableSet(std::move(levels));
  }();
  return tables;
}

}  // namespace tessarin::reports
