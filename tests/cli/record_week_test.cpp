// A teacher's week through the real `tessarin` command: a 45-question list, a test, marks, the
// next test from the record, three times over. The record stays in one workbook whose name never
// grows, each test draws its own code, and no save may replace a record it does not hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/ooxml/workbook_io.h"
#include "core/workbook/record_guard.h"
#include "run_process.h"

namespace tessarin::cli::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kLongRow = 24;

// 45 questions in column D; row 24 is far too long for its cell.
std::string FourthGradeList() {
  static const char* kKanji[] = {"山", "川", "雨", "空", "花", "犬", "目", "耳", "口"};
  std::string csv;
  for (int row = 1; row <= 45; ++row) {
    std::string question = "ヤマ" + std::to_string(row) + "にのぼる。";
    if (row == kLongRow) {
      question.clear();
      for (int i = 0; i < 6; ++i) question += "とおくのヤマにゆきがふりました。";
    }
    csv += ",,," + question + "," + kKanji[row % 9] + "\n";
  }
  return csv;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The code of the "Made the test CODE[..." line.
std::string MadeCode(const std::string& out) {
  std::smatch m;
  const std::regex made("Made the test ([0-9]+)\\[1-45\\]40 on sheet");
  return std::regex_search(out, m, made) ? m[1].str() : "";
}

struct Record {
  int64_t marks = 0;      // "X" cells in F..O
  int64_t times_set = 0;  // the sum of column Q
  workbook::RecordSummary summary;
};

Record ReadRecord(const std::string& path) {
  auto book = ooxml::WorkbookFiles().Open(path);
  Record record;
  record.summary = workbook::CountRecord(*book);
  const host::Worksheet* sheet = book->FindSheet("ミラトス4nen");
  for (int32_t row = 1; sheet && row <= 45; ++row) {
    for (int32_t col = 6; col <= 15; ++col) record.marks += sheet->TextView(row, col) == "X";
    const host::CellValue q = sheet->Value(row, 17);
    if (q.type == host::ValueType::kNumber) record.times_set += static_cast<int64_t>(q.number);
  }
  return record;
}

class TeachersWeek : public ::testing::Test {
 protected:
  TeachersWeek() {
    fs::create_directory(home_);
    std::ofstream(Path("4nen.csv"), std::ios::binary) << FourthGradeList();
  }
  ProcessResult Tessarin(std::vector<std::string> args, const std::string& lang = "C",
                         const std::string& input = "",
                         const std::map<std::string, std::string>& more_env = {}) {
    args.insert(args.begin(), TESSARIN_CLI_PATH);
    std::map<std::string, std::string> env = {
        {"HOME", home_},           {"LANG", lang},         {"LC_ALL", ""}, {"LANGUAGE", ""},
        {"XDG_DOCUMENTS_DIR", ""}, {"XDG_CONFIG_HOME", ""}};
    for (const auto& [name, value] : more_env) env[name] = value;
    return RunProcess(args, input, dir_, env);
  }
  // The files of the working folder (the documents folder is elsewhere).
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path() != home_) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // The questions of the test sheet, in test order.
  static std::vector<std::string> Questions(const std::string& path) {
    auto book = ooxml::WorkbookFiles().Open(path);
    const host::Worksheet* sheet = book->FindSheet("テスト用紙 【40】");
    std::vector<std::string> texts;
    for (int32_t row = 2; sheet && row < 400; row += 4) {
      for (int32_t col = 20; col >= 1; --col) {
        if (sheet->TextView(row, col).empty()) return texts;
        texts.emplace_back(sheet->TextView(row, col));
      }
    }
    return texts;
  }

  TempFolder temp_;
  const std::string dir_ = temp_.path();
  const std::string home_ = temp_.path() + "/home";
};

TEST_F(TeachersWeek, OneWorkbookKeepsEveryMarkAndCount) {
  const std::vector<std::string> wrong = {"5,18,31", "2,7", "40"};
  std::set<std::string> codes;
  for (int day = 0; day < 3; ++day) {
    SCOPED_TRACE("day " + std::to_string(day + 1));
    const std::string before = day == 0 ? "" : ReadBytes(Path("4nen.xlsx"));
    ProcessResult made = Tessarin({"create", day == 0 ? "4nen.csv" : "4nen.xlsx"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string code = MadeCode(made.out);
    ASSERT_FALSE(code.empty()) << made.out;
    EXPECT_THAT(made.out, HasSubstr("code " + code + " (`--code " + code + "` makes"));
    codes.insert(code);
    if (day == 0) {
      EXPECT_THAT(made.out, HasSubstr("make the next tests from it: tessarin create 4nen.xlsx"));
    } else {
      // Saved in place: yesterday's workbook is the backup.
      EXPECT_EQ(ReadBytes(Path("4nen.xlsx.bak")), before);
    }
    ProcessResult marked = Tessarin({"mark", "4nen.xlsx", "--wrong", wrong[day]});
    ASSERT_EQ(marked.exit_code, 0) << marked.err;

    // Making the test from the list again changes nothing and names the record.
    const std::string record = ReadBytes(Path("4nen.xlsx"));
    ProcessResult again = Tessarin({"create", "4nen.csv"});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_THAT(again.err, HasSubstr("make the next test from it: tessarin create 4nen.xlsx"));
    EXPECT_EQ(ReadBytes(Path("4nen.xlsx")), record);
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"4nen.csv", "4nen.xlsx", "4nen.xlsx.bak"}));
  const Record record = ReadRecord(Path("4nen.xlsx"));
  EXPECT_EQ(record.marks, 6);
  EXPECT_EQ(record.times_set, 3 * 40);
  EXPECT_EQ(record.summary.marks, 6);
  EXPECT_EQ(record.summary.tests, 3);
  // Fresh four-digit codes: three equal ones would mean the code is not drawn.
  EXPECT_GE(codes.size(), 2u);
}

