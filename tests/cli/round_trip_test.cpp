// The loop the product exists for, through the real `tessarin` command on the sample workbook:
// make a test, show the answers, erase them, mark three questions wrong, make the next test,
// which must now hold the three.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/ooxml/workbook_io.h"
#include "run_process.h"

namespace tessarin::cli::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTestSheet = "テスト用紙 【40】";
// Rows of the sample with no marks at all, so that only the marks made here weigh.
const std::string kCleanRows = "213-238";

// The count of the first line of the mistakes report ("第 1 回目の間違い総数は、 N 問です。").
int FirstAttemptCount(const std::string& report) {
  const size_t at = report.find("、 ");
  return at == std::string::npos ? -1 : std::stoi(report.substr(at + std::string("、 ").size()));
}

class RoundTrip : public ::testing::Test {
 protected:
  RoundTrip() : home_(temp_.path() + "/home") { fs::create_directory(home_); }

  ProcessResult Tessarin(std::vector<std::string> args) {
    args.insert(args.begin(), TESSARIN_CLI_PATH);
    return RunProcess(args, "", temp_.path(),
                      {{"HOME", home_}, {"XDG_DOCUMENTS_DIR", ""}, {"XDG_CONFIG_HOME", ""}});
  }

  static std::unique_ptr<host::Workbook> Read(const std::string& path) {
    return ooxml::WorkbookFiles().Open(path);
  }

  // The texts of the questions (row 2 of each strip, columns T to A) in test order.
  static std::vector<std::string> Questions(const std::string& path) {
    auto book = Read(path);
    const host::Worksheet* sheet = book->FindSheet(kTestSheet);
    std::vector<std::string> texts;
    for (int32_t row = 2; sheet && row < 400; row += 4) {
      for (int32_t col = 20; col >= 1; --col) {
        const std::string text(sheet->TextView(row, col));
        if (text.empty()) return texts;
        texts.push_back(text);
      }
    }
    return texts;
  }

  std::string Path(const std::string& name) const { return temp_.path() + "/" + name; }

  TempFolder temp_;
  std::string home_;
};

TEST_F(RoundTrip, MarkedQuestionsComeBackInTheNextTest) {
  const std::string book = Path("ミラトス.xlsx");
  fs::copy_file(TESSARIN_SAMPLE_WORKBOOK, book);

  ProcessResult made = Tessarin({"create", book, "--code", "1234", "--count", "10", "--range",
                                 kCleanRows, "-o", Path("test.xlsx")});
  ASSERT_EQ(made.exit_code, 0) << made.err;
  const std::vector<std::string> first = Questions(Path("test.xlsx"));
  ASSERT_EQ(first.size(), 10u);

  ProcessResult shown = Tessarin({"answers", Path("test.xlsx"), "--show"});
  ASSERT_EQ(shown.exit_code, 0) << shown.err;
  EXPECT_TRUE(fs::exists(Path("test.xlsx.bak")));
  {
    auto answered = Read(Path("test.xlsx"));
    const host::Worksheet* sheet = answered->FindSheet(kTestSheet);
    for (int32_t col = 20; col >= 11; --col)
      EXPECT_FALSE(sheet->Value(3, col).IsEmpty()) << "column " << col;
  }
  ProcessResult erased = Tessarin({"answers", Path("test.xlsx"), "--erase"});
  ASSERT_EQ(erased.exit_code, 0) << erased.err;
  {
    auto blank = Read(Path("test.xlsx"));
    const host::Worksheet* sheet = blank->FindSheet(kTestSheet);
    for (int32_t col = 20; col >= 11; --col)
      EXPECT_TRUE(sheet->Value(3, col).IsEmpty()) << "column " << col;
  }

  // What the next test would hold without the marks: three questions of the first test that
  // it leaves out are the ones marked wrong.
  ProcessResult control = Tessarin({"create", Path("test.xlsx"), "--code", "5678", "--count", "10",
                                    "--range", kCleanRows, "-o", Path("control.xlsx")});
  ASSERT_EQ(control.exit_code, 0) << control.err;
  const std::vector<std::string> unmarked = Questions(Path("control.xlsx"));
  std::vector<std::string> marked;
  std::string numbers;
  for (size_t i = 0; i < first.size() && marked.size() < 3; ++i) {
    if (std::find(unmarked.begin(), unmarked.end(), first[i]) != unmarked.end()) continue;
    marked.push_back(first[i]);
    numbers += (numbers.empty() ? "" : ",") + std::to_string(i + 1);
  }
  ASSERT_EQ(marked.size(), 3u) << "the control test holds most of the first test";

  ProcessResult before = Tessarin({"report", Path("test.xlsx"), "mistakes"});
  ASSERT_EQ(before.exit_code, 0) << before.err;
  ProcessResult mark = Tessarin({"mark", Path("test.xlsx"), "--wrong", numbers});
  ASSERT_EQ(mark.exit_code, 0) << mark.err;
  EXPECT_NE(mark.out.find("marked wrong"), std::string::npos) << mark.out;

  ProcessResult next = Tessarin({"create", Path("test.xlsx"), "--code", "5678", "--count", "10",
                                 "--range", kCleanRows, "-o", Path("next.xlsx")});
  ASSERT_EQ(next.exit_code, 0) << next.err;
  const std::vector<std::string> second = Questions(Path("next.xlsx"));
  for (const std::string& text : marked) {
    EXPECT_NE(std::find(second.begin(), second.end(), text), second.end())
        << text << " is missing from the next test";
  }

  ProcessResult after = Tessarin({"report", Path("test.xlsx"), "mistakes"});
  ASSERT_EQ(after.exit_code, 0) << after.err;
  EXPECT_EQ(FirstAttemptCount(after.out), FirstAttemptCount(before.out) + 3)
      << before.out << after.out;
}

