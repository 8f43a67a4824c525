// `tessarin grades`: the grade search over a saved workbook, run as the real binary.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "run_process.h"

namespace tessarin::cli {
namespace {

class GradesCommand : public ::testing::Test {
 protected:
  // A workbook whose question sheet holds three questions, saved as book.xlsx.
  GradesCommand() {
    std::ofstream(temp_.path() + "/make.jsonl")
        << "{\"new\": true}\n{\"rename\": [\"Sheet1\", \"ミラトス\"]}\n"
           "{\"type\": {\"cell\": \"D1\", \"value\": \"ヤマにのぼる。\"}}\n"
           "{\"type\": {\"cell\": \"E1\", \"value\": \"山\"}}\n"
           "{\"type\": {\"cell\": \"D2\", \"value\": \"悪いヤマ\"}}\n"
           "{\"type\": {\"cell\": \"D3\", \"value\": \"嵐\"}}\n"
           "{\"type\": {\"cell\": \"D5\", \"value\": \"右\"}}\n"
           "{\"save\": \"" +
               book_ + "\"}\n";
    EXPECT_EQ(Run({"script", temp_.path() + "/make.jsonl"}).exit_code, 0);
  }

  testing::ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TESSARIN_CLI_PATH);
    return testing::RunProcess(
        args, "", temp_.path(),
        {{"HOME", temp_.path()}, {"XDG_DOCUMENTS_DIR", ""}, {"XDG_CONFIG_HOME", ""}});
  }

  testing::TempFolder temp_;
  const std::string book_ = temp_.path() + "/book.xlsx";
};

TEST_F(GradesCommand, PrintsTheSetViewOfTheQuestionsWithPlainLineBreaks) {
  testing::ProcessResult run = Run({"grades", book_});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(
      run.out,
      "【小学 3 年生で習う漢字】（漢検8級）1字 /200字 [0.5％]\n悪\n\n【高校で習う漢字】1字\n嵐\n");
  // The row below the first empty question is read only when the range asks for it.
  testing::ProcessResult column = Run({"grades", book_, "--range", "D:D"});
  EXPECT_EQ(column.exit_code, 0) << column.err;
  EXPECT_NE(column.out.find("1字 /80字 [1.3％]\n右\n"), std::string::npos) << column.out;
}

TEST_F(GradesCommand, MissingListsEveryLevel) {
  testing::ProcessResult run = Run({"grades", book_, "--range", "D1:D2", "--missing"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.rfind("【小学 1 年生で習う漢字】（漢検10級）80字 /80字 [100.0％]\n一、右、", 0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("【小学 3 年生で習う漢字】（漢検8級）199字 /200字 [99.5％]\n"),
            std::string::npos);
  EXPECT_EQ(run.out.find("高校"), std::string::npos);
}

TEST_F(GradesCommand, The2020TablesOnRequest) {
  std::ofstream(temp_.path() + "/oka.jsonl")
      << "{\"new\": true}\n{\"rename\": [\"Sheet1\", \"ミラトス\"]}\n"
         "{\"type\": {\"cell\": \"D1\", \"value\": \"岡山にいく。\"}}\n"
         "{\"save\": \"" +
             temp_.path() + "/oka.xlsx\"}\n";
  ASSERT_EQ(Run({"script", temp_.path() + "/oka.jsonl"}).exit_code, 0);
  testing::ProcessResult old = Run({"grades", temp_.path() + "/oka.xlsx"});
  EXPECT_NE(old.out.find("【高校で習う漢字】1字\n岡"), std::string::npos) << old.out;
  testing::ProcessResult now = Run({"grades", temp_.path() + "/oka.xlsx", "--table", "2020"});
  EXPECT_EQ(now.exit_code, 0) << now.err;
  EXPECT_EQ(now.out,
            "【小学 1 年生で習う漢字】（漢検10級）1字 /80字 [1.3％]\n山\n\n"
            "【小学 4 年生で習う漢字】（漢検7級）1字 /202字 [0.5％]\n岡\n");
  EXPECT_EQ(Run({"grades", book_, "--table", "2010"}).exit_code, 2);
}

TEST_F(GradesCommand, RefusalsGoToTheErrorStream) {
  testing::ProcessResult areas = Run({"grades", book_, "--range", "D1,D3"});
  EXPECT_EQ(areas.exit_code, 1);
  EXPECT_TRUE(areas.out.empty());
  EXPECT_NE(areas.err.find("「選択範囲」を複数回選んでいます。"), std::string::npos) << areas.err;

  testing::ProcessResult sheet = Run({"grades", book_, "--sheet", "Nope"});
  EXPECT_EQ(sheet.exit_code, 1);
  testing::ProcessResult missing = Run({"grades", temp_.path() + "/none.xlsx"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
}

// Whatever `create` takes, `grades` reads: a list's one sheet, questions by default, answers with
// --range E:E, and the help says so.
TEST_F(GradesCommand, ReadsAListAsCreateTakesIt) {
  std::ofstream(temp_.path() + "/list.csv") << ",,,ヤマにのぼる。,山\n,,,嵐のヨル,夜\n";
  testing::ProcessResult questions = Run({"grades", temp_.path() + "/list.csv"});
  EXPECT_EQ(questions.exit_code, 0) << questions.err;
  EXPECT_EQ(questions.out, "【高校で習う漢字】1字\n嵐\n");
  testing::ProcessResult answers = Run({"grades", temp_.path() + "/list.csv", "--range", "E:E"});
  EXPECT_EQ(answers.exit_code, 0) << answers.err;
  EXPECT_NE(answers.out.find("山"), std::string::npos) << answers.out;
  EXPECT_NE(answers.out.find("夜"), std::string::npos) << answers.out;

  const std::string help = Run({"grades", "--help"}).out;
  EXPECT_NE(help.find("reads the question sentences in column D"), std::string::npos) << help;
  EXPECT_NE(help.find("--range E:E reads the answers"), std::string::npos) << help;
}

}  // namespace
}  // namespace tessarin::cli
