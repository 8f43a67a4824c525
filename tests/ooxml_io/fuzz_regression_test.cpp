// Replays inputs the fuzzers found (fuzz/regressions/<target>/) and the text seeds through the
// fuzz targets' checks in the ordinary build, so a fixed fault stays fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = TESSARIN_SOURCE_DIR "/fuzz/regressions";

// Runs every file of `folder` through `check`; the number of files replayed.
size_t Replay(const fs::path& folder, void (*check)(std::string_view)) {
  size_t n = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().string());
    check(ooxml::testing::ReadFile(entry.path().string()));  // aborts on a failed check
    ++n;
  }
  return n;
}

// Each folder of findings, its check and how many findings it holds: a finding added or lost
// changes the count here, so none is skipped unseen.
struct Findings {
  const char* folder;
  void (*check)(std::string_view);
  size_t count;
};
constexpr Findings kFindings[] = {
    {"xls_import_fuzzer", CheckXlsImport, 3},
    {"xlsx_read_fuzzer", CheckXlsxRead, 2},
    {"number_format_fuzzer", CheckNumberFormat, 3},
};

TEST(FuzzRegressions, FoundInputsStayHarmless) {
  for (const Findings& findings : kFindings) {
    const fs::path folder = kRegressions / findings.folder;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_EQ(Replay(folder, findings.check), findings.count) << folder;
  }
}

TEST(FuzzRegressions, EveryFolderOfFindingsIsReplayed) {
  for (const auto& entry : fs::directory_iterator(kRegressions)) {
    const std::string name = entry.path().filename().string();
    const bool listed = std::any_of(std::begin(kFindings), std::end(kFindings),
                                    [&](const Findings& f) { return name == f.folder; });
    EXPECT_TRUE(listed) << name << " is not replayed";
  }
}

// A part passed on unread whose directory record claims 4 GB of compressed bytes in an 8 KB
// file: refused by name, never allocated.
TEST(FuzzRegressions, CompressedSizeBeyondTheFileIsRefused) {
  const std::string bytes = ooxml::testing::ReadFile(
      (kRegressions / "xlsx_read_fuzzer" / "oom-compressed-size-120998d5").string());
  try {
    ooxml::ReadXlsx(bytes, "found.xlsx");
    FAIL() << "read";
  } catch (const host::HostError& e) {
    EXPECT_NE(e.description().find("claims more compressed bytes than the file holds"),
              std::string::npos)
        << e.description();
  }
}

// The seeds hold quoting, Shift_JIS and control characters that must survive .xlsx.
TEST(FuzzRegressions, TextSeedsSurviveXlsx) {
  EXPECT_EQ(Replay(TESSARIN_SOURCE_DIR "/fuzz/seeds/text", CheckTextImport), 4u);
}

}  // namespace
}  // namespace tessarin::fuzz
