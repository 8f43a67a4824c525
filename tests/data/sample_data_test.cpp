// Checks the sample question list that the build turns into the sample workbook.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/host_error.h"

namespace tessarin::data {
namespace {

using host::HostError;

constexpr char kSamplePath[] = TESSARIN_SOURCE_DIR "/data/sample_questions.tsv";
constexpr char kGradeTablePath[] = TESSARIN_SOURCE_DIR "/data/kanji-grades-1989.txt";

constexpr int kGrades = 6;
constexpr int kQuestionsPerGrade = 40;

// Columns of the file: the school grade, then the question sheet's columns A to R.
enum Column : int {
  kGrade = 0,
  kBook,                       // A
  kUnit,                       // B
  kPage,                       // C
  kQuestion,                   // D
  kAnswer,                     // E
  kFirstMark,                  // F
  kLastMark = kFirstMark + 9,  // O
  kRemark,                     // P
  kTimesSet,                   // Q
  kMustAppear,                 // R
  kColumnCount
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw HostError(host::kErrFileNotFound, "cannot open " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Code points of UTF-8 text; a malformed sequence is a fault of the file, not something to skip.
std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80           ? 0
                : (lead >> 5) == 0x6  ? 1
                : (lead >> 4) == 0xE  ? 2
                : (lead >> 3) == 0x1E ? 3
                                      : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
      throw HostError(host::kErrInvalidProcedureCall,
                      "malformed UTF-8 at byte " + std::to_string(i));
    }
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        throw HostError(host::kErrInvalidProcedureCall,
                        "malformed UTF-8 at byte " + std::to_string(i + k));
      }
      cp = (cp << 6) | (next & 0x3F);
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

// Full-width katakana with the long vowel mark, and the half-width forms; the middle dot
// U+30FB is punctuation, not part of a reading.
bool IsKatakana(char32_t cp) {
  return (cp >= U'\u30A1' && cp <= U'\u30FA') || cp == U'\u30FC' ||
         (cp >= U'\uFF66' && cp <= U'\uFF9D');
}

std::vector<std::u32string> KatakanaRuns(std::string_view text) {
  std::vector<std::u32string> runs;
  bool in_run = false;
  for (char32_t cp : DecodeUtf8(text)) {
    if (IsKatakana(cp)) {
      if (!in_run) runs.emplace_back();
      runs.back().push_back(cp);
    }
    in_run = IsKatakana(cp);
  }
  return runs;
}

// Kanji to the grade that teaches them, one line of the table per grade.
class GradeTable {
 public:
  static const GradeTable& Get() {
    static const GradeTable table(ReadFile(kGradeTablePath));
    return table;
  }

  int grades() const { return grades_; }
  size_t size() const { return grade_of_.size(); }
  // Kanji taught in `grade` (a kanji listed twice counts where it first appears).
  size_t CountIn(int grade) const {
    return static_cast<size_t>(
        std::count_if(grade_of_.begin(), grade_of_.end(),
                      [grade](const auto& entry) { return entry.second == grade; }));
  }

  // 0 when the kanji is in no grade.
  int GradeOf(char32_t kanji) const {
    auto it = grade_of_.find(kanji);
    return it == grade_of_.end() ? 0 : it->second;
  }

  // The first code point of `answer` that a learner of `grade` has not been taught
  // (kana and other letters included), or 0 when every one is taught by then.
  char32_t FirstUntaught(std::string_view answer, int grade) const {
    for (char32_t cp : DecodeUtf8(answer)) {
      int taught = GradeOf(cp);
      if (taught == 0 || taught > grade) return cp;
    }
    return 0;
  }

 private:
  explicit GradeTable(const std::string& text) {
    for (const std::string& line : Split(text, '\n')) {
      std::u32string kanji = DecodeUtf8(line);
      if (kanji.empty()) continue;
      ++grades_;
      for (char32_t cp : kanji) grade_of_.emplace(cp, grades_);
    }
  }

