// The kanji level tables, compiled in from the data folder at build time.
#include "core/reports/kanji_tables.h"

#include <array>
#include <cassert>

namespace tessarin::reports {
namespace {

constexpr std::array<std::string_view, kLevelCount> kTables = {
#include "kanji_tables_data.inc"
};

// Characters, not bytes: every byte that does not continue a UTF-8 sequence starts one.
constexpr int32_t CountCharacters(std::string_view text) {
  int32_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

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

}  // namespace tessarin::reports
