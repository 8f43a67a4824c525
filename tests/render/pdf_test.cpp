// The PDF and page images of a real test: one A4 landscape page per test page, fonts embedded,
// the text extractable in reading order, and the pages looking as they did when checked by eye.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/command_line.h"
#include "core/host/application.h"
#include "core/host/range.h"
#include "core/ooxml/workbook_io.h"
#include "render/gui_session.h"
#include "render/pdf_output.h"
#include "tests/render/render_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/failing_env.h"

namespace tessarin::render {
namespace {
namespace fs = std::filesystem;

using tessarin::testing::CaptureOutput;

// The text without line breaks and spaces: pdftotext puts each character of a column on a line
// of its own. Punctuation, long vowel marks and brackets must be there: their vertical forms
// carry the ordinary glyph invisibly.
std::string Searchable(const std::string& text) {
  std::string out;
  const QList<uint> chars = QString::fromStdString(text).toUcs4();
  for (uint c : chars) {
    if (std::u32string_view(U"\n\r\f \u3000").find(char32_t(c)) != std::u32string_view::npos)
      continue;
    out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1).toStdString();
  }
  return out;
}

// Opens a saved test in `app` and returns one of its sheets.
host::Sheet OpenSheet(host::Application& app, const std::string& book, std::string_view sheet) {
  app.set_file_service(std::make_shared<ooxml::WorkbookFiles>());
  app.Workbooks().Open(book);
  return app.Sheets().Item(sheet);
}

// Makes a test from the sample workbook with the real command, into a fresh folder.
class SampleTestPdf : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGuiApplication();
    dir_ = new std::string(fs::temp_directory_path() / ("render-pdf-" + std::to_string(getpid())));
    fs::create_directories(*dir_ + "/home");
    setenv("HOME", (*dir_ + "/home").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    for (const auto& [per_page, count] : {std::pair{"40", "80"}, std::pair{"20", "60"}}) {
      const std::string pdf = *dir_ + "/test" + per_page + ".pdf";
      std::vector<const char*> args = {"tessarin", "create",     TESSARIN_SAMPLE_BUILT,
                                       "--code",   "1234",       "--count",
                                       count,      "--per-page", per_page,
                                       "-o",       pdf.c_str()};
      std::istringstream in;
      std::ostringstream out, err;
      cli::Streams streams{in, out, err};
      ASSERT_EQ(cli::RunCommandLine(static_cast<int>(args.size()), args.data(), streams), 0)
          << err.str();
    }
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*dir_, ignored);
    delete dir_;
  }
  static std::string Path(const std::string& name) { return *dir_ + "/" + name; }

  static std::string* dir_;
};
std::string* SampleTestPdf::dir_ = nullptr;

TEST_F(SampleTestPdf, OneA4LandscapePagePerTestPage) {
  for (const auto& [name, pages] : {std::pair{"test40.pdf", 2}, std::pair{"test20.pdf", 3}}) {
    const std::string info = CaptureOutput("pdfinfo -f 1 -l 99 " + Path(name));
    EXPECT_NE(info.find("Pages:           " + std::to_string(pages) + "\n"), std::string::npos)
        << info;
    for (int p = 1; p <= pages; ++p) {
      const std::string size = "Page    " + std::to_string(p) +
                               " size:  842 x 595 pts (A4)";  // whole points in the MediaBox
      EXPECT_NE(info.find(size), std::string::npos) << name << " page " << p << "\n" << info;
    }
  }
}

TEST_F(SampleTestPdf, EveryFontIsEmbedded) {
  const std::string fonts = CaptureOutput("pdffonts " + Path("test40.pdf"));
  std::istringstream lines(fonts);
  int rows = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("CID") == std::string::npos && line.find("Type") == std::string::npos) continue;
    if (line.rfind("name", 0) == 0) continue;
    ++rows;
    EXPECT_NE(line.find(" yes "), std::string::npos) << line;
  }
  EXPECT_GE(rows, 1) << fonts;
}

