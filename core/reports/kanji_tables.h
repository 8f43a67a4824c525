// The nine kanji level tables of the grade search: grades 1 to 6 of the 1989 school allocation
// and three secondary-school blocks of the other jouyou kanji, each in its reading order.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessarin::reports {

// Levels are numbered 1 to 9; 0 stands for "in no table".
inline constexpr int kLevelCount = 9;

// The kanji of table `level` (1..9) as UTF-8, one after the other with nothing between them.
// The text lives for the whole program. Precondition: 1 <= level <= kLevelCount.
std::string_view KanjiTableText(int level);

// The number of kanji in table `level` (80, 160, 200, 200, 185, 181, 316, 286, 337).
int32_t KanjiTableSize(int level);

}  // namespace tessarin::reports
