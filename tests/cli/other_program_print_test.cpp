// The saved test prints in another spreadsheet program as in ours: LibreOffice converts the
// saved sample test to a PDF whose test sheet has exactly one landscape page per test page, each
// carrying its own page number. Skipped where LibreOffice or poppler-utils are not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_process.h"

namespace tessarin::cli::testing {
namespace {

namespace fs = std::filesystem;

// The program's full path from PATH, "" when it is not installed.
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

struct PdfPage {
  bool landscape = false;
  std::string text;
};

std::vector<PdfPage> ReadPdf(const std::string& pdfinfo, const std::string& pdftotext,
                             const std::string& pdf) {
  const ProcessResult info = RunProcess({pdfinfo, "-f", "1", "-l", "100000", pdf}, "", ".", {});
  EXPECT_EQ(info.exit_code, 0) << info.err;
  std::vector<PdfPage> pages;
  std::istringstream lines(info.out);
  std::string line;
  while (std::getline(lines, line)) {
    // "Page    3 size: 841.89 x 595.304 pts (A4)"
    double width = 0, height = 0;
    int number = 0;
    if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf", &number, &width, &height) != 3)
      continue;
    PdfPage page;
    page.landscape = width > height;
    const std::string n = std::to_string(number);
    page.text = RunProcess({pdftotext, "-f", n, "-l", n, pdf, "-"}, "", ".", {}).out;
    pages.push_back(page);
  }
  return pages;
}

TEST(OtherProgramPrint, LibreOfficePrintsEachTestPageOnOneSheet) {
  const std::string soffice = FindProgram("soffice");
  const std::string pdfinfo = FindProgram("pdfinfo");
  const std::string pdftotext = FindProgram("pdftotext");
  const std::string fc_list = FindProgram("fc-list");
  if (soffice.empty() || pdfinfo.empty() || pdftotext.empty() || fc_list.empty()) {
    GTEST_SKIP() << "needs soffice (libreoffice-calc-nogui), poppler-utils and fontconfig";
  }
  if (RunProcess({fc_list, "Noto Sans CJK JP", "family"}, "", ".", {}).out.empty()) {
    GTEST_SKIP() << "needs the Japanese font Noto Sans CJK JP (fonts-noto-cjk)";
  }
  TempFolder home;
  const std::map<std::string, std::string> env = {{"HOME", home.path()}, {"XDG_DOCUMENTS_DIR", ""}};
  const ProcessResult sample =
      RunProcess({TESSARIN_CLI_PATH, "install-sample"}, "", home.path(), env);
  ASSERT_EQ(sample.exit_code, 0) << sample.err;
  const std::string sample_path = sample.out.substr(0, sample.out.find('\n'));

  struct Case {
    std::string name;
    std::vector<std::string> options;
    int pages;
    std::string identification;
  };
  const std::vector<Case> cases = {
      {"forty", {"--count", "120"}, 3, "1234[1-240]120"},
      {"twenty", {"--count", "60", "--per-page", "20"}, 3, "1234[1-240]60"}};
  std::vector<std::string> convert = {soffice,
                                      "-env:UserInstallation=file://" + home.path() + "/lo-profile",
                                      "--headless",
                                      "--convert-to",
                                      "pdf",
                                      "--outdir",
                                      home.path() + "/pdf"};
  for (const Case& c : cases) {
    std::vector<std::string> create = {TESSARIN_CLI_PATH, "create", sample_path, "--code", "1234"};
    create.insert(create.end(), c.options.begin(), c.options.end());
    create.insert(create.end(), {"-o", home.path() + "/" + c.name + ".xlsx"});
    const ProcessResult made = RunProcess(create, "", home.path(), env);
    ASSERT_EQ(made.exit_code, 0) << made.err;
    convert.push_back(home.path() + "/" + c.name + ".xlsx");
  }
  // LibreOffice measures columns with the digits of the font that stands in for the workbook's
  // ＭＳ Ｐゴシック; this is the one a Japanese desktop gives it.
  std::map<std::string, std::string> office_env = env;
  office_env["FONTCONFIG_FILE"] =
      std::string(TESSARIN_SOURCE_DIR) + "/tests/cli/fontconfig/japanese-desktop.conf";
  const ProcessResult converted = RunProcess(convert, "", home.path(), office_env, 300);
  ASSERT_EQ(converted.exit_code, 0) << converted.out << converted.err;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PdfPage> pages =
        ReadPdf(pdfinfo, pdftotext, home.path() + "/pdf/" + c.name + ".pdf");
    // The question sheet prints in portrait; the test sheet's pages are the landscape ones.
    std::vector<const PdfPage*> test_pages;
    for (const PdfPage& page : pages) {
      if (page.landscape) test_pages.push_back(&page);
    }
    ASSERT_EQ(test_pages.size(), static_cast<size_t>(c.pages));
    for (size_t i = 0; i < test_pages.size(); ++i) {
      const std::string& text = test_pages[i]->text;
      EXPECT_NE(text.find("No." + std::to_string(i + 1)), std::string::npos) << text;
      EXPECT_NE(text.find(c.identification), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace tessarin::cli::testing
