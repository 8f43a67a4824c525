// Tests of the 2020 level tables: the installed KANJIDIC2 and small hand-made files.
#include "core/reports/kanjidic_tables.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/reports/grade_report.h"
#include "tests/support/temp_home.h"

namespace tessarin::reports {
namespace {

// One <character> entry as KANJIDIC2 writes it; grade 0 leaves the grade out.
std::string Character(std::string_view literal, int grade) {
  std::string out = "<character>\n<literal>" + std::string(literal) + "</literal>\n<misc>\n";
  if (grade != 0) out += "<grade>" + std::to_string(grade) + "</grade>\n";
  return out + "<stroke_count>3</stroke_count>\n</misc>\n</character>\n";
}

// A file with one kanji of every level, plus one of grade 9 and one without a grade.
std::string SmallKanjidic(bool with_grade_8 = true) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!ELEMENT grade (#PCDATA)>\n<kanjidic2>\n";
  const char* kanji[] = {"一", "引", "悪", "愛", "圧", "異"};
  for (int g = 1; g <= 6; ++g) xml += Character(kanji[g - 1], g);
  xml += Character("亜", with_grade_8 ? 8 : 9) + Character("丑", 9) + Character("乂", 0);
  xml += Character("岡", 4);
  return xml + "</kanjidic2>\n";
}

class KanjidicFile : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text, bool gzip) {
    const std::string path = (folder_ / name).string();
    if (gzip) {
      gzFile file = gzopen(path.c_str(), "wb");
      gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
      gzclose(file);
    } else {
      std::ofstream(path) << text;
    }
    return path;
  }
  testing::TempHome temp_;
  std::filesystem::path folder_{temp_.path()};
};

TEST_F(KanjidicFile, GradesOneToSixThenEightInFileOrderCompressedOrNot) {
  for (bool gzip : {true, false}) {
    SCOPED_TRACE(gzip);
    const KanjiTableSet tables = ReadKanjidicTables(Write("k.xml.gz", SmallKanjidic(), gzip));
    ASSERT_EQ(tables.LevelCount(), 7);
    EXPECT_EQ(tables.Text(4), "愛岡");
    EXPECT_EQ(tables.Size(4), 2);
    EXPECT_EQ(tables.Text(7), "亜");  // grade 9 and no grade are in no level
    EXPECT_EQ(tables.Label(1), LevelLabel(1));
    EXPECT_EQ(tables.Label(7), kSecondary2020Label);
  }
}

TEST_F(KanjidicFile, MissingOrForeignFilesAreClearErrors) {
  try {
    ReadKanjidicTables((folder_ / "none.xml.gz").string());
    FAIL() << "no error";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrFileNotFound);
    EXPECT_NE(e.description().find("kanjidic-xml"), std::string::npos) << e.description();
  }
  for (const std::string& text : {std::string("<html>not it</html>"), SmallKanjidic(false),
                                  std::string("<kanjidic2><literal>一")}) {
    try {
      ReadKanjidicTables(Write("bad.xml", text, false));
      FAIL() << text;
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), host::kErrApplicationDefined) << text;
    }
  }
}

// The allocation as the installed package gives it; the package is a dependency of the program.
TEST(Tables2020, CountsOfTheInstalledAllocation) {
  ASSERT_TRUE(std::filesystem::exists(kKanjidicPath))
      << "install kanjidic-xml (scripts/install-deps.sh)";
  const KanjiTableSet& tables = Tables2020();
  ASSERT_EQ(tables.LevelCount(), 7);
  const int32_t sizes[] = {80, 160, 200, 202, 193, 191, 1110};
  int32_t elementary = 0;
  std::set<char32_t> all;
  for (int g = 1; g <= 7; ++g) {
    SCOPED_TRACE(g);
    EXPECT_EQ(tables.Size(g), sizes[g - 1]);
    const std::vector<char32_t> kanji = host::CodePoints(tables.Text(g));
    EXPECT_EQ(static_cast<int32_t>(kanji.size()), sizes[g - 1]);
    all.insert(kanji.begin(), kanji.end());
    if (g <= 6) elementary += tables.Size(g);
  }
  EXPECT_EQ(elementary, 1026);
  EXPECT_EQ(all.size(), 2136u);
  // Prefecture kanji came into grade 4 in 2020.
  for (const char* kanji : {"岡", "茨", "阪"}) {
    EXPECT_NE(tables.Text(4).find(kanji), std::string_view::npos) << kanji;
  }
  EXPECT_EQ(&TablesFor(GradeAllocation::k2020), &tables);  // read once
}

TEST(Tables2020, ClassifyByTheNewGradesAndTheSecondaryLevel) {
  KanjiGrades grades;
  EXPECT_NE(grades.Kanji_Hantei("岡").find(kHighSchoolLabel), std::string::npos);
  grades.Clear();
  grades.set_tables(Tables2020());
  EXPECT_EQ(grades.Kanji_Hantei("岡亜"),
            "【小学 4 年生で習う漢字】（漢検7級）1字 /202字 [0.5％]\r\n岡\r\n\r\n"
            "【中学で習う漢字】（漢検4級～2級）1字 /1110字 [0.1％]\r\n亜\r\n");
  const std::string missing = grades.NotSetReport();
  EXPECT_NE(missing.find("（漢検4級～2級）1109字 /1110字 [99.9％]"), std::string::npos);
  EXPECT_EQ(missing.find("漢検3級"), std::string::npos);  // seven levels only
}

}  // namespace
}  // namespace tessarin::reports
