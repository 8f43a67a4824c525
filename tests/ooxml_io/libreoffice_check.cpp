// Checks against LibreOffice: the .xlsx files we write open there with the values we meant.
// Each test batches its files into one headless soffice call per side, so the whole check takes
// well under a minute once LibreOffice's private profile exists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "core/host/host_error.h"
#include "core/ooxml/package.h"
#include "core/ooxml/workbook_io.h"
#include "core/ooxml/xlsx.h"
#include "tests/corpus.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::ooxml {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

std::string Corpus() { return test_corpus::XlsxDir(); }
// Every sheet to its own UTF-8 file (the last field, -1), cells as shown.
const char kCsvFilter[] =
    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1";

bool HaveSoffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// One LibreOffice profile for the test program, made on first use and removed at exit.
const TempDir& Profile() {
  static const TempDir profile;
  return profile;
}

// Converts every file of `in_dir` to CSV in `out_dir` in one soffice call. Returns the output
// files' contents by name ("<stem>-<sheet>.csv").
std::map<std::string, std::string> ConvertFolder(const std::string& in_dir,
                                                 const std::string& out_dir) {
  std::string command = "cd '" + in_dir +
                        "' && timeout -k 10 600 soffice -env:UserInstallation=file://" +
                        Profile().path() + " --headless --norestore --convert-to '" + kCsvFilter +
                        "' --outdir '" + out_dir + "'";
  for (const auto& name : testing::FilesIn(in_dir)) command += " '" + name + "'";
  command += " >'" + out_dir + ".log' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(out_dir + ".log");
  std::map<std::string, std::string> csv;
  if (fs::exists(out_dir)) {
    for (const auto& name : testing::FilesIn(out_dir)) csv[name] = ReadFile(out_dir + "/" + name);
  }
  return csv;
}

// Splits LibreOffice's CSV into rows of fields (double quotes, "" escapes, quoted line breaks).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false, field_started = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
        field += '"', ++i;
      else if (c == '"')
        quoted = false;
      else
        field += c;
    } else if (c == '"') {
      quoted = field_started = true;
    } else if (c == ',') {
      rows.back().push_back(field), field.clear(), field_started = false;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      rows.back().push_back(field), field.clear(), field_started = false;
      rows.emplace_back();
    } else {
      field += c, field_started = true;
    }
  }
  if (field_started || !field.empty()) rows.back().push_back(field);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

// Where two CSV texts first differ, for a readable failure.
std::string FirstDifference(const std::string& a, const std::string& b) {
  size_t line = 1, i = 0;
  for (; i < a.size() && i < b.size() && a[i] == b[i]; ++i) line += a[i] == '\n';
  auto line_at = [&](const std::string& s) {
    const size_t start = s.rfind('\n', i == 0 ? 0 : i - 1);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    return s.substr(from, s.find('\n', from) - from);
  };
  return "line " + std::to_string(line) + ":\n  original: " + line_at(a) +
         "\n  ours:     " + line_at(b);
}

// LibreOffice writes every row and column up to the last used cell; a note on the sheet's last
// cell would make a CSV of many gigabytes.
bool SmallEnoughForCsv(const host::Workbook& wb) {
  for (int i = 1; i <= wb.SheetCount(); ++i) {
    bool small = wb.Sheet(i).cells().MaxRow() <= 20000;
    wb.Sheet(i).cells().ForEachRow(1, host::kMaxRows, [&](int32_t, const host::RowData& rd) {
      if (!rd.cells.empty() && rd.cells.back().col > 1000) small = false;
    });
    if (!small) return false;
  }
  return true;
}

// Files that LibreOffice itself reads differently from the spreadsheet program that made them;
// their copies need only convert.
const std::set<std::string> kReadDifferently = {
    // D2 is an inline string that also carries a <v>: LibreOffice shows nothing, we keep "1.".
    "calamine__inlineStr_with_value.xlsx",
};

