// `tessarin create` and the command line's answers, through the real binary: imported question
// files, the shortfall, option checks, the documents folder and the two message languages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/host/workbook.h"
#include "core/ooxml/workbook_io.h"
#include "run_process.h"

namespace tessarin::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// One question row as CSV: columns A to R, the question in D, its answer in E.
std::string Row(const std::string& question, const std::string& answer,
                const std::string& mark_f = "", const std::string& times_q = "",
                const std::string& must_r = "") {
  return ",,," + question + "," + answer + "," + mark_f + ",,,,,,,,,,," + times_q + "," + must_r +
         "\n";
}

std::string Questions(int count) {
  static const char* kKanji[] = {"山", "川", "雨", "空", "花", "犬",
                                 "目", "耳", "口", "手", "足", "石"};
  std::string csv;
  for (int i = 0; i < count; ++i) csv += Row("ヤマ" + std::to_string(i + 1) + "。", kKanji[i % 12]);
  return csv;
}

std::vector<std::string> SheetNames(const std::string& path) {
  std::vector<std::string> names;
  auto book = ooxml::WorkbookFiles().Open(path);
  for (int i = 1; i <= book->SheetCount(); ++i) names.push_back(book->Sheet(i).name());
  return names;
}

class CreateCommandTest : public ::testing::Test {
 protected:
  // Runs tessarin in the temporary folder, which is also HOME, with English messages unless
  // `env` says otherwise.
  testing::ProcessResult Run(std::vector<std::string> args,
                             std::map<std::string, std::string> env = {},
                             const std::string& input = "") {
    args.insert(args.begin(), TESSARIN_CLI_PATH);
    std::map<std::string, std::string> merged = {{"HOME", home_},        {"LANG", "C"},
                                                 {"LC_ALL", ""},         {"LC_MESSAGES", ""},
                                                 {"LANGUAGE", ""},       {"XDG_DOCUMENTS_DIR", ""},
                                                 {"XDG_CONFIG_HOME", ""}};
    for (const auto& [name, value] : env) merged[name] = value;
    return testing::RunProcess(args, input, dir_, merged);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
    return dir_ + "/" + name;
  }
  // Everything in the folder, as relative paths.
  std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      names.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempFolder temp_;
  const std::string dir_ = temp_.path();
  const std::string home_ = temp_.path();
};

