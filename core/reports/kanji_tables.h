// The kanji level tables of the grade search. The 1989 set is compiled in: grades 1 to 6 of the
// 1989 school allocation and three secondary-school blocks of the other jouyou kanji, each in
// its reading order. The 2020 set (kanjidic_tables.h) is read from the machine at run time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::reports {

// Levels are numbered 1 to kLevelCount at most; 0 stands for "in no table".
inline constexpr int kLevelCount = 9;

// The kanji of 1989 table `level` (1..9) as UTF-8, one after the other with nothing between
// them. The text lives for the whole program. Precondition: 1 <= level <= kLevelCount.
std::string_view KanjiTableText(int level);

// The number of kanji in 1989 table `level` (80, 160, 200, 200, 185, 181, 316, 286, 337).
int32_t KanjiTableSize(int level);

// The school allocations a grade search can classify by.
enum class GradeAllocation { k1989, k2020 };

// One allocation's level tables: level 1..LevelCount(), each with its kanji, size and report
// label. No kanji is in two tables. Immutable once built.
class KanjiTableSet {
 public:
  struct Level {
    std::string kanji;  // UTF-8, nothing between the kanji
    int32_t size = 0;   // in characters
    std::string label;  // the report's heading, "【小学 1 年生で習う漢字】（漢検10級）"
  };
  explicit KanjiTableSet(std::vector<Level> levels);

  int LevelCount() const { return static_cast<int>(levels_.size()); }
  // Preconditions: 1 <= level <= LevelCount().
  std::string_view Text(int level) const { return levels_[level - 1].kanji; }
  int32_t Size(int level) const { return levels_[level - 1].size; }
  const std::string& Label(int level) const { return levels_[level - 1].label; }

 private:
  std::vector<Level> levels_;
};

// The compiled-in 1989 tables with their labels (LevelLabel).
const KanjiTableSet& Tables1989();

// Characters, not bytes, of UTF-8 text: every byte that does not continue a sequence starts one.
constexpr int32_t CountCharacters(std::string_view text) {
  int32_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace tessarin::reports