TEST_F(SampleTestPdf, TitleNumbersQuestionsAndIdentificationReadInOrder) {
  host::Application app;
  host::Sheet sheet = OpenSheet(app, Path("test40.xlsx"), "テスト用紙 【40】");
  const std::string text = Searchable(CaptureOutput("pdftotext -raw " + Path("test40.pdf") + " -"));
  for (int page = 0; page < 2; ++page) {
    const std::string page_text =
        Searchable(CaptureOutput("pdftotext -raw -f " + std::to_string(page + 1) + " -l " +
                                 std::to_string(page + 1) + " " + Path("test40.pdf") + " -"));
    // The page number and the title stand at the right, before the first question.
    const size_t title = page_text.find(Searchable(sheet.Range("U2").Text()));
    ASSERT_NE(title, std::string::npos) << page_text;
    EXPECT_LT(page_text.find("No." + std::to_string(page + 1)), title);
    size_t at = 0;
    EXPECT_NE(page_text.find("1234[1-240]80"), std::string::npos);
    // Each strip reads its numbers right to left, then its questions right to left.
    for (int strip = 0; strip < 2; ++strip) {
      const int row = 8 * page + 4 * strip + 2;
      for (int col = 20; col >= 1; --col) {
        const std::string number = sheet.Cells(row - 1, col).Text();
        const size_t found = page_text.find(number, at);
        ASSERT_NE(found, std::string::npos) << "number " << number << " of page " << page + 1;
        at = found + number.size();
      }
      for (int col = 20; col >= 1; --col) {
        const std::string question = Searchable(sheet.Cells(row, col).Text());
        ASSERT_FALSE(question.empty());
        const size_t found = page_text.find(question, at);
        ASSERT_NE(found, std::string::npos)
            << "question in row " << row << ", column " << col << ": " << question;
        if (strip == 0 && col == 20) {
          EXPECT_LT(title, found);
        }
        at = found + question.size();
      }
    }
  }
  EXPECT_NE(text.find("制限時間５分"), std::string::npos);
}

TEST_F(SampleTestPdf, PagesLookAsCheckedByEye) {
  for (const auto& [book, sheet_name, golden] :
       {std::tuple{"test40.xlsx", "テスト用紙 【40】", "test40-page1.png"},
        std::tuple{"test20.xlsx", "テスト用紙 【20】", "test20-page1.png"}}) {
    host::Application app;
    const host::Worksheet& sheet = OpenSheet(app, Path(book), sheet_name).worksheet();
    ExpectLooksLike(RenderPage(sheet, LayoutPrintPages(sheet), 0, 50), golden);
  }
}

TEST_F(SampleTestPdf, PageImagesAreNumberedWhenThereAreSeveral) {
  host::Application app;
  const std::vector<std::string> written = WritePageImages(
      OpenSheet(app, Path("test40.xlsx"), "テスト用紙 【40】").worksheet(), Path("page.png"), 30);
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1], Path("page-2.png"));
  const QImage image(QString::fromStdString(written[0]));
  EXPECT_EQ(image.width(), 351);  // 841.89 points at 30 dpi
  EXPECT_EQ(image.height(), 248);
}

TEST_F(SampleTestPdf, AnUnwritableTargetIsAnErrorAndLeavesNothing) {
  host::Application app;
  const host::Worksheet& sheet =
      OpenSheet(app, Path("test40.xlsx"), "テスト用紙 【40】").worksheet();
  try {
    WritePdf(sheet, Path("no-such-folder/test.pdf"));
    FAIL() << "no error";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrPathNotFound);
  }
  EXPECT_FALSE(fs::exists(Path("no-such-folder")));
}

// A full disk while the PDF or an image is written is an error, and the file printed before stays
// whole, with no temporary file beside it.
TEST_F(SampleTestPdf, AFullDiskKeepsThePreviousPdfAndImage) {
  host::Application app;
  const host::Worksheet& sheet =
      OpenSheet(app, Path("test20.xlsx"), "テスト用紙 【20】").worksheet();
  const std::string folder = Path("full");
  fs::create_directories(folder);
  WritePdf(sheet, folder + "/key.pdf");
  const std::string pdf = CaptureOutput("cat " + folder + "/key.pdf");
  for (const bool image : {false, true}) {
    SCOPED_TRACE(image);
    testing::FailingEnv full(image ? 100 : 16 * 1024, ENOSPC);
    try {
      if (image) {
        WritePageImages(sheet, folder + "/page.png", 30, full);
      } else {
        WritePdf(sheet, folder + "/key.pdf", full);
      }
      FAIL() << "no error";
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), host::kErrDiskFull) << e.description();
    }
    EXPECT_EQ(CaptureOutput("cat " + folder + "/key.pdf"), pdf);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  // A pipe in the target's place is refused, not replaced by a file.
  ASSERT_EQ(mkfifo((folder + "/pipe.pdf").c_str(), 0600), 0);
  EXPECT_THROW(WritePdf(sheet, folder + "/pipe.pdf"), host::HostError);
  EXPECT_TRUE(fs::is_fifo(folder + "/pipe.pdf"));
}

}  // namespace
}  // namespace tessarin::render