// pdftotext's text with the line breaks and spaces between the characters of vertical columns
// taken out, so that a vertically printed word can be searched for.
std::string PdfText(const std::string& pdf) {
  const std::string text = RunProcess({"/usr/bin/pdftotext", "-raw", pdf, "-"}, "", ".", {}).out;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "\u3000") == 0) {
      i += 2;
    } else if (std::string_view("\n\r\f ").find(text[i]) == std::string_view::npos) {
      out += text[i];
    }
  }
  return out;
}

TEST_F(RoundTrip, AnswerKeyPrintsTheTestSheetWithItsAnswers) {
  const std::string book = Path("ミラトス.xlsx");
  fs::copy_file(TESSARIN_SAMPLE_WORKBOOK, book);
  ASSERT_EQ(
      Tessarin({"create", book, "--count", "5", "--range", kCleanRows, "-o", Path("test.xlsx")})
          .exit_code,
      0);
  fs::copy_file(Path("test.xlsx"), Path("other.xlsx"));

  ProcessResult erase =
      Tessarin({"answers", Path("test.xlsx"), "--erase", "--pdf", Path("key.pdf")});
  EXPECT_EQ(erase.exit_code, 2) << erase.err;
  EXPECT_FALSE(fs::exists(Path("key.pdf")));

  ProcessResult key = Tessarin({"answers", Path("test.xlsx"), "--show", "--pdf", Path("key.pdf")});
  ASSERT_EQ(key.exit_code, 0) << key.err;
  EXPECT_NE(key.out.find("Printed the answer key to " + Path("key.pdf") + " (1 page)"),
            std::string::npos)
      << key.out;
  auto answered = Read(Path("test.xlsx"));  // saved as well
  const host::Worksheet* sheet = answered->FindSheet(kTestSheet);
  const std::string text = PdfText(Path("key.pdf"));
  for (int32_t col = 20; col >= 16; --col) {
    const std::string answer(sheet->TextView(3, col));
    ASSERT_FALSE(answer.empty()) << "column " << col;
    EXPECT_NE(text.find(answer), std::string::npos)
        << answer << " is not in the answer key: " << text;
  }

  // A print that cannot be written is reported after the answers are saved.
  ProcessResult nowhere =
      Tessarin({"answers", Path("other.xlsx"), "--show", "--pdf", Path("no/such/folder/key.pdf")});
  EXPECT_EQ(nowhere.exit_code, 1);
  EXPECT_NE(nowhere.out.find("Saved"), std::string::npos) << nowhere.out;
  EXPECT_FALSE(Read(Path("other.xlsx"))->FindSheet(kTestSheet)->Value(3, 20).IsEmpty());
}

TEST_F(RoundTrip, RefusalsSaveNothingAndReportsPrintTheirTexts) {
  const std::string book = Path("ミラトス.xlsx");
  fs::copy_file(TESSARIN_SAMPLE_WORKBOOK, book);
  ASSERT_EQ(Tessarin({"create", book, "--count", "5", "-o", Path("test.xlsx")}).exit_code, 0);
  const auto before = fs::last_write_time(Path("test.xlsx"));
  ProcessResult mark = Tessarin({"mark", Path("test.xlsx"), "--wrong", "2,6"});
  EXPECT_EQ(mark.exit_code, 1);
  EXPECT_NE(mark.err.find("there is no question 6"), std::string::npos) << mark.err;
  EXPECT_EQ(fs::last_write_time(Path("test.xlsx")), before);
  EXPECT_EQ(Tessarin({"mark", Path("test.xlsx"), "--wrong", "2,3,2"}).exit_code, 2);
  EXPECT_EQ(fs::last_write_time(Path("test.xlsx")), before);
  EXPECT_EQ(Tessarin({"answers", book, "--show"}).exit_code,
            1);  // no test sheet in the source book

  ProcessResult must = Tessarin({"report", book, "must"});
  EXPECT_EQ(must.out, "必出に設定している問題数は、8 題です。\n") << must.err;
  // Every "go on?" is answered Yes, so the chain runs to the first attempt without marks; the
  // questions are left out, the closing box printed.
  ProcessResult mistakes = Tessarin({"report", book, "mistakes"});
  EXPECT_EQ(mistakes.exit_code, 0) << mistakes.err;
  EXPECT_EQ(mistakes.out,
            "第 1 回目の間違い総数は、 36 問です。\n"
            "第 2 回目の間違い総数は、 14 問です。\n"
            "第 3 回目の間違い総数は、 6 問です。\n"
            "第 4 回目の間違い総数は、 0 問です。\n"
            "これで終了します。\n");
  ProcessResult duplicates = Tessarin({"report", book, "duplicates"});
  EXPECT_EQ(duplicates.out, "重複なし\n") << duplicates.err;
}

}  // namespace
}  // namespace tessarin::cli::testing
