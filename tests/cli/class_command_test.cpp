// `tessarin class`: a folder of learners served at once, run as the real binary.
#include "app/cli/class_command.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "core/host/host_error.h"
#include "core/ooxml/workbook_io.h"
#include "core/reports/class_record.h"
#include "run_process.h"
#include "tests/support/capture.h"

namespace tessarin::cli {
namespace {
namespace fs = std::filesystem;

using tessarin::testing::CaptureOutput;

// The text without line breaks and spaces: vertical text comes a character a line.
std::string Flat(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\n' && c != ' ' && c != '\f') out += c;
  }
  return out;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ClassFolder, LearnersAreTheWorkbooksInNameOrder) {
  testing::TempFolder temp;
  for (const char* file :
       {"田中.xlsx", "佐藤.XLSX", "~$佐藤.xlsx", ".hidden.xlsx", "notes.txt", "佐藤.xlsx.bak"}) {
    std::ofstream(temp.path() + "/" + file) << "x";
  }
  fs::create_directory(temp.path() + "/sub.xlsx");
  const std::vector<Learner> learners = ListLearners(temp.path());
  ASSERT_EQ(learners.size(), 2u);
  EXPECT_EQ(learners[0].name, "佐藤");
  EXPECT_EQ(learners[1].name, "田中");
  EXPECT_EQ(learners[1].book, temp.path() + "/田中.xlsx");
}

TEST(ClassMarks, LinesNumbersAndWhatCannotBeUsed) {
  const std::vector<MarkLine> lines = ParseMarks(
      "\xEF\xBB\xBF# name,wrong\r\n佐藤,3 7 12\r\n\r\n 田中 , 4,5\n鈴木\n山田,3 x\n,1\n");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].line, 2);
  EXPECT_EQ(lines[0].name, "佐藤");
  EXPECT_EQ(lines[0].wrong, (std::vector<int>{3, 7, 12}));
  EXPECT_EQ(lines[1].name, "田中");
  EXPECT_EQ(lines[1].wrong, (std::vector<int>{4, 5}));
  EXPECT_TRUE(lines[2].wrong.empty());
  EXPECT_TRUE(lines[2].problem.empty());
  EXPECT_NE(lines[3].problem.find("\"x\""), std::string::npos);
  EXPECT_NE(lines[4].problem.find("line 7"), std::string::npos);
}

// Three learners made from the sample workbook.
class ClassCommandTest : public ::testing::Test {
 protected:
  ClassCommandTest() {
    fs::create_directory(dir_);
    for (const char* name : {"田中", "佐藤", "鈴木"}) {
      fs::copy_file(TESSARIN_SAMPLE_WORKBOOK, dir_ + "/" + name + ".xlsx");
    }
    before_ = Summary("田中");
  }
  testing::ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TESSARIN_CLI_PATH);
    return testing::RunProcess(
        args, "", temp_.path(),
        {{"HOME", temp_.path()}, {"XDG_DOCUMENTS_DIR", ""}, {"LANG", "C.UTF-8"}});
  }
  // The question sheet of a learner's saved workbook.
  reports::LearnerSummary Summary(const std::string& name) {
    const auto book = ooxml::WorkbookFiles().Open(dir_ + "/" + name + ".xlsx");
    reports::ClassRecord record;
    record.AddLearner(name, *reports::FindQuestionSheetIn(*book));
    return record.learners().front();
  }

  testing::TempFolder temp_;
  const std::string dir_ = temp_.path() + "/class";
  reports::LearnerSummary before_;  // every learner starts as the sample, which has a record
};

