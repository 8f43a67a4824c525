// KanjiGrades: classification and the two report views of the grade search.
#include "core/reports/grade_report.h"

#include <cassert>
#include <unordered_set>
#include <vector>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/reports/grade_cp932.h"

namespace tessarin::reports {
namespace {

constexpr std::string_view kSeparator = "、";

// The entry without its last "、" (every entry that is shown ends with one).
std::string_view WithoutLastSeparator(std::string_view entry) {
  if (entry.ends_with(kSeparator)) entry.remove_suffix(kSeparator.size());
  return entry;
}

// The heading line of a level: label, "N字 /M字 [S％]" and the line break.
void AppendHeading(std::string& report, const std::string& label, int32_t hits, int32_t total) {
  report += label;
  report += std::to_string(hits) + "字 /" + std::to_string(total) + "字 [" +
            FormatShare(hits, total) + "％]";
  report += kReportLineBreak;
}

// The members of a table are the only strings it is searched for, so a byte search finds whole
// characters: UTF-8 never matches inside another character.
bool Contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

}  // namespace

std::string LevelLabel(int level) {
  assert(level >= 1 && level <= kLevelCount);
  const std::string test_level = std::to_string(11 - level);
  if (level <= 6)
    return "【小学 " + std::to_string(level) + " 年生で習う漢字】（漢検" + test_level + "級）";
  return "【中学で習う漢字】（漢検" + test_level + "級）";
}

std::string FormatShare(int32_t hits, int32_t total) {
  if (total == 0) throw host::HostError(host::kErrDivisionByZero, "Division by zero");
  assert(hits >= 0 && total > 0);
  // Tenths of a percent, rounded half up in exact integer arithmetic: 1000 * hits / total.
  const int64_t tenths =
      (2000 * static_cast<int64_t>(hits) + total) / (2 * static_cast<int64_t>(total));
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

void KanjiGrades::KanjiTable(int level, const std::string& text, int16_t mode, bool& found) {
  assert(level >= 1 && level <= tables_->LevelCount());
  const std::string_view table = tables_->Text(level);
  if (TotalCount[level] == 0) TotalCount[level] = tables_->Size(level);
  if (mode == 0) {
    if (Contains(table, text)) found = true;
    return;
  }
  std::string missing;
  for (size_t pos = 0; pos < table.size();) {
    const size_t start = pos;
    host::NextCodePoint(table, pos);
    const std::string_view kanji = table.substr(start, pos - start);
    if (!Contains(text, kanji)) {
      missing += kanji;
      missing += kSeparator;
      ++HitCount[level];
    }
  }
  KanjiList[level] = std::move(missing);
}

std::string KanjiGrades::Kanji_Hantei(const std::string& text) {
  // Kanji only, each once, at its first position.
  std::vector<std::string> kanji;
  std::unordered_set<char32_t> seen;
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    const char32_t c = host::NextCodePoint(text, pos);
    if (IsCp932Kanji(c) && seen.insert(c).second)
      kanji.emplace_back(text.substr(start, pos - start));
  }
  HitCount.fill(0);
  TotalCount.fill(0);
  if (kanji.empty()) return std::string(kNoKanjiReport);

  for (const std::string& k : kanji) {
    int level = 0;
    for (int g = 1; g <= tables_->LevelCount() && level == 0; ++g) {
      bool found = false;
      KanjiTable(g, k, 0, found);
      if (found) level = g;
    }
    KanjiList[level] += k;
    KanjiList[level] += kSeparator;
    ++HitCount[level];
  }

  std::string report;
  for (int g = 1; g <= tables_->LevelCount(); ++g) {
    if (KanjiList[g].empty()) continue;
    if (!report.empty()) report += kReportLineBreak;
    AppendHeading(report, tables_->Label(g), HitCount[g], TotalCount[g]);
    report += WithoutLastSeparator(KanjiList[g]);
    report += kReportLineBreak;
  }
  if (!KanjiList[0].empty()) {
    if (!report.empty()) report += kReportLineBreak;
    report += kHighSchoolLabel;
    report += std::to_string(HitCount[0]) + "字";
    report += kReportLineBreak;
    report += WithoutLastSeparator(KanjiList[0]);
  }
  return report;
}

std::string KanjiGrades::NotSetReport() {
  const int levels = tables_->LevelCount();
  for (int g = 1; g <= levels; ++g) {
    std::string& entry = KanjiList[g];
    std::string kept;
    for (size_t at = 0; at < entry.size();) {
      const size_t next = entry.find(kSeparator, at);
      kept.append(entry, at, (next == std::string::npos ? entry.size() : next) - at);
      at = next == std::string::npos ? entry.size() : next + kSeparator.size();
    }
    entry = std::move(kept);
    HitCount[g] = 0;
    TotalCount[g] = 0;
  }
  for (int g = 1; g <= levels; ++g) {
    bool found = false;
    KanjiTable(g, std::string(KanjiList[g]), 1, found);
  }

  std::string report;
  for (int g = 1; g <= levels; ++g) {
    if (KanjiList[g].empty()) KanjiList[g] = kNothingMissing;
    if (!report.empty()) report += kReportLineBreak;
    AppendHeading(report, tables_->Label(g), HitCount[g], TotalCount[g]);
    if (KanjiList[g] == kNothingMissing) {
      report += kAllCoveredLine;
    } else {
      report += WithoutLastSeparator(KanjiList[g]);
    }
    report += kReportLineBreak;
  }
  return report;
}

void KanjiGrades::Clear() {
  for (std::string& entry : KanjiList) entry.clear();
  HitCount.fill(0);
  TotalCount.fill(0);
}

}  // namespace tessarin::reports