TEST_F(TeachersWeek, ASaveThatWouldLoseTheRecordIsRefusedAndTheBackupKept) {
  ASSERT_EQ(Tessarin({"create", "4nen.csv"}).exit_code, 0);
  ASSERT_EQ(Tessarin({"mark", "4nen.xlsx", "--wrong", "1,2,3"}).exit_code, 0);
  const std::string record = ReadBytes(Path("4nen.xlsx")),
                    backup = ReadBytes(Path("4nen.xlsx.bak"));

  ProcessResult over = Tessarin({"create", "4nen.csv", "-o", "4nen.xlsx"});
  EXPECT_EQ(over.exit_code, 1);
  EXPECT_THAT(over.err,
              HasSubstr(Path("4nen.xlsx") + " holds a learner's record (3 marks, 1 test)"));
  ProcessResult ja = Tessarin({"create", "4nen.csv", "-o", "4nen.xlsx"}, "ja_JP.UTF-8");
  EXPECT_THAT(ja.err, HasSubstr("学習の記録（間違いの印 3 個、テスト 1 回）"));

  // The script runner saves through the same guard: the list itself, or a new workbook.
  ProcessResult script = Tessarin({"script"}, "C",
                                  "{\"open\": \"4nen.csv\"}\n{\"save\": \"4nen.csv\"}\n"
                                  "{\"new\": true}\n{\"save\": \"" +
                                      Path("4nen.xlsx") + "\"}\n");
  EXPECT_EQ(script.exit_code, 0);
  EXPECT_EQ(std::count(script.out.begin(), script.out.end(), '\n'), 2) << script.out;
  EXPECT_THAT(script.out, HasSubstr("(3 marks, 1 test)"));
  EXPECT_EQ(ReadBytes(Path("4nen.xlsx")), record);
  EXPECT_EQ(ReadBytes(Path("4nen.xlsx.bak")), backup);

  // Elsewhere, or over a workbook without a record, the test is saved.
  EXPECT_EQ(Tessarin({"create", "4nen.csv", "-o", "copy.xlsx"}).exit_code, 0);
  EXPECT_EQ(Tessarin({"create", "4nen.csv", "-o", "copy.xlsx"}).exit_code, 1);
}

TEST_F(TeachersWeek, TheCodeSaidMakesTheSameTestAgain) {
  ProcessResult drawn = Tessarin({"create", "4nen.csv", "-o", "drawn.xlsx"});
  ASSERT_EQ(drawn.exit_code, 0) << drawn.err;
  const std::string code = MadeCode(drawn.out);
  ProcessResult again = Tessarin({"create", "4nen.csv", "--code", code, "-o", "again.xlsx"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(MadeCode(again.out), code);
  EXPECT_EQ(Questions(Path("again.xlsx")), Questions(Path("drawn.xlsx")));
  EXPECT_EQ(Questions(Path("again.xlsx")).size(), 40u);
}

TEST_F(TeachersWeek, AQuestionTooLongToReadIsNamedByItsRow) {
  ProcessResult en = Tessarin({"create", "4nen.csv", "--count", "45", "-o", "en.xlsx"});
  ASSERT_EQ(en.exit_code, 0) << en.err;
  EXPECT_THAT(en.err, HasSubstr("warning: row 24: the question has 96 characters and prints at "));
  EXPECT_THAT(en.err, Not(HasSubstr("row 23:")));
  EXPECT_EQ(std::count(en.err.begin(), en.err.end(), '\n'), 1) << en.err;
  ProcessResult ja =
      Tessarin({"create", "4nen.csv", "--count", "45", "-o", "ja.xlsx"}, "ja_JP.UTF-8");
  EXPECT_THAT(ja.err, HasSubstr("警告: 24 行目: 問題文が 96 文字あり"));

  // The questions are measured beside the save on the offscreen platform, after it on any other
  // (which could fail to start): the same warning either way.
  const std::vector<std::string> args = {"create", "4nen.csv", "--count", "45", "--code", "4321"};
  auto with_out = [&](std::string out) {
    std::vector<std::string> a = args;
    a.insert(a.end(), {"-o", out});
    return a;
  };
  ProcessResult beside = Tessarin(with_out("beside.xlsx"));
  ProcessResult minimal =
      Tessarin(with_out("minimal.xlsx"), "C", "", {{"QT_QPA_PLATFORM", "minimal"}});
  ASSERT_EQ(minimal.exit_code, 0) << minimal.err;
  EXPECT_EQ(minimal.err, beside.err);
  EXPECT_EQ(minimal.err, en.err);
  EXPECT_EQ(Questions(Path("minimal.xlsx")), Questions(Path("beside.xlsx")));
}

TEST_F(TeachersWeek, AWindowSystemThatCannotStartCostsNoRecord) {
  // Qt ends the process when the platform asked for cannot start: the test is saved by then.
  ProcessResult broken =
      Tessarin({"create", "4nen.csv", "-o", "saved.xlsx"}, "C", "",
               {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(broken.exit_code, 128 + SIGABRT) << broken.err;
  ASSERT_TRUE(fs::exists(Path("saved.xlsx"))) << broken.err;
  EXPECT_EQ(Questions(Path("saved.xlsx")).size(), 40u);
}

}  // namespace
}  // namespace tessarin::cli::testing
