// The `tessarin` command line: help, version, usage errors and the script subcommand's input.
#include "app/cli/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/messages.h"
#include "run_process.h"

namespace tessarin::cli {
namespace {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Invoke(std::vector<const char*> args, const std::string& input = "") {
  args.insert(args.begin(), "tessarin");
  std::istringstream in(input);
  std::ostringstream out, err;
  Streams streams{in, out, err};
  int code = RunCommandLine(static_cast<int>(args.size()), args.data(), streams);
  return {code, out.str(), err.str()};
}

// Without a catalogue every pattern translates to itself, so a match gives back the text.
TEST(Messages, FilledPatternsMatchOnlyTheWholeText) {
  EXPECT_EQ(
      TrFilled("%1: Value %2 not in range %3 to %4", "--dpi: Value 5 not in range 10 to 1200"),
      "--dpi: Value 5 not in range 10 to 1200");
  EXPECT_EQ(TrFilled("%1 is required", "book is required"), "book is required");
  EXPECT_EQ(TrFilled("A subcommand is required", "A subcommand is required"),
            "A subcommand is required");
  // A value may hold the separator that follows it in the pattern only when it is the last.
  EXPECT_EQ(TrFilled("%1: %2 not in {%3}", "--sheet: 3 not in {40,20}"),
            "--sheet: 3 not in {40,20}");
  EXPECT_EQ(TrFilled("The following argument was not expected: %1",
                     "The following argument was not expected: a: b"),
            "The following argument was not expected: a: b");
  // Values filled in another order come back in the pattern's places.
  EXPECT_EQ(TrFilled("%2 before %1", "b before a"), "b before a");

  for (const char* text : {"is required", " is required", "book is required!", "book was required",
                           "", "A subcommand is required too"}) {
    EXPECT_EQ(TrFilled("%1 is required", text), std::nullopt) << text;
  }
  EXPECT_EQ(TrFilled("A subcommand is required", "book is required"), std::nullopt);
  EXPECT_EQ(TrFilled("%1: Value %2 not in range %3 to %4", "--dpi: Value 5 not in range 10"),
            std::nullopt);
  EXPECT_EQ(TrFilled("%1: %2", "x: "), std::nullopt);
}

TEST(CommandLine, VersionPrintsNameAndVersionThenWhoseDataItReads) {
  Outcome run = Invoke({"--version"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out.rfind("tessarin 1.0.6\n\n", 0), 0u) << run.out;
  for (const char* credit : {"KANJIDIC2", "EDRDG", "CC BY-SA 4.0", "KanjiStrokeOrders"}) {
    EXPECT_NE(run.out.find(credit), std::string::npos) << credit;
  }
}

TEST(CommandLine, HelpListsTheScriptCommand) {
  Outcome run = Invoke({"--help"});
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("script"), std::string::npos);
  Outcome sub = Invoke({"script", "--help"});
  EXPECT_EQ(sub.code, 0);
  EXPECT_NE(sub.out.find("tessarin script"), std::string::npos) << sub.out;
}

TEST(CommandLine, UsageErrorsExitTwoWithUsageOnStderr) {
  for (std::vector<const char*> args :
       std::vector<std::vector<const char*>>{{},
                                             {"frobnicate"},
                                             {"--frobnicate"},
                                             {"script", "--frobnicate"},
                                             {"script", "a", "b"}}) {
    Outcome run = Invoke(args);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("Usage:"), std::string::npos) << run.err;
  }
  EXPECT_NE(Invoke({"frobnicate"}).err.find("unknown subcommand: frobnicate"), std::string::npos);
}

TEST(CommandLine, ScriptReadsStandardInputWithoutFileOrDash) {
  for (std::vector<const char*> args :
       std::vector<std::vector<const char*>>{{"script"}, {"script", "-"}}) {
    Outcome run = Invoke(args, "{\"show\": \"state\"}\n");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out.rfind("{\"state\":", 0), 0u) << run.out;
  }
}

TEST(CommandLine, ScriptFileThatCannotBeReadExitsTwo) {
  Outcome run = Invoke({"script", "/nonexistent/script.jsonl"});
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("/nonexistent/script.jsonl"), std::string::npos) << run.err;
  testing::TempFolder folder;
  Outcome dir = Invoke({"script", folder.path().c_str()});
  EXPECT_EQ(dir.code, 2);
  EXPECT_NE(dir.err.find("folder"), std::string::npos) << dir.err;
}

TEST(CommandLine, BinaryWritesUnescapedUtf8AndExitCodes) {
  testing::TempFolder temp;
  const std::string script = temp.path() + "/s.jsonl";
  std::ofstream(script)
      << "{\"new\": true}\n{\"addsheet\": \"漢字\"}\n{\"show\": \"state\"}\n{\"nope\": 1}\n";
  testing::ProcessResult run = testing::RunProcess({TESSARIN_CLI_PATH, "script", script}, "",
                                                   temp.path(), {{"HOME", temp.path()}});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.out.find("\"sheets\":[\"Sheet1\",\"漢字\"]"), std::string::npos) << run.out;

  testing::ProcessResult usage =
      testing::RunProcess({TESSARIN_CLI_PATH, "nope"}, "", temp.path(), {});
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_TRUE(usage.out.empty());
}

}  // namespace
}  // namespace tessarin::cli

namespace tessarin::cli {
namespace {

TEST(PrintCommand, AWorkbookWithoutATestSheetNeedsASheetName) {
  testing::TempFolder dir;
  const std::string book = dir.path() + "/book.xlsx";
  std::istringstream script(
      "{\"new\": true}\n{\"type\": {\"cell\": \"A1\", \"value\": \"漢字\"}}\n{\"save\": \"" + book +
      "\"}\n");
  std::ostringstream out, err;
  Streams streams{script, out, err};
  std::vector<const char*> make = {"tessarin", "script"};
  ASSERT_EQ(RunCommandLine(2, make.data(), streams), 0) << err.str();

  const std::string pdf = dir.path() + "/book.pdf";
  Outcome refused = Invoke({"print", book.c_str(), "-o", pdf.c_str()});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("no test sheet"), std::string::npos) << refused.err;
  EXPECT_FALSE(std::filesystem::exists(pdf));

  Outcome printed = Invoke({"print", book.c_str(), "--sheet", "Sheet1", "-o", pdf.c_str()});
  EXPECT_EQ(printed.code, 0) << printed.err;
  EXPECT_NE(printed.out.find("1 page"), std::string::npos) << printed.out;
  EXPECT_TRUE(std::filesystem::exists(pdf));
}

}  // namespace
}  // namespace tessarin::cli
