// The command line under conditions users do not plan for, through the real `tessarin` binary:
// two programs on one workbook, file names that are not UTF-8, emptied test cells, numbers
// that are not decimal, empty and special output paths, bad settings values.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/workbook_lock.h"
#include "core/ooxml/workbook_io.h"
#include "run_process.h"

namespace tessarin::cli::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTestSheet = "テスト用紙 【40】";

class CommandSafety : public ::testing::Test {
 protected:
  CommandSafety() : home_(temp_.path() + "/home") { fs::create_directory(home_); }

  ProcessResult Tessarin(std::vector<std::string> args) {
    args.insert(args.begin(), TESSARIN_CLI_PATH);
    return RunProcess(args, "", temp_.path(),
                      {{"HOME", home_},
                       {"XDG_DOCUMENTS_DIR", ""},
                       {"XDG_CONFIG_HOME", ""},
                       {"LANG", "C.UTF-8"},
                       {"LC_ALL", ""}});
  }

  // A list of 60 questions in `folder` and a 40-question test made from it; the test's path.
  std::string MakeTest(const std::string& folder) {
    const std::string csv = folder + "/questions.csv";
    std::ofstream out(csv);
    for (int i = 1; i <= 60; ++i) out << ",,,問題" << i << "の<かん>字,漢" << i << "\n";
    out.close();
    const std::string book = folder + "/test.xlsx";
    const ProcessResult made = Tessarin({"create", csv, "--count", "40", "-o", book});
    EXPECT_EQ(made.exit_code, 0) << made.err;
    return book;
  }

  // How many "X" marks the question sheet of `book` holds in F:O.
  static int WrongMarks(const std::string& book) {
    auto wb = ooxml::WorkbookFiles().Open(book);
    int marks = 0;
    for (int i = 1; i <= wb->SheetCount(); ++i) {
      const host::Worksheet& sheet = wb->Sheet(i);
      if (sheet.name() == kTestSheet || sheet.name().find("テスト用紙") == 0) continue;
      for (int32_t row = 1; row <= 100; ++row) {
        for (int32_t col = 6; col <= 15; ++col) marks += sheet.TextView(row, col) == "X";
      }
    }
    return marks;
  }

  TempFolder temp_;
  std::string home_;
};

TEST_F(CommandSafety, MarkWaitsForAHeldWorkbookThenRefusesAndChangesNothing) {
  const std::string book = MakeTest(temp_.path());
  {
    const auto held = host::WorkbookLock::Acquire(book);
    ASSERT_TRUE(held->held());
    const ProcessResult refused = Tessarin({"mark", book, "--wrong", "3"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find(book + " is being changed by another program"), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out.find("Saved"), std::string::npos);
  }
  EXPECT_EQ(WrongMarks(book), 0);
  const ProcessResult marked = Tessarin({"mark", book, "--wrong", "3"});
  EXPECT_EQ(marked.exit_code, 0) << marked.err;
  EXPECT_EQ(WrongMarks(book), 1);
}

// The race two users at two terminals run: every mark a run reports as saved is in the book.
TEST_F(CommandSafety, TwoMarksAtOnceLoseNoMark) {
  const std::string book = MakeTest(temp_.path());
  int saved = 0;
  for (int round = 0; round < 4; ++round) {
    std::vector<pid_t> children;
    for (int q : {2 * round + 1, 2 * round + 2}) {
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        const ProcessResult r = Tessarin({"mark", book, "--wrong", std::to_string(q)});
        _exit(r.exit_code == 0 && r.out.find("Saved") != std::string::npos ? 0 : 1);
      }
      children.push_back(child);
    }
    for (pid_t child : children) {
      int status = 0;
      waitpid(child, &status, 0);
      saved += WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
  }
  EXPECT_EQ(saved, 8);  // the second waits its turn rather than failing
  EXPECT_EQ(WrongMarks(book), saved);
}

TEST_F(CommandSafety, FolderNamesThatAreNotUtf8WorkInEveryCommand) {
  const std::string folder = temp_.path() + "/\x8a\xbf\x8e\x9a";  // 漢字 in Shift_JIS
  fs::create_directory(folder);
  const std::string book = MakeTest(folder);
  ASSERT_TRUE(fs::exists(book));
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"mark", book, "--wrong", "3"},
                                             {"print", book, "-o", folder + "/t.pdf"},
                                             {"answers", book, "--show"},
                                             {"report", book, "mistakes"},
                                             {"grades", book}}) {
    SCOPED_TRACE(args[0]);
    const ProcessResult r = Tessarin(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(host::IsValidUtf8(r.out + r.err)) << r.out << r.err;
  }
  const ProcessResult marked = Tessarin({"mark", book, "--wrong", "4"});
  EXPECT_NE(marked.out.find("\\x8A\\xBF\\x8E\\x9A"), std::string::npos) << marked.out;
  EXPECT_TRUE(fs::exists(folder + "/t.pdf"));
}

