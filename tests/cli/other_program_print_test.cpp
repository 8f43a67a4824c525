// The saved test prints in another spreadsheet program as in ours: with the package's font rules
// LibreOffice converts the saved sample test to a PDF whose test sheet has exactly one landscape
// page per test page, each carrying its own page number. Skipped where LibreOffice,
// poppler-utils or the Japanese fonts are not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
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

// A fontconfig file of the system's rules, plus the package's font rules when `with_rules`.
std::string FontConfig(const std::string& folder, bool with_rules) {
  const std::string path = folder + (with_rules ? "/with-rules.conf" : "/without-rules.conf");
  std::ofstream out(path);
  out << "<?xml version=\"1.0\"?>\n<fontconfig>"
         "<include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>";
  if (with_rules) {
    out << "<include>" << TESSARIN_SOURCE_DIR
        << "/packaging/fontconfig/64-tessarin-japanese-fonts.conf</include>";
  }
  out << "</fontconfig>\n";
  return path;
}

// The landscape pages of each converted workbook: the question sheet prints in portrait, the
// test sheet's pages are the landscape ones.
struct Converted {
  std::string name;
  std::vector<PdfPage> test_pages;
};

TEST(OtherProgramPrint, LibreOfficePrintsEachTestPageOnOneSheetWithTheFontRules) {
  const std::string soffice = FindProgram("soffice");
  const std::string pdfinfo = FindProgram("pdfinfo");
  const std::string pdftotext = FindProgram("pdftotext");
  const std::string fc_match = FindProgram("fc-match");
  if (soffice.empty() || pdfinfo.empty() || pdftotext.empty() || fc_match.empty()) {
    GTEST_SKIP() << "needs soffice (libreoffice-calc-nogui), poppler-utils and fontconfig";
  }
  TempFolder home;
  const std::map<std::string, std::string> env = {{"HOME", home.path()}, {"XDG_DOCUMENTS_DIR", ""}};
  // What a font name of our workbooks becomes with a fontconfig file.
  auto family = [&](const std::string& config, const std::string& name) {
    std::map<std::string, std::string> e = env;
    e["FONTCONFIG_FILE"] = config;
    return RunProcess({fc_match, name, "family"}, "", home.path(), e).out;
  };
  const std::string with_rules = FontConfig(home.path(), true);
  const std::string without_rules = FontConfig(home.path(), false);
  const std::string mapped = family(with_rules, "ＭＳ Ｐゴシック");
  if (mapped.rfind("BIZ UDPGothic", 0) != 0 && mapped.rfind("Noto Sans CJK JP", 0) != 0) {
    GTEST_SKIP() << "needs the Japanese fonts the rules name (fonts-morisawa-bizud-gothic or "
                    "fonts-noto-cjk); ＭＳ Ｐゴシック is "
                 << mapped;
  }
  EXPECT_EQ(family(with_rules, "ＭＳ 明朝").rfind("BIZ UDMincho", 0), 0u);
  EXPECT_EQ(family(with_rules, "UD デジタル 教科書体 N\\-R").rfind("Klee One", 0), 0u);

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
  for (const Case& c : cases) {
    std::vector<std::string> create = {TESSARIN_CLI_PATH, "create", sample_path, "--code", "1234"};
    create.insert(create.end(), c.options.begin(), c.options.end());
    create.insert(create.end(), {"-o", home.path() + "/" + c.name + ".xlsx"});
    const ProcessResult made = RunProcess(create, "", home.path(), env);
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }
  // LibreOffice measures columns with the digits of the font that stands in for the workbook's
  // ＭＳ Ｐゴシック: the rules' Japanese font, or without them whatever the system picks.
  auto convert = [&](const std::string& config, const std::string& out) {
    std::vector<std::string> command = {
        soffice,      "-env:UserInstallation=file://" + home.path() + "/lo-profile",
        "--headless", "--convert-to",
        "pdf",        "--outdir",
        out};
    for (const Case& c : cases) command.push_back(home.path() + "/" + c.name + ".xlsx");
    std::map<std::string, std::string> office_env = env;
    office_env["FONTCONFIG_FILE"] = config;
    const ProcessResult converted = RunProcess(command, "", home.path(), office_env, 300);
    EXPECT_EQ(converted.exit_code, 0) << converted.out << converted.err;
    std::vector<Converted> books;
    for (const Case& c : cases) {
      Converted book{c.name, {}};
      for (const PdfPage& page : ReadPdf(pdfinfo, pdftotext, out + "/" + c.name + ".pdf")) {
        if (page.landscape) book.test_pages.push_back(page);
      }
      books.push_back(std::move(book));
    }
    return books;
  };

  const std::vector<Converted> with = convert(with_rules, home.path() + "/with");
  for (size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    SCOPED_TRACE(c.name);
    const std::vector<PdfPage>& pages = with[k].test_pages;
    ASSERT_EQ(pages.size(), static_cast<size_t>(c.pages));
    for (size_t i = 0; i < pages.size(); ++i) {
      EXPECT_NE(pages[i].text.find("No." + std::to_string(i + 1)), std::string::npos)
          << pages[i].text;
      EXPECT_NE(pages[i].text.find(c.identification), std::string::npos) << pages[i].text;
    }
    RecordProperty(c.name + "_sheets_with_rules", static_cast<int>(pages.size()));
  }

  // Without the rules, where the system has no Japanese font for the name, the wider Latin
  // digits push every test page over its sheet: the rules are what makes it fit.
  const std::string fallback = family(without_rules, "ＭＳ Ｐゴシック");
  const std::vector<Converted> without = convert(without_rules, home.path() + "/without");
  for (size_t k = 0; k < cases.size(); ++k) {
    const size_t sheets = without[k].test_pages.size();
    std::cout << cases[k].name << ": " << cases[k].pages << " test pages print on "
              << with[k].test_pages.size() << " sheets with the font rules, " << sheets
              << " without (ＭＳ Ｐゴシック is then " << fallback.substr(0, fallback.find('\n'))
              << ")\n";
    RecordProperty(cases[k].name + "_sheets_without_rules", static_cast<int>(sheets));
    if (fallback.find("CJK") == std::string::npos && fallback.find("BIZ") == std::string::npos) {
      EXPECT_GT(sheets, static_cast<size_t>(cases[k].pages)) << cases[k].name;
    }
  }
}

}  // namespace
}  // namespace tessarin::cli::testing