TEST(LibreOffice, CorpusCopiesConvertLikeTheOriginals) {
  TESSARIN_REQUIRE_CORPUS();
  if (!HaveSoffice()) GTEST_SKIP() << "soffice is not installed";
  TempDir dir;
  fs::create_directories(dir / "orig");
  fs::create_directories(dir / "ours");
  WorkbookFiles files;
  std::map<std::string, std::string> stems;  // f<N> -> corpus name
  for (const auto& name : testing::FilesIn(Corpus())) {
    const std::string ext = fs::path(name).extension().string();
    if (ext != ".xlsx" && ext != ".xlsm") continue;
    std::unique_ptr<host::Workbook> wb;
    try {
      wb = files.Open(Corpus() + name);
    } catch (const host::HostError&) {
      continue;  // broken and encrypted files are the corpus test's business
    }
    if (!SmallEnoughForCsv(*wb)) continue;
    const std::string stem = "f" + std::to_string(stems.size());
    stems[stem] = name;
    fs::copy_file(Corpus() + name, dir / ("orig/" + stem + ext));
    files.Save(*wb, dir / ("ours/" + stem + ext));
  }
  ASSERT_GT(stems.size(), 40u);
  const auto originals = ConvertFolder(dir / "orig", dir / "orig_csv");
  const auto ours = ConvertFolder(dir / "ours", dir / "ours_csv");
  for (const auto& [stem, name] : stems) {
    SCOPED_TRACE(name);
    std::vector<std::string> sheets_orig, sheets_ours;
    for (const auto& [csv, text] : originals) {
      if (csv.rfind(stem + "-", 0) == 0) sheets_orig.push_back(csv);
    }
    for (const auto& [csv, text] : ours) {
      if (csv.rfind(stem + "-", 0) == 0) sheets_ours.push_back(csv);
    }
    EXPECT_FALSE(sheets_orig.empty()) << "LibreOffice did not convert the original";
    EXPECT_EQ(sheets_ours, sheets_orig) << "the sheets differ";
    if (kReadDifferently.count(name)) continue;
    for (const auto& csv : sheets_orig) {
      auto it = ours.find(csv);
      if (it == ours.end()) continue;
      EXPECT_TRUE(it->second == originals.at(csv))
          << csv << " differs at " << FirstDifference(originals.at(csv), it->second);
    }
  }
}

// What LibreOffice should show for a value in a General cell.
std::string Shown(const host::CellValue& v) {
  char buf[64];
  switch (v.type) {
    case host::ValueType::kNumber:
      std::snprintf(buf, sizeof buf, "%.15g", v.number);
      return buf;
    case host::ValueType::kText:
      return v.text;
    case host::ValueType::kBoolean:
      return v.boolean ? "TRUE" : "FALSE";
    case host::ValueType::kError:
      return std::string(host::CellErrorText(v.error));
    default:
      return "";
  }
}