TEST_F(CommandSafety, AnEmptiedTestCellIsAnErrorAndNothingIsSaved) {
  const std::string book = MakeTest(temp_.path());
  const std::string script = temp_.path() + "/clear.jsonl";
  std::ofstream(script) << "{\"open\": \"" << book << "\"}\n{\"activate\": \"" << kTestSheet
                        << "\"}\n{\"clear\": \"R2\"}\n{\"save\": true}\n";
  ASSERT_EQ(Tessarin({"script", script}).exit_code, 0);
  const auto stamp = ooxml::WorkbookFiles::StampOf(book);
  const ProcessResult r = Tessarin({"mark", book, "--wrong", "1,3"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("question 3"), std::string::npos) << r.err;
  EXPECT_EQ(ooxml::WorkbookFiles::StampOf(book), stamp);
  EXPECT_EQ(WrongMarks(book), 0);
}

TEST_F(CommandSafety, NumbersAreDecimalAndOutputPathsNameAFile) {
  const std::string book = MakeTest(temp_.path());
  for (const char* number : {"0x10", "1e1", "3.0", "+"}) {
    SCOPED_TRACE(number);
    const ProcessResult r = Tessarin({"mark", book, "--wrong", number});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("decimal"), std::string::npos) << r.err;
  }
  const ProcessResult octal = Tessarin({"mark", book, "--wrong", "010"});  // ten, not eight
  EXPECT_NE(octal.out.find("Question 10 "), std::string::npos) << octal.out << octal.err;

  const ProcessResult empty = Tessarin({"mark", book, "--wrong", "3", "-o", ""});
  EXPECT_EQ(empty.exit_code, 2);
  EXPECT_NE(empty.err.find("empty path"), std::string::npos) << empty.err;
  const bool had_null_xlsx = fs::exists("/dev/null.xlsx");
  const ProcessResult null = Tessarin({"mark", book, "--wrong", "3", "-o", "/dev/null"});
  EXPECT_EQ(null.exit_code, 1);
  EXPECT_EQ(fs::exists("/dev/null.xlsx"), had_null_xlsx);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(CommandSafety, ABadSettingsValueFallsBackWithAWarningNamingFileAndKey) {
  const std::string folder = home_ + "/Documents/ミラトス保存データ";
  fs::create_directories(folder);
  std::ofstream(folder + "/ミラトス_設定値.ini") << "Qs:1e308\r\n";
  const std::string book = MakeTest(temp_.path());
  const ProcessResult again =
      Tessarin({"create", temp_.path() + "/questions.csv", "-o", temp_.path() + "/t2.xlsx"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_NE(again.err.find("ミラトス_設定値.ini"), std::string::npos) << again.err;
  EXPECT_NE(again.err.find("Qs"), std::string::npos) << again.err;
  EXPECT_TRUE(fs::exists(book));
}

}  // namespace
}  // namespace tessarin::cli::testing
