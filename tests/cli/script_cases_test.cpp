// The case folders of tests/cases, each run through the real `tessarin script` binary.
//
// A case folder holds:
//   script.jsonl            the script
//   expected.jsonl          transcript lines that must appear in this order (others may come
//                           between): an expected object matches a transcript object when each
//                           key it gives matches, recursively; arrays and scalars must be equal.
//                           Every error event, message box and non-zero result of a method in
//                           the transcript must be matched by one of them: an unexpected error,
//                           box or failing method fails the case.
//   exit_code               the expected exit code (0 when missing)
//   files/                  copied into the temporary home folder before the run
//   expected_settings.ini   the settings file the run must leave, byte for byte
// "${HOME}" in the script, the expected lines and the settings file stands for the home folder.
// The run's working folder is the home folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "run_process.h"

namespace tessarin::cli::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kCasesDir = fs::path(TESSARIN_SOURCE_DIR) / "tests" / "cases";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReplaceHome(std::string text, const std::string& home) {
  const std::string token = "${HOME}";
  for (size_t at = text.find(token); at != std::string::npos;
       at = text.find(token, at + home.size())) {
    text.replace(at, token.size(), home);
  }
  return text;
}

std::vector<json> ParseLines(const std::string& text, const std::string& what) {
  std::vector<json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    try {
      lines.push_back(json::parse(line));
    } catch (const json::parse_error& e) {
      ADD_FAILURE() << what << " holds a line that is not JSON: " << line;
    }
  }
  return lines;
}

// Every key the expected object gives must match; anything else must be equal.
bool Matches(const json& expected, const json& actual) {
  if (!expected.is_object()) return expected == actual;
  if (!actual.is_object()) return false;
  for (const auto& [key, value] : expected.items()) {
    auto it = actual.find(key);
    if (it == actual.end() || !Matches(value, *it)) return false;
  }
  return true;
}

// The lines a case must expect: what went wrong (an error, a method that returned an error
// number), and what the user was asked or told.
bool MustBeExpected(const json& line) {
  if (!line.is_object()) return false;
  if (line.contains("error") || line.contains("msgbox")) return true;
  const auto result = line.find("result");
  return result != line.end() && *result != 0;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(kCasesDir, error)) {
    if (entry.is_directory() && fs::exists(entry.path() / "script.jsonl")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The settings file of a run: in ~/Documents when that folder exists, else in the home folder.
fs::path SettingsPath(const fs::path& home) {
  fs::path documents = fs::is_directory(home / "Documents") ? home / "Documents" : home;
  return documents / "ミラトス保存データ" / "ミラトス_設定値.ini";
}

class ScriptCase : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptCase, TranscriptMatches) {
  const fs::path dir = kCasesDir / GetParam();
  TempFolder temp;
  const std::string home = temp.path() + "/home";
  fs::create_directory(home);
  if (fs::is_directory(dir / "files")) {
    fs::copy(dir / "files", home, fs::copy_options::recursive);
    // A prepared settings file may name files in the home folder.
    if (fs::exists(SettingsPath(home))) {
      const std::string text = ReplaceHome(ReadFile(SettingsPath(home)), home);
      std::ofstream(SettingsPath(home), std::ios::binary | std::ios::trunc) << text;
    }
  }
  const std::string script_path = temp.path() + "/script.jsonl";
  std::ofstream(script_path, std::ios::binary) << ReplaceHome(ReadFile(dir / "script.jsonl"), home);

  ProcessResult run =
      RunProcess({TESSARIN_CLI_PATH, "script", script_path}, "", home,
                 {{"HOME", home}, {"XDG_DOCUMENTS_DIR", ""}, {"XDG_CONFIG_HOME", ""}});
  SCOPED_TRACE("transcript:\n" + run.out + "stderr:\n" + run.err);

  int expected_exit = 0;
  if (fs::exists(dir / "exit_code")) expected_exit = std::stoi(ReadFile(dir / "exit_code"));
  EXPECT_EQ(run.exit_code, expected_exit);

  const std::vector<json> transcript = ParseLines(run.out, "the transcript");
  // A run that stopped on a bad line ends with that line's error, and nothing after it.
  if (run.exit_code == 2) {
    ASSERT_FALSE(transcript.empty());
    EXPECT_TRUE(transcript.back().contains("error") && transcript.back().contains("line") &&
                !transcript.back().contains("number"))
        << transcript.back();
  }

  size_t next = 0;
  std::vector<bool> matched(transcript.size(), false);
  for (const json& expected :
       ParseLines(ReplaceHome(ReadFile(dir / "expected.jsonl"), home), "expected.jsonl")) {
    size_t found = next;
    while (found < transcript.size() && !Matches(expected, transcript[found])) ++found;
    if (found == transcript.size()) {
      ADD_FAILURE() << "no transcript line from line " << next + 1 << " on matches\n  " << expected;
      break;
    }
    matched[found] = true;
    next = found + 1;
  }
  for (size_t i = 0; i < transcript.size(); ++i) {
    if (!matched[i] && MustBeExpected(transcript[i])) {
      ADD_FAILURE() << "transcript line " << i + 1 << " is not expected: " << transcript[i];
    }
  }

  if (fs::exists(dir / "expected_settings.ini")) {
    const fs::path settings = SettingsPath(home);
    ASSERT_TRUE(fs::exists(settings)) << settings;
    EXPECT_EQ(ReadFile(settings), ReplaceHome(ReadFile(dir / "expected_settings.ini"), home));
  }
}

std::string CaseTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptCase, ::testing::ValuesIn(CaseNames()), CaseTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ScriptCase);

// A missing or emptied folder would otherwise pass by running nothing.
TEST(ScriptCaseFolder, HoldsCases) {
  ASSERT_TRUE(fs::is_directory(kCasesDir)) << kCasesDir;
  EXPECT_GE(CaseNames().size(), 10u) << "too few case folders in " << kCasesDir;
}

TEST(ScriptCaseMatcher, FailuresAndBoxesMustBeExpected) {
  EXPECT_TRUE(MustBeExpected({{"call", "START"}, {"result", 1004}}));
  EXPECT_TRUE(MustBeExpected({{"msgbox", {{"text", "x"}}}}));
  EXPECT_TRUE(MustBeExpected({{"error", "no such sheet"}, {"line", 3}}));
  EXPECT_FALSE(MustBeExpected({{"call", "START"}, {"result", 0}}));
  EXPECT_FALSE(MustBeExpected({{"form", {{"name", "KanjiForm1"}}}}));
}

TEST(ScriptCaseMatcher, ObjectsMatchByTheKeysTheyGiveArraysWhole) {
  const json actual = {{"call", "START"}, {"result", 0}, {"extra", {{"a", 1}, {"b", {1, 2}}}}};
  EXPECT_TRUE(Matches({{"call", "START"}}, actual));
  EXPECT_TRUE(Matches({{"extra", {{"b", {1, 2}}}}}, actual));
  EXPECT_TRUE(Matches(json::parse(R"({"result": 0.0})"), actual));
  EXPECT_FALSE(Matches({{"extra", {{"b", {1}}}}}, actual));
  EXPECT_FALSE(Matches({{"missing", nullptr}}, actual));
  EXPECT_FALSE(Matches({{"call", "START"}, {"result", 1}}, actual));
}

}  // namespace
}  // namespace tessarin::cli::testing
