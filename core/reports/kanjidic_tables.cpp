// KANJIDIC2 reading: only the literal and grade of each character, straight from the text.
#include "core/reports/kanjidic_tables.h"

#include <zlib.h>

#include <array>
#include <memory>
#include <mutex>

#include "core/host/host_error.h"
#include "core/reports/grade_report.h"

namespace tessarin::reports {
namespace {

constexpr std::string_view kLiteralOpen = "<literal>";
constexpr std::string_view kLiteralClose = "</literal>";
constexpr std::string_view kGradeOpen = "<grade>";
// The grade fields that make the levels: 1 to 6, then 8 (the rest of the jouyou kanji).
constexpr std::array<int, 7> kGradeOfLevel = {1, 2, 3, 4, 5, 6, 8};

[[noreturn]] void NotKanjidic(const std::string& path, const std::string& why) {
  throw host::HostError(
      host::kErrApplicationDefined,
      path + " is not a KANJIDIC2 file the grade tables can be read from: " + why);
}

// The whole file, inflated when it is gzip-compressed (zlib reads a plain file as it is).
std::string ReadAll(const std::string& path) {
  std::unique_ptr<gzFile_s, int (*)(gzFile)> file(gzopen(path.c_str(), "rb"), gzclose);
  if (!file) {
    throw host::HostError(host::kErrFileNotFound,
                          "cannot open " + path + " (the kanjidic-xml package provides it)");
  }
  gzbuffer(file.get(), 1 << 17);
  std::string text;
  // KANJIDIC2 inflates to about 15 MB; reading in large blocks keeps the copies few.
  constexpr size_t kBlock = 1 << 20;
  for (;;) {
    const size_t at = text.size();
    text.resize(at + kBlock);
    const int n = gzread(file.get(), text.data() + at, kBlock);
    if (n < 0) {
      int code = 0;
      NotKanjidic(path, gzerror(file.get(), &code));
    }
    text.resize(at + static_cast<size_t>(n));
    if (n == 0) break;
  }
  return text;
}

// The grade after `at` (just past "<grade>"), or 0 when no number stands there.
int GradeAt(std::string_view text, size_t at) {
  int grade = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && grade < 100; ++at)
    grade = grade * 10 + (text[at] - '0');
  return grade;
}

}  // namespace

KanjiTableSet ReadKanjidicTables(const std::string& path) {
  const std::string text = ReadAll(path);
  if (text.find("<kanjidic2>") == std::string::npos) NotKanjidic(path, "no <kanjidic2> element");

  std::array<KanjiTableSet::Level, kGradeOfLevel.size()> levels;
  // A character's grade, when it has one, stands after its literal and before the next one.
  size_t next = text.find(kLiteralOpen);
  while (next != std::string::npos) {
    const size_t start = next + kLiteralOpen.size();
    const size_t end = text.find(kLiteralClose, start);
    if (end == std::string::npos) NotKanjidic(path, "a <literal> is not closed");
    next = text.find(kLiteralOpen, end);
    // Only this character's own text is searched: most characters have no grade, and a search
    // running on to the next grade would cross thousands of them.
    const std::string_view entry =
        std::string_view(text).substr(end, next == std::string::npos ? next : next - end);
    const size_t grade_at = entry.find(kGradeOpen);
    if (grade_at == std::string_view::npos) continue;
    const int grade = GradeAt(entry, grade_at + kGradeOpen.size());
    for (size_t i = 0; i < kGradeOfLevel.size(); ++i) {
      if (kGradeOfLevel[i] == grade) levels[i].kanji.append(text, start, end - start);
    }
  }
  std::vector<KanjiTableSet::Level> out;
  for (size_t i = 0; i < levels.size(); ++i) {
    KanjiTableSet::Level& level = levels[i];
    if (level.kanji.empty())
      NotKanjidic(path, "no kanji of grade " + std::to_string(kGradeOfLevel[i]));
    level.size = CountCharacters(level.kanji);
    level.label = i < 6 ? LevelLabel(static_cast<int>(i) + 1) : std::string(kSecondary2020Label);
    out.push_back(std::move(level));
  }
  return KanjiTableSet(std::move(out));
}

const KanjiTableSet& Tables2020() {
  static std::mutex mutex;
  static std::unique_ptr<const KanjiTableSet> tables;
  std::lock_guard lock(mutex);
  if (!tables) {
    tables = std::make_unique<const KanjiTableSet>(ReadKanjidicTables(std::string(kKanjidicPath)));
  }
  return *tables;
}

const KanjiTableSet& TablesFor(GradeAllocation allocation) {
  return allocation == GradeAllocation::k2020 ? Tables2020() : Tables1989();
}

}  // namespace tessarin::reports
