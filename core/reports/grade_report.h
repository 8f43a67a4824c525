// KanjiGrades: the grade search's classification and its two report views ("set": the kanji a
// text uses, level by level; "not set": the kanji of each level it does not use yet).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/reports/kanji_tables.h"

namespace tessarin::reports {

// The line break of the reports (the text box's own: carriage return and line feed).
inline constexpr std::string_view kReportLineBreak = "\r\n";
// The report of a text without kanji.
inline constexpr std::string_view kNoKanjiReport = "漢字が含まれていません。";
// The heading of the group of kanji that are in no table.
inline constexpr std::string_view kHighSchoolLabel = "【高校で習う漢字】";
// The "not set" view's line for a level whose kanji all occur.
inline constexpr std::string_view kAllCoveredLine = "すべて網羅されています。";
// What a "not set" entry holds when nothing of the level is missing.
inline constexpr std::string_view kNothingMissing = "NG";

// "【小学 1 年生で習う漢字】（漢検10級）" for levels 1..6, "【中学で習う漢字】（漢検4級）"
// for 7..9. Precondition: 1 <= level <= kLevelCount.
std::string LevelLabel(int level);

// 100 * hits / total as the pattern "#0.0" shows it: at least one integer digit, one decimal,
// halves rounded up ("2.5", "0.0", "100.0", 1 of 80 is "1.3"). Throws HostError 11 (division
// by zero) when total is 0. Precondition: hits >= 0.
std::string FormatShare(int32_t hits, int32_t total);

// The state of one grade search, indexed 0 (no table) to 9, and its operations. Names are the
// dialog's own: KanjiList entries hold kanji each followed by "、".
class KanjiGrades {
 public:
  // The tables the operations use: the 1989 allocation until set_tables. `tables` must outlive
  // its use; levels beyond its LevelCount() stay empty.
  const KanjiTableSet& tables() const { return *tables_; }
  void set_tables(const KanjiTableSet& tables) { tables_ = &tables; }

  std::array<std::string, kLevelCount + 1> KanjiList;
  std::array<int32_t, kLevelCount + 1> HitCount{};
  std::array<int32_t, kLevelCount + 1> TotalCount{};

  // Table `level` (1..tables().LevelCount()). Every call first sets TotalCount[level] to the
  // table's size when it is 0. Mode 0: `found` becomes true when `text` occurs in the table (used
  // with one kanji). Any other mode: KanjiList[level] becomes the kanji of the table that do not
  // occur in `text`, in table order, each followed by "、", and each is counted into
  // HitCount[level]; `found` is left false.
  void KanjiTable(int level, const std::string& text, int16_t mode, bool& found);
  void KanjiTable1(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(1, text, mode, found);
  }
  void KanjiTable2(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(2, text, mode, found);
  }
  void KanjiTable3(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(3, text, mode, found);
  }
  void KanjiTable4(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(4, text, mode, found);
  }
  void KanjiTable5(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(5, text, mode, found);
  }
  void KanjiTable6(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(6, text, mode, found);
  }
  void KanjiTable7(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(7, text, mode, found);
  }
  void KanjiTable8(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(8, text, mode, found);
  }
  void KanjiTable9(const std::string& text, int16_t mode, bool& found) {
    KanjiTable(9, text, mode, found);
  }

  // The classification: keeps the kanji of `text` (IsCp932Kanji) in text order, each once at
  // its first position, zeroes HitCount and TotalCount (not KanjiList), files each kanji under
  // the first table that holds it (or 0) and returns the "set" report: per level that has
  // kanji its label, "N字 /M字 [S％]", the kanji separated by "、"; the levels separated by a
  // blank line; then the kanji of no table under kHighSchoolLabel with their count. A text
  // without kanji gives kNoKanjiReport. Malformed UTF-8 bytes count as characters the code
  // page lacks. Throws HostError 11 when a level that lists kanji has TotalCount 0, which only
  // a KanjiList left over from an earlier classification can cause.
  std::string Kanji_Hantei(const std::string& text);

  // The "not set" view, from the lists of the last classification: every level of the tables with
  // the kanji of its table that the text lacks (or kAllCoveredLine), how many, and their share.
  // Leaves KanjiList[level] holding the missing kanji (or kNothingMissing) and HitCount and
  // TotalCount their counts.
  std::string NotSetReport();

  // Every entry empty or 0.
  void Clear();

 private:
  const KanjiTableSet* tables_ = &Tables1989();
};

}  // namespace tessarin::reports