TEST_F(CreateCommandTest, CsvImportBecomesTheQuestionSheetOfTheSavedCopyOnly) {
  const std::string csv = Write("questions.csv", Questions(6));
  testing::ProcessResult run = Run({"create", "questions.csv", "-o", "out.xlsx", "--count", "6"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(
      run.out,
      HasSubstr("Took sheet questions as the question sheet and named it ミラトスquestions"));
  EXPECT_THAT(run.out, HasSubstr(": 6 questions on 1 page\n"));
  EXPECT_THAT(run.out, HasSubstr("Saved " + dir_ + "/out.xlsx"));
  EXPECT_EQ(SheetNames(dir_ + "/out.xlsx"),
            (std::vector<std::string>{"ミラトスquestions", "テスト用紙 【40】"}));
  EXPECT_EQ(ReadBytes(csv), Questions(6));  // the file opened is never changed
}

// A settings file that cannot be used is set aside with a warning, and the test is still made.
TEST_F(CreateCommandTest, UnusableSettingsFileIsAWarningNotAFailure) {
  Write("questions.csv", Questions(6));
  fs::create_directories(dir_ + "/ミラトス保存データ");
  const std::string ini = dir_ + "/ミラトス保存データ/ミラトス_設定値.ini";
  std::ofstream(ini, std::ios::binary) << std::string(2 << 20, 'x');
  testing::ProcessResult run = Run({"create", "questions.csv", "-o", "out.xlsx", "--count", "6"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("warning: The settings file " + ini + " could not be used"));
  EXPECT_TRUE(fs::exists(ini + ".broken"));
  EXPECT_TRUE(fs::exists(dir_ + "/out.xlsx"));
}

TEST_F(CreateCommandTest, XlsImportBecomesTheQuestionSheet) {
  fs::copy_file(TESSARIN_SOURCE_DIR "/tests/cli/data/questions.xls", dir_ + "/questions.xls");
  const std::string before = ReadBytes(dir_ + "/questions.xls");
  testing::ProcessResult run = Run({"create", "questions.xls", "--count", "6", "--per-page", "20"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("Took sheet Sheet1 as the question sheet and named it ミラトスquestions"));
  EXPECT_EQ(SheetNames(dir_ + "/questions.xlsx"),
            (std::vector<std::string>{"ミラトスquestions", "テスト用紙 【20】"}));
  EXPECT_EQ(ReadBytes(dir_ + "/questions.xls"), before);
}

TEST_F(CreateCommandTest, SeveralSheetsWithoutAQuestionSheetAreListedForSheet) {
  host::Workbook book("book.xlsx");
  book.AddSheet("表1", 1);
  host::Worksheet& second = book.AddSheet("表2", 2);
  second.SetText(1, 4, "ヤマにのぼる。");
  second.SetText(1, 5, "山");
  ooxml::WorkbookFiles().Save(book, dir_ + "/book.xlsx");

  const std::string before = ReadBytes(dir_ + "/book.xlsx");
  testing::ProcessResult run = Run({"create", "book.xlsx"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("--sheet NAME: \"表1\", \"表2\""));
  EXPECT_EQ(ReadBytes(dir_ + "/book.xlsx"), before);
  EXPECT_FALSE(fs::exists(dir_ + "/book.xlsx.bak"));

  EXPECT_EQ(Run({"create", "book.xlsx", "--sheet", "表3"}).exit_code, 2);
  run = Run({"create", "book.xlsx", "--sheet", "表2", "--count", "1"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The workbook is saved in place; the file it replaced is the backup.
  EXPECT_EQ(SheetNames(dir_ + "/book.xlsx"),
            (std::vector<std::string>{"表1", "ミラトスbook", "テスト用紙 【40】"}));
  EXPECT_EQ(ReadBytes(dir_ + "/book.xlsx.bak"), before);
}

TEST_F(CreateCommandTest, NoQuestionSaysWhereQuestionsGo) {
  Write("notes.csv", "a,b,c\n");
  testing::ProcessResult run = Run({"create", "notes.csv"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(
      run.err,
      HasSubstr(
          "column D from row 1, its answer in column E; the first empty D cell ends the list"));
  for (const std::string& name : Listing(dir_)) EXPECT_THAT(name, Not(HasSubstr(".xlsx")));
}

TEST_F(CreateCommandTest, ShortfallSaysHowManyAndWhy) {
  std::string csv = Row("イシ1。", "石", "S") + Row("イシ2。", "石", "除") +
                    Row("イシ3。", "石", "", "", "必出") + Row("イシ4。", "石", "", "1") +
                    Questions(6);
  Write("q.csv", csv);
  testing::ProcessResult run = Run({"create", "q.csv", "--count", "40", "--exclude-asked"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("Set 6 of the 40 questions asked for:\n"
                        "  - rows 1 to 10 hold 10 questions (the question list ends at row 10)\n"
                        "  - 2 rows have an exclusion mark (S, E, 除, 止, 修, 外)\n"
                        "  - 1 must-appear row is left out without --must-appear\n"
                        "  - 1 row already set is left out with --exclude-asked\n"));

  // Within the range, with every row eligible, nothing is missing and nothing is said.
  run = Run(
      {"create", "q.csv", "--range", "5-10", "--count", "6", "--must-appear", "-o", "again.xlsx"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, Not(HasSubstr("asked for")));
}

TEST_F(CreateCommandTest, CodeOutsideOneTo2147483647IsAUsageError) {
  Write("q.csv", Questions(3));
  for (const char* code : {"0", "-1", "2147483648", "99999999999", "12a", "1.5", "", "１２"}) {
    testing::ProcessResult run = Run({"create", "q.csv", "--code", code});
    EXPECT_EQ(run.exit_code, 2) << code;
    EXPECT_THAT(run.err, HasSubstr("--code takes a whole number from 1 to 2147483647")) << code;
    EXPECT_THAT(run.err, Not(HasSubstr("error 6")));
  }
  testing::ProcessResult run = Run({"create", "q.csv", "--code", "2147483647", "--count", "3"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("Made the test 2147483647[1-3]3 on sheet"));
  EXPECT_TRUE(fs::exists(dir_ + "/q.xlsx"));
}

TEST_F(CreateCommandTest, OutputFolderGetsTheDefaultNameAndOtherFormatsAreRefused) {
  Write("q.csv", Questions(3));
  fs::create_directory(dir_ + "/tests");
  testing::ProcessResult run = Run({"create", "q.csv", "--count", "3", "-o", "tests"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(fs::is_regular_file(dir_ + "/tests/q.xlsx"));

  for (const char* out : {"x.csv", "x.XLS"}) {
    run = Run({"create", "q.csv", "-o", out});
    EXPECT_EQ(run.exit_code, 2) << out;
    EXPECT_THAT(run.err, HasSubstr("only .xlsx and .xlsm workbooks")) << out;
    EXPECT_FALSE(fs::exists(dir_ + "/" + out));
  }
  EXPECT_EQ(Run({"create", "q.csv", "-o", "missing/"}).exit_code, 1);
  run = Run({"create", "tests"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("tests is a folder, not a workbook"));
}

TEST_F(CreateCommandTest, WithoutAHomeFolderEveryCommandStopsAndWritesNothing) {
  Write("q.csv", Questions(3));
  const bool at_root_before = fs::exists("/ミラトス保存データ");
  for (const std::string& home : {std::string(""), dir_ + "/missing", std::string("/")}) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"create", "q.csv"}, {"install-sample"}, {"script"}}) {
      testing::ProcessResult run = Run(args, {{"HOME", home}}, "{\"call\": \"Auto_Open\"}\n");
      EXPECT_EQ(run.exit_code, 1) << args[0] << " with HOME=" << home;
      EXPECT_THAT(run.err, HasSubstr(home.empty() ? "HOME is not set"
                                                  : "is not a folder the settings can be kept in"));
      EXPECT_EQ(run.out, "");
    }
  }
  EXPECT_EQ(Listing(dir_), std::vector<std::string>{"q.csv"});
  EXPECT_EQ(fs::exists("/ミラトス保存データ"), at_root_before);
}

TEST_F(CreateCommandTest, MessagesFollowTheLocale) {
  const std::map<std::string, std::string> english = {{"LANG", "C"}};
  const std::map<std::string, std::string> japanese = {{"LANG", "ja_JP.UTF-8"}};

  testing::ProcessResult en = Run({"create", "missing.csv"}, english);
  testing::ProcessResult ja = Run({"create", "missing.csv"}, japanese);
  EXPECT_EQ(en.err, "tessarin create: no such file: missing.csv\n");
  EXPECT_EQ(ja.err, "tessarin create: ファイルがありません: missing.csv\n");
  EXPECT_EQ(en.exit_code, ja.exit_code);

  // LC_ALL outranks LANG, and LANGUAGE picks the catalogue in a UTF-8 locale.
  EXPECT_EQ(Run({"create", "missing.csv"}, {{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "C"}}).err, en.err);
  EXPECT_EQ(Run({"create", "missing.csv"}, {{"LANG", "C.UTF-8"}, {"LANGUAGE", "ja"}}).err, ja.err);

  // Host errors read the same way everywhere: the message, then the number.
  Write("ミラトス保存データ", "a file where the data folder goes");
  en = Run({"install-sample"}, english);
  ja = Run({"install-sample"}, japanese);
  EXPECT_THAT(en.err, HasSubstr("a file of that name exists (error 75)\n"));
  EXPECT_THAT(ja.err, HasSubstr("a file of that name exists（エラー 75）\n"));

  ja = Run({"create", "--help"}, japanese);
  EXPECT_EQ(ja.exit_code, 0);
  EXPECT_THAT(ja.out, HasSubstr("問題ブックから漢字テストを作って保存します"));
  EXPECT_THAT(ja.out, HasSubstr("使い方:"));
  EXPECT_THAT(Run({"create", "--help"}, english).out, HasSubstr("Usage:"));
}

// The first line of `text` written in ASCII only: an English message left untranslated.
std::string FirstEnglishLine(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (std::all_of(line.begin(), line.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
      return line.empty() ? "(empty line)" : line;
    }
  }
  return "";
}

TEST_F(CreateCommandTest, EverySubcommandSpeaksJapanese) {
  const std::map<std::string, std::string> ja = {{"LANG", "ja_JP.UTF-8"}};
  Write("q.csv", Questions(5));
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string said;  // a piece of what the command says, on either stream
  };
  // In order: the later commands work on the test the first one saves.
  const std::vector<Case> cases = {
      {{"create", "q.csv", "--count", "5", "-o", "test.xlsx"}, 0, "にテスト"},
      {{"answers", "test.xlsx", "--show"}, 0, "テスト用紙 【40】 に解答を表示しました"},
      {{"answers", "test.xlsx", "--show", "--erase"}, 2, "どちらか一方を指定してください"},
      {{"mark", "test.xlsx", "--wrong", "2", "--must", "3"}, 0, "必出の印を付けました"},
      {{"mark", "test.xlsx", "--wrong", "9"}, 1, "テスト用紙 【40】 に問題 9 はありません"},
      {{"print", "test.xlsx", "-o", "test.pdf"},
       0,
       "を " + dir_ + "/test.pdf に印刷しました: 1 ページ"},
      {{"print", "q.csv", "-o", "q.pdf"}, 1, "印刷するシートを --sheet で指定してください"},
      {{"report", "q.csv", "must"},
       1,
       "ブックに問題シート（名前が ミラトス で始まるシート）がありません"},
      {{"grades", "q.csv", "--range", "E:E"}, 0, "年生で習う漢字"},
      {{"create", "q.csv"}, 0, "次からのテストはそこから作ってください: tessarin create q.xlsx"},
      {{"create", "q.csv"}, 1, "q.csv の記録は " + dir_ + "/q.xlsx にあります"},
      {{"script", "missing.jsonl"}, 2, "missing.jsonl を読めません"},
      // The option parser's refusals.
      {{"mark", "test.xlsx", "--wrong", "0"},
       2,
       "--wrong: 値 0 は 1 から 2147483647 の範囲にありません"},
      {{"answers"}, 2, "book を指定してください"},
      {{"print", "test.xlsx", "-o", "x.pdf", "extra"}, 2, "余分な引数があります: extra"},
      {{"mark", "--help"}, 0, "誤答した問題の番号"},
  };
  for (const Case& c : cases) {
    std::string command;
    for (const std::string& arg : c.args) command += arg + " ";
    testing::ProcessResult run = Run(c.args, ja);
    EXPECT_EQ(run.exit_code, c.exit_code) << command << ": " << run.err;
    EXPECT_THAT(run.out + run.err, HasSubstr(c.said)) << command;
    // Help lists option names and types; a usage refusal is followed by the help after a blank
    // line.
    if (c.args.back() != "--help") {
      EXPECT_EQ(FirstEnglishLine(run.err.substr(0, run.err.find("\n\n"))), "")
          << command << ": " << run.err;
      EXPECT_EQ(FirstEnglishLine(run.out), "") << command;
    }
  }
  testing::ProcessResult installed = Run({"install-sample"}, ja);
  EXPECT_EQ(installed.err, "サンプルブックを置きました。\n");

  // English stays as the parser and the commands always wrote it.
  EXPECT_THAT(Run({"mark", "test.xlsx", "--wrong", "0"}).err,
              HasSubstr("tessarin: --wrong: Value 0 not in range 1 to 2147483647\n"));
  EXPECT_THAT(Run({"answers", "test.xlsx", "--erase"}).out,
              HasSubstr("Erased the answers on テスト用紙 【40】\n"));
}

}  // namespace
}  // namespace tessarin::cli