TEST(LibreOffice, WorkbooksWrittenFromScratchShowTheirValues) {
  if (!HaveSoffice()) GTEST_SKIP() << "soffice is not installed";
  TempDir dir;
  fs::create_directories(dir / "ours");

  host::Workbook wb("Book1");
  host::Worksheet& questions = wb.AddSheet("ミラトス問題", 1);
  host::Worksheet& test = wb.AddSheet("テスト用紙 【40】", 2);
  host::Worksheet& misc = wb.AddSheet("Sheet3", 3);
  wb.set_active_sheet(&questions);
  const char* kanji[] = {"彼は事件の真相をキュウメイする", "究明", "𠮷野家の「つけ麺」",
                         "ｶﾀｶﾅ・ひらがな〜ー", "漢字"};
  for (int row = 1; row <= 60; ++row) {
    questions.SetText(row, 4, std::string(kanji[row % 5]) + std::to_string(row));
    questions.SetText(row, 5, kanji[(row + 1) % 5]);
    if (row % 3 == 0) questions.SetText(row, 6 + row % 10, "X");
    questions.SetNumber(row, 17, row % 7);
    if (row % 11 == 0) questions.SetText(row, 18, "必出");
  }
  host::Style vertical = wb.styles().Get(host::kDefaultStyle);
  vertical.orientation = host::kXlVertical;
  vertical.horizontal = host::kXlCenter;
  vertical.borders[host::kLeft].line_style = host::kXlContinuous;
  const host::StyleId vertical_id = wb.styles().Intern(vertical);
  for (int col = 1; col <= 20; ++col) {
    test.SetText(2, col, kanji[col % 5]);
    test.SetStyle(2, col, vertical_id);
    test.SetNumber(1, col, 21 - col);
    test.SetColumnWidth(col, 4.5);
  }
  test.SetRowHeight(2, 180);
  misc.SetText(1, 1, "comma, \"quote\" and\nline break");
  misc.SetText(1, 2, "  leading spaces");
  misc.SetText(1, 3, "0427");  // text that looks like a number stays text
  misc.SetNumber(2, 1, -2.25);
  misc.SetNumber(2, 2, 1234567.5);
  misc.SetNumber(2, 3, 0.1);
  misc.SetValue(3, 1, host::CellValue::Boolean(true));
  misc.SetValue(3, 2, host::CellValue::Boolean(false));
  misc.SetText(3, 3, std::string(3000, 'a') + "末尾");
  host::Style date = wb.styles().Get(host::kDefaultStyle);
  date.number_format = "yyyy-mm-dd";  // not a built-in format, so no locale decides how it shows
  misc.SetNumber(4, 1, 45383);
  misc.SetStyle(4, 1, wb.styles().Intern(date));
  misc.SetText(4, 2,
               "del\x7F"
               "end");  // DEL is valid XML: written as itself, read as one character

  WorkbookFiles files;
  files.Save(wb, dir / "ours/book.xlsx");
  const auto csv = ConvertFolder(dir / "ours", dir / "csv");
  ASSERT_THAT(csv, ::testing::SizeIs(3));
  for (int i = 1; i <= wb.SheetCount(); ++i) {
    const host::Worksheet& sheet = wb.Sheet(i);
    SCOPED_TRACE(sheet.name());
    auto it = csv.find("book-" + sheet.name() + ".csv");
    ASSERT_NE(it, csv.end()) << "no CSV for the sheet";
    const auto rows = ParseCsv(it->second);
    const host::Area used = sheet.UsedArea();
    ASSERT_EQ(static_cast<int>(rows.size()), used.bottom);
    for (int r = 1; r <= used.bottom; ++r) {
      for (int c = 1; c <= used.right; ++c) {
        const std::string field =
            c <= static_cast<int>(rows[r - 1].size()) ? rows[r - 1][c - 1] : "";
        const std::string expected = (sheet.StyleAt(r, c).number_format == "yyyy-mm-dd")
                                         ? "2024-04-01"
                                         : Shown(sheet.Value(r, c));
        EXPECT_EQ(field, expected) << "R" << r << "C" << c;
      }
    }
  }
}

// A save that passes a big string table on as it came (counts edited in its compressed stream,
// new texts in their cells) opens in LibreOffice with every text where the model has it.
TEST(LibreOffice, KeptStringTableShowsOldAndNewTexts) {
  if (!HaveSoffice()) GTEST_SKIP() << "soffice is not installed";
  TempDir dir;
  fs::create_directories(dir / "ours");
  host::Workbook made("made.xlsx");
  host::Worksheet& sheet = made.AddSheet("ミラトス", 1);
  for (int row = 1; row <= 40000; ++row) {
    sheet.SetText(row, 4, "問題" + std::to_string(row) + "をかく。");
    sheet.SetText(row, 5, "答" + std::to_string(row % 997));
  }
  std::unique_ptr<host::Workbook> wb = ReadXlsx(WriteXlsx(made), "made.xlsx");
  host::Worksheet& q = wb->Sheet(1);
  wb->RenameSheet(q, "改名");
  q.SetText(2, 4, "新しい問題");
  q.SetText(3, 5, "答5");
  q.SetNumber(4, 17, 1);
  WorkbookFiles files;
  files.Save(*wb, dir / "ours/kept.xlsx");
  {  // The table was passed on: the new text is in its cell.
    const std::string saved = ReadFile(dir / "ours/kept.xlsx");
    PackageReader package(saved, "kept.xlsx", ReadLimits{});
    ASSERT_NE(package.Get("xl/worksheets/sheet1.xml").find("inlineStr"), std::string::npos);
  }
  const auto csv = ConvertFolder(dir / "ours", dir / "csv");
  auto it = csv.find("kept-改名.csv");
  ASSERT_NE(it, csv.end()) << "no CSV for the sheet";
  const auto rows = ParseCsv(it->second);
  ASSERT_GE(rows.size(), 40000u);
  for (int row = 1; row <= 40000; ++row) {
    for (int col : {4, 5, 17}) {
      const std::string field =
          col <= static_cast<int>(rows[row - 1].size()) ? rows[row - 1][col - 1] : "";
      ASSERT_EQ(field, Shown(q.Value(row, col))) << "R" << row << "C" << col;
    }
  }
}

}  // namespace
}  // namespace tessarin::ooxml
