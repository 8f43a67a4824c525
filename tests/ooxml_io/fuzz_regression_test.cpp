// Replays inputs the fuzzers found (fuzz/regressions/<target>/) and the text seeds through the
// fuzz targets' checks in the ordinary build, so a fixed fault stays fixed.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/fuzz_checks.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::fuzz {
namespace {

namespace fs = std::filesystem;

size_t Replay(const std::string& folder, void (*check)(std::string_view)) {
  size_t n = 0;
  if (!fs::is_directory(folder)) return n;
  for (const auto& entry : fs::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().string());
    check(ooxml::testing::ReadFile(entry.path().string()));  // aborts on a failed check
    ++n;
  }
  return n;
}

TEST(FuzzRegressions, FoundInputsStayHarmless) {
  const std::string root = TESSARIN_SOURCE_DIR "/fuzz/regressions/";
  Replay(root + "xlsx_read_fuzzer", CheckXlsxRead);
  Replay(root + "text_import_fuzzer", CheckTextImport);
  Replay(root + "xls_import_fuzzer", CheckXlsImport);
}

// The seeds hold quoting, Shift_JIS and control characters that must survive .xlsx.
TEST(FuzzRegressions, TextSeedsSurviveXlsx) {
  EXPECT_GT(Replay(TESSARIN_SOURCE_DIR "/fuzz/seeds/text", CheckTextImport), 3u);
}

}  // namespace
}  // namespace tessarin::fuzz
