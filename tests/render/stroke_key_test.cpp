// The stroke-order answer key: its pages for tests of several pages, and the PDF the answers
// command writes from a real test (the stroke-order font embedded, the text searchable).
#include "render/stroke_key.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/cli/command_line.h"
#include "core/host/host_error.h"
#include "render/gui_session.h"
#include "tests/support/capture.h"

namespace tessarin::render {
namespace {
namespace fs = std::filesystem;

using tessarin::testing::CaptureOutput;

std::vector<marking::KeyQuestion> Questions(int first, int count, const std::string& answer) {
  std::vector<marking::KeyQuestion> out;
  for (int i = 0; i < count; ++i) out.push_back({first + i, "ヤマにのぼる。", answer});
  return out;
}

TEST(StrokeKeyLayout, EachTestPageStartsItsOwnKeyPagesAndNothingOverflows) {
  const std::vector<std::vector<marking::KeyQuestion>> test = {
      Questions(1, 40, "山"), Questions(41, 3, "美しい"), Questions(44, 1, "")};
  const std::vector<StrokeKeyPage> pages = LayoutStrokeKey(test);
  ASSERT_GE(pages.size(), 4u);
  std::vector<size_t> seen(test.size(), 0);
  for (const StrokeKeyPage& page : pages) {
    EXPECT_FALSE(page.entries.empty());
    for (const KeyEntryPlace& entry : page.entries) {
      EXPECT_EQ(entry.question, seen[page.test_page]++) << "test order";
      EXPECT_LE(entry.box.bottom(), 842 - 36 + 0.01);
      EXPECT_GE(entry.box.top(), 36);
    }
  }
  EXPECT_EQ(seen, (std::vector<size_t>{40, 3, 1}));
  EXPECT_EQ(pages.back().test_page, 2u);
  EXPECT_EQ(pages.back().parts, 1);
  EXPECT_EQ(pages[0].parts, static_cast<int>(pages.size()) - 2);
}

TEST(StrokeKeyLayout, ALongAnswerWrapsWithinItsColumn) {
  const std::vector<StrokeKeyPage> pages =
      LayoutStrokeKey({{{1, "文", "山"}, {2, "文", "一二三四五六七八"}}});
  ASSERT_EQ(pages.size(), 1u);
  const QRectF& one = pages[0].entries[0].box;
  const QRectF& eight = pages[0].entries[1].box;
  EXPECT_EQ(one.width(), eight.width());
  EXPECT_GT(eight.height(), 2 * one.height() - 40);  // at least two lines of squares
}

// Makes a 40-question test of 80 questions from the sample workbook, then its stroke key.
class StrokeKeyPdf : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGuiApplication();
    dir_ = new std::string(fs::temp_directory_path() / ("stroke-key-" + std::to_string(getpid())));
    fs::create_directories(*dir_ + "/home");
    setenv("HOME", (*dir_ + "/home").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    const std::string book = *dir_ + "/test.xlsx";
    ASSERT_EQ(Run({"create", TESSARIN_SAMPLE_BUILT, "--code", "1234", "--count", "80", "-o",
                   book.c_str()}),
              0);
    ASSERT_EQ(Run({"answers", book.c_str(), "--strokes", (*dir_ + "/key.pdf").c_str()}), 0);
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*dir_, ignored);
    delete dir_;
  }
  static int Run(std::vector<const char*> args) {
    args.insert(args.begin(), "tessarin");
    std::istringstream in;
    std::ostringstream out, err;
    cli::Streams streams{in, out, err};
    const int code = cli::RunCommandLine(static_cast<int>(args.size()), args.data(), streams);
    EXPECT_EQ(code, 0) << err.str();
    return code;
  }
  static std::string Path(const std::string& name) { return *dir_ + "/" + name; }
  static std::string* dir_;
};
std::string* StrokeKeyPdf::dir_ = nullptr;

TEST_F(StrokeKeyPdf, TheStrokeFontIsEmbeddedAndTheAnswersReadInTestOrder) {
  const std::string fonts = CaptureOutput("pdffonts " + Path("key.pdf"));
  EXPECT_NE(fonts.find("KanjiStrokeOrders"), std::string::npos) << fonts;
  const std::string info = CaptureOutput("pdfinfo " + Path("key.pdf"));
  EXPECT_NE(info.find("595 x 842 pts (A4)"), std::string::npos) << info;
  // Two test pages give at least two key pages; the second test page starts with question 41.
  const std::string text = CaptureOutput("pdftotext -layout " + Path("key.pdf") + " -");
  const size_t first = text.find("1."), page2 = text.find("テスト 2 ページ目");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(page2, std::string::npos) << text;
  EXPECT_LT(first, text.find("40."));
  EXPECT_LT(text.find("40."), page2);
  EXPECT_LT(page2, text.find("41."));
  EXPECT_NE(text.find("80."), std::string::npos);
}

TEST(StrokeKeyWrite, NoQuestionIsAnErrorAndWritesNothing) {
  EnsureGuiApplication();
  const std::string path = (fs::temp_directory_path() / "empty-stroke-key.pdf").string();
  try {
    WriteStrokeKeyPdf("t", {}, path);
    FAIL() << "no error";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrApplicationDefined);
  }
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace tessarin::render