TEST_F(ClassCommandTest, CreateGivesEachLearnerATestOfTheirOwnAndOnePdfInNameOrder) {
  testing::ProcessResult run = Run({"class", "create", dir_, "--count", "30", "-o", "class.pdf"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // A table of learner, code, questions and pages; every code differs.
  std::istringstream table(run.out);
  std::string line;
  std::getline(table, line);
  EXPECT_NE(line.find("Code"), std::string::npos) << run.out;
  std::set<std::string> codes;
  for (const char* name : {"佐藤", "田中", "鈴木"}) {
    ASSERT_TRUE(std::getline(table, line));
    std::istringstream cells(line);
    std::string learner, code, questions, pages;
    cells >> learner >> code >> questions >> pages;
    EXPECT_EQ(learner, name);
    EXPECT_EQ(code.size(), 4u);
    codes.insert(code);
    EXPECT_EQ(questions, "30");
    EXPECT_EQ(pages, "1");
    // Saved in place, the test counted in the learner's own record.
    EXPECT_EQ(Summary(name).tests, before_.tests + 1) << name;
  }
  EXPECT_EQ(codes.size(), 3u);
  EXPECT_TRUE(run.err.empty()) << run.err;  // three learners: no progress lines
  // Each page carries its learner's name in the name box, in name order.
  int page = 0;
  for (const char* name : {"佐藤", "田中", "鈴木"}) {
    ++page;
    const std::string text =
        Flat(CaptureOutput("pdftotext -raw -f " + std::to_string(page) + " -l " +
                           std::to_string(page) + " " + temp_.path() + "/class.pdf -"));
    EXPECT_NE(text.find(name), std::string::npos) << page << ": " << text;
  }
  EXPECT_NE(CaptureOutput("pdfinfo " + temp_.path() + "/class.pdf").find("Pages:           3"),
            std::string::npos);
}

TEST_F(ClassCommandTest, MarkRecordsGoodLinesAndLeavesEveryLearnerOfABadOneAsTheyWere) {
  ASSERT_EQ(Run({"class", "create", dir_, "--count", "20", "-o", "c.pdf"}).exit_code, 0);
  const std::string suzuki_before = Bytes(dir_ + "/鈴木.xlsx");
  std::ofstream(temp_.path() + "/marks.csv") << "佐藤,1 2 3\n山田,1\n鈴木,2 99\n佐藤,4\n田中,\n";
  testing::ProcessResult run = Run({"class", "mark", dir_, temp_.path() + "/marks.csv"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(Summary("佐藤").mistakes, before_.mistakes + 3);
  EXPECT_EQ(Bytes(dir_ + "/鈴木.xlsx"), suzuki_before);
  EXPECT_NE(run.err.find("line 2: no learner named 山田"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("line 3: 鈴木"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("99"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("line 4: 佐藤 was marked on line 1"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("田中: no wrong answers"), std::string::npos) << run.out;
}

TEST_F(ClassCommandTest, ReportCountsLearnersPerKanjiMostMissedFirst) {
  ASSERT_EQ(Run({"class", "create", dir_, "--count", "20", "-o", "c.pdf"}).exit_code, 0);
  std::ofstream(temp_.path() + "/marks.csv") << "佐藤,1 2\n田中,1\n";
  ASSERT_EQ(Run({"class", "mark", dir_, temp_.path() + "/marks.csv"}).exit_code, 0);
  testing::ProcessResult run = Run({"class", "report", dir_, "--pdf", "report.pdf"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line, learner, tests, mistakes;
  while (std::getline(lines, line) && line.rfind("佐藤", 0) != 0) {
  }
  std::istringstream(line) >> learner >> tests >> mistakes;
  EXPECT_EQ(tests, std::to_string(before_.tests + 1)) << run.out;
  EXPECT_EQ(mistakes, std::to_string(before_.mistakes + 2)) << run.out;
  // Each learner has a code of their own, so their first questions differ: the kanji list is
  // known only by its order, most learners first.
  const size_t kanji = run.out.find("Learners who missed it");
  ASSERT_NE(kanji, std::string::npos) << run.out;
  std::istringstream rows(run.out.substr(kanji));
  std::getline(rows, line);
  int previous = 3;  // three learners at most
  for (std::string k, n; rows >> k >> n;) {
    if (k == "Wrote") break;
    EXPECT_LE(std::stoi(n), previous) << run.out;
    previous = std::stoi(n);
  }
  EXPECT_NE(CaptureOutput("pdffonts " + temp_.path() + "/report.pdf").find("BIZ"),
            std::string::npos);
}

}  // namespace
}  // namespace tessarin::cli