  int grades_ = 0;
  std::map<char32_t, int> grade_of_;
};

std::string Utf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

bool IsWrongAnswerMark(const std::string& cell) {
  return cell == "X" || cell == "x" || cell == "Ｘ";
}

bool IsExclusionMarker(const std::string& cell) {
  static const std::set<std::string> kMarkers = {"S",  "s",  "Ｓ", "E",  "e",
                                                 "Ｅ", "除", "止", "修", "外"};
  return kMarkers.count(cell) > 0;
}

struct Row {
  int line;  // 1-based line of the file
  std::vector<std::string> cells;
};

struct SampleFile {
  std::vector<std::string> header;
  std::vector<Row> rows;
};

const SampleFile& Sample() {
  static const SampleFile sample = [] {
    SampleFile file;
    std::vector<std::string> lines = Split(ReadFile(kSamplePath), '\n');
    // A final newline leaves one empty piece; blank lines elsewhere are rows with too few cells.
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) return file;
    file.header = Split(lines[0], '\t');
    for (size_t i = 1; i < lines.size(); ++i) {
      file.rows.push_back({static_cast<int>(i + 1), Split(lines[i], '\t')});
    }
    return file;
  }();
  return sample;
}

// Only rows with every column, so a short row fails its own test and not every other one.
std::vector<const Row*> FullRows() {
  std::vector<const Row*> rows;
  for (const Row& row : Sample().rows) {
    if (row.cells.size() == kColumnCount) rows.push_back(&row);
  }
  return rows;
}

bool ParseNumber(const std::string& text, int* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

TEST(SampleChecks, KatakanaRunsAreSplitByOtherLetters) {
  EXPECT_EQ(KatakanaRuns("ジュギョウが始まる。"), std::vector<std::u32string>{U"ジュギョウ"});
  EXPECT_EQ(KatakanaRuns("テストがオわる。").size(), 2u);
  EXPECT_EQ(KatakanaRuns("ﾔﾏにのぼる。").size(), 1u);
  EXPECT_TRUE(KatakanaRuns("やまにのぼる・山。").empty());
}

TEST(SampleChecks, MalformedUtf8IsRefused) {
  EXPECT_THROW(DecodeUtf8("\xE5\xB1"), HostError);      // cut short at the end
  EXPECT_THROW(DecodeUtf8("\xE5\x41\x41"), HostError);  // continuation byte missing
  EXPECT_THROW(DecodeUtf8("\xFF"), HostError);
  EXPECT_EQ(DecodeUtf8("山a"), U"山a");
}

// The 1989 allocation: 1,006 kanji over six grades, none of them in two grades.
TEST(GradeTable, HoldsTheKanjiOfEachGradeOnItsOwnLine) {
  const GradeTable& table = GradeTable::Get();
  ASSERT_EQ(table.grades(), kGrades);
  const std::array<size_t, kGrades> expected = {80, 160, 200, 200, 185, 181};
  for (int grade = 1; grade <= kGrades; ++grade) {
    EXPECT_EQ(table.CountIn(grade), expected[grade - 1]) << "grade " << grade;
  }
  size_t listed = 0;
  for (const std::string& line : Split(ReadFile(kGradeTablePath), '\n'))
    listed += DecodeUtf8(line).size();
  EXPECT_EQ(listed, table.size()) << "a kanji is listed twice";
}

TEST(SampleChecks, GradeTableCountsTaughtKanjiUpToTheGrade) {
  const GradeTable& table = GradeTable::Get();
  ASSERT_EQ(table.grades(), kGrades);
  EXPECT_EQ(table.size(), 1006u);
  EXPECT_EQ(table.GradeOf(U'山'), 1);
  EXPECT_EQ(table.FirstUntaught("授業", 4), U'授');
  EXPECT_EQ(table.FirstUntaught("授業", 5), 0u);
  EXPECT_EQ(table.FirstUntaught("始まる", 6), U'ま');
}

TEST(SampleQuestions, HeaderNamesGradeAndSheetColumns) {
  std::vector<std::string> expected = {"grade"};
  for (char column = 'A'; column <= 'R'; ++column) expected.emplace_back(1, column);
  EXPECT_EQ(Sample().header, expected);
}

TEST(SampleQuestions, EveryLineHasEveryColumn) {
  ASSERT_FALSE(Sample().rows.empty());
  for (const Row& row : Sample().rows) {
    EXPECT_EQ(row.cells.size(), static_cast<size_t>(kColumnCount)) << "line " << row.line;
    for (const std::string& cell : row.cells) {
      EXPECT_NO_THROW(DecodeUtf8(cell)) << "line " << row.line;
      EXPECT_EQ(cell.find('\r'), std::string::npos) << "line " << row.line;
    }
  }
}

TEST(SampleQuestions, EnoughQuestionsForEveryGradeInGradeOrder) {
  std::array<int, kGrades + 1> per_grade{};
  int previous = 1;
  for (const Row* row : FullRows()) {
    int grade = 0;
    ASSERT_TRUE(ParseNumber(row->cells[kGrade], &grade) && grade >= 1 && grade <= kGrades)
        << "line " << row->line << ": grade \"" << row->cells[kGrade] << "\"";
    EXPECT_GE(grade, previous) << "line " << row->line;
    previous = grade;
    ++per_grade[grade];
  }
  for (int grade = 1; grade <= kGrades; ++grade) {
    EXPECT_GE(per_grade[grade], kQuestionsPerGrade) << "grade " << grade;
  }
}

TEST(SampleQuestions, AnswerKanjiAreTaughtByTheQuestionsGrade) {
  const GradeTable& table = GradeTable::Get();
  for (const Row* row : FullRows()) {
    int grade = 0;
    if (!ParseNumber(row->cells[kGrade], &grade)) continue;  // reported by the grade test
    const std::string& answer = row->cells[kAnswer];
    EXPECT_FALSE(answer.empty()) << "line " << row->line;
    char32_t untaught = table.FirstUntaught(answer, grade);
    EXPECT_EQ(untaught, 0u) << "line " << row->line << ": " << answer << " has " << Utf8(untaught)
                            << ", not taught by grade " << grade;
  }
}

TEST(SampleQuestions, QuestionIsASentenceWithOneKatakanaReading) {
  for (const Row* row : FullRows()) {
    const std::string& question = row->cells[kQuestion];
    std::vector<std::u32string> runs = KatakanaRuns(question);
    EXPECT_EQ(runs.size(), 1u) << "line " << row->line << ": " << question;
    std::u32string text = DecodeUtf8(question);
    EXPECT_TRUE(!text.empty() && text.back() == U'。') << "line " << row->line;
  }
}

TEST(SampleQuestions, MarksFillFromFWithoutGapsAndExclusionComesLast) {
  for (const Row* row : FullRows()) {
    bool gap = false;
    bool excluded = false;
    for (int column = kFirstMark; column <= kLastMark; ++column) {
      const std::string& cell = row->cells[column];
      char letter = static_cast<char>('A' + column - kBook);
      if (cell.empty()) {
        gap = true;
        continue;
      }
      EXPECT_FALSE(gap) << "line " << row->line << ": mark in " << letter << " after a gap";
      bool wrong = IsWrongAnswerMark(cell);
      EXPECT_TRUE(wrong || IsExclusionMarker(cell))
          << "line " << row->line << ": \"" << cell << "\" in " << letter;
      EXPECT_FALSE(wrong && excluded)
          << "line " << row->line << ": wrong-answer mark after the exclusion in " << letter;
      excluded = excluded || !wrong;
    }
  }
}

TEST(SampleQuestions, TimesSetCoversTheWrongAnswerMarks) {
  for (const Row* row : FullRows()) {
    int times = -1;
    ASSERT_TRUE(ParseNumber(row->cells[kTimesSet], &times) && times >= 0)
        << "line " << row->line << ": Q \"" << row->cells[kTimesSet] << "\"";
    int wrong = static_cast<int>(std::count_if(
        row->cells.begin() + kFirstMark, row->cells.begin() + kLastMark + 1, IsWrongAnswerMark));
    EXPECT_GE(times, wrong) << "line " << row->line;
  }
}

TEST(SampleQuestions, MustAppearCellIsEmptyOrTheMarker) {
  for (const Row* row : FullRows()) {
    const std::string& cell = row->cells[kMustAppear];
    EXPECT_TRUE(cell.empty() || cell == "必出") << "line " << row->line << ": \"" << cell << "\"";
  }
}

// The sheet finds a question by its text, so a repeated text would hide the lower row.
TEST(SampleQuestions, NoQuestionTextRepeats) {
  std::map<std::string, int> first_line;
  for (const Row* row : FullRows()) {
    auto [it, inserted] = first_line.emplace(row->cells[kQuestion], row->line);
    EXPECT_TRUE(inserted) << "line " << row->line << " repeats line " << it->second;
  }
}

}  // namespace
}  // namespace tessarin::data
