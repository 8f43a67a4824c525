// The recent-file list: moving a path to the front, and what gets written.
#include <gtest/gtest.h>

#include "core/workbook/file_selection.h"
#include "tests/workbook/test_env.h"

namespace tessarin::workbook {
namespace {

using testing::ScriptedHost;
using testing::TempHome;

std::string Ini(std::initializer_list<std::pair<int, std::string>> entries) {
  std::string text;
  for (const auto& [n, path] : entries) text += "PATH" + std::to_string(n) + ":" + path + "\r\n";
  return text;
}

struct HistoryCase {
  std::string before;
  std::string path;
  std::string key;
  std::string after;
};

void PrintTo(const HistoryCase& c, std::ostream* os) {
  *os << c.path << " into {" << c.before << "}";
}

class UpdateFileHistoryTest : public ::testing::TestWithParam<HistoryCase> {};

TEST_P(UpdateFileHistoryTest, WritesTheMovedEntriesOnly) {
  TempHome home;
  ScriptedHost host;
  const HistoryCase& c = GetParam();
  if (!c.before.empty()) home.WriteIni(c.before);
  EXPECT_EQ(UpdateFileHistory(host.module, c.path), c.key);
  if (c.after.empty()) {
    EXPECT_FALSE(home.IniExists());
  } else {
    EXPECT_EQ(home.ReadIni(), c.after);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, UpdateFileHistoryTest,
    ::testing::Values(
        // Not in the list: the filled entries move down as far as they are filled.
        HistoryCase{"", "/d/new.xlsx", "PATH1", ""},
        HistoryCase{Ini({{1, "/d/a.xlsx"}}), "/d/new.xlsx", "PATH1",
                    Ini({{1, "/d/a.xlsx"}, {2, "/d/a.xlsx"}})},
        HistoryCase{Ini({{1, "/d/a"}, {2, "/d/b"}}), "/n", "PATH1",
                    Ini({{1, "/d/a"}, {2, "/d/a"}, {3, "/d/b"}})},
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}}), "/n", "PATH1",
                    Ini({{1, "/a"}, {2, "/a"}, {3, "/b"}, {4, "/c"}})},
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}, {4, "/d"}}), "/n", "PATH1",
                    Ini({{1, "/a"}, {2, "/a"}, {3, "/b"}, {4, "/c"}, {5, "/d"}})},
        // A full list pushes the fifth entry out.
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}, {4, "/d"}, {5, "/e"}}), "/n", "PATH1",
                    Ini({{1, "/a"}, {2, "/a"}, {3, "/b"}, {4, "/c"}, {5, "/d"}})},
        // Already first: nothing written at all.
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}}), "/a", "NoSave", Ini({{1, "/a"}, {2, "/b"}})},
        // Second: the first two swap and nothing more is written.
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}}), "/b", "NoSave",
                    Ini({{1, "/b"}, {2, "/a"}, {3, "/c"}})},
        // Fourth: it goes first and the three above it move down.
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}, {4, "/d"}, {5, "/e"}}), "/d", "NoSave",
                    Ini({{1, "/d"}, {2, "/a"}, {3, "/b"}, {4, "/c"}, {5, "/e"}})},
        // Fifth.
        HistoryCase{Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}, {4, "/d"}, {5, "/e"}}), "/e", "NoSave",
                    Ini({{1, "/e"}, {2, "/a"}, {3, "/b"}, {4, "/c"}, {5, "/d"}})},
        // Comparison is exact: another case is another file.
        HistoryCase{Ini({{1, "/A"}}), "/a", "PATH1", Ini({{1, "/A"}, {2, "/A"}})}),
    [](const ::testing::TestParamInfo<HistoryCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(UpdateFileHistory, GapStopsTheMoveDown) {
  TempHome home;
  ScriptedHost host;
  // P2 is empty: only P1 moves down, P3 stays where it is.
  home.WriteIni(Ini({{1, "/a"}, {3, "/c"}, {4, "/d"}}));
  EXPECT_EQ(UpdateFileHistory(host.module, "/n"), "PATH1");
  EXPECT_EQ(home.ReadIni(), Ini({{1, "/a"}, {3, "/c"}, {4, "/d"}, {2, "/a"}}));
}

TEST(UpdateFileHistory, GapAfterThirdKeepsFifth) {
  TempHome home;
  ScriptedHost host;
  home.WriteIni(Ini({{1, "/a"}, {2, "/b"}, {3, "/c"}, {5, "/e"}}));
  EXPECT_EQ(UpdateFileHistory(host.module, "/n"), "PATH1");
  EXPECT_EQ(home.ReadIni(), Ini({{1, "/a"}, {2, "/a"}, {3, "/b"}, {5, "/e"}, {4, "/c"}}));
}

TEST(UpdateFileHistory, MatchInGapFilledListFindsLaterEntry) {
  TempHome home;
  ScriptedHost host;
  home.WriteIni(Ini({{1, "/a"}, {3, "/c"}}));
  EXPECT_EQ(UpdateFileHistory(host.module, "/c"), "NoSave");
  // PATH1 := P3, PATH2 := P1, PATH3 := P2 (empty).
  EXPECT_EQ(home.ReadIni(), Ini({{1, "/c"}, {3, ""}, {2, "/a"}}));
}

TEST(SamplePath, PrefersAUsersOwnXlsWorkbook) {
  TempHome home;
  std::filesystem::create_directories(home.DataFolder());
  EXPECT_EQ(SamplePathIn(home.DataFolder()),
            home.DataFolder() + "/ミラトス【サンプルデータ】.xlsx");
  std::ofstream(home.DataFolder() + "/ミラトス【サンプルデータ】.xls") << "x";
  EXPECT_EQ(SamplePathIn(home.DataFolder()), home.DataFolder() + "/ミラトス【サンプルデータ】.xls");
}

}  // namespace
}  // namespace tessarin::workbook
