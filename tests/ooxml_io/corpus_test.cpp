// Every workbook of the corpus (files made by other programs) opens through WorkbookFiles
// and saves as .xlsx with the same values, or is refused with a clear error where MANIFEST.tsv
// marks it broken or encrypted.
#include "tests/corpus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/host/host_error.h"
#include "core/ooxml/workbook_io.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::ooxml {
namespace {

using host::CellValue;
using ::testing::HasSubstr;

std::string Corpus() { return test_corpus::XlsxDir(); }

struct CorpusFile {
  std::string name;
  std::string exercises;
  // "BROKEN-ish" files are damaged in a way a reader may tolerate: open or a clear refusal.
  bool MustRefuse() const {
    return (exercises.rfind("BROKEN", 0) == 0 && exercises.rfind("BROKEN-ish", 0) != 0) ||
           exercises.rfind("ENCRYPTED", 0) == 0;
  }
  bool MayRefuse() const { return MustRefuse() || exercises.rfind("BROKEN-ish", 0) == 0; }
};

std::vector<CorpusFile> Manifest() {
  std::vector<CorpusFile> files;
  std::ifstream in(Corpus() + "MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      cols.push_back(line.substr(start, tab - start));
    cols.push_back(line.substr(start));
    if (cols.size() >= 9) files.push_back({cols[0], cols[8]});
  }
  return files;
}

TEST(Corpus, ManifestCoversEveryFile) {
  TESSARIN_REQUIRE_CORPUS();
  std::vector<std::string> listed;
  for (const auto& f : Manifest()) listed.push_back(f.name);
  for (const auto& entry : std::filesystem::directory_iterator(Corpus())) {
    const std::string name = entry.path().filename().string();
    if (name == "MANIFEST.tsv") continue;
    EXPECT_THAT(listed, ::testing::Contains(name));
  }
}

void ExpectOpensAndSavesOrIsRefusedClearly(const CorpusFile& file) {
  SCOPED_TRACE(file.name);
  testing::TempDir dir;
  const std::string copy = dir / file.name;
  testing::WriteFile(copy, testing::ReadFile(Corpus() + file.name));
  WorkbookFiles files;
  std::unique_ptr<host::Workbook> wb;
  try {
    wb = files.Open(copy);
  } catch (const host::HostError& e) {
    ASSERT_TRUE(file.MayRefuse()) << "refused: " << e.description();
    EXPECT_EQ(e.number(), 1004);
    EXPECT_THAT(e.description(), HasSubstr(file.name));
    return;
  }
  ASSERT_FALSE(file.MustRefuse()) << "opened a file marked " << file.exercises.substr(0, 10);
  ASSERT_GE(wb->SheetCount(), 1);
  EXPECT_EQ(wb->name(), file.name);
  EXPECT_EQ(wb->path(), dir.path());
  ASSERT_NE(wb->active_sheet(), nullptr);

  const std::string values = testing::DumpValues(*wb);
  const std::string saved = files.Save(*wb, copy);
  EXPECT_EQ(std::filesystem::path(saved).extension() == ".xlsm",
            std::filesystem::path(copy).extension() == ".xlsm");
  EXPECT_EQ(testing::DumpValues(*files.Open(saved)), values);
}

// One test over every file, so the files are those of the corpus found when it runs (a list made
// when the tests are enumerated would go stale, or be empty, if the corpus came later).
TEST(Corpus, EveryFileOpensAndSavesOrIsRefusedClearly) {
  TESSARIN_REQUIRE_CORPUS();
  const std::vector<CorpusFile> files = Manifest();
  ASSERT_FALSE(files.empty()) << "the corpus has no MANIFEST.tsv listing its files";
  for (const CorpusFile& file : files) ExpectOpensAndSavesOrIsRefusedClearly(file);
}

// The same sample saved by the spreadsheet program as .xls, .xlsx and "Unicode text" reads the
// same.
TEST(Corpus, UnicodeTextExportMatchesTheWorkbook) {
  TESSARIN_REQUIRE_CORPUS();
  const std::string corpus = Corpus();
  WorkbookFiles files;
  auto text = files.Open(corpus + "sheetjs__phonetic_text.txt");
  auto xlsx = files.Open(corpus + "sheetjs__phonetic_text.xlsx");
  // The reading over 漢字 is a phonetic run, never part of the text.
  EXPECT_EQ(text->Sheet(1).Value(1, 1), CellValue::Text("漢字"));
  EXPECT_EQ(text->Sheet(1).Value(1, 1), xlsx->Sheet(1).Value(1, 1));
  EXPECT_EQ(text->Sheet(1).Value(2, 1), xlsx->Sheet(1).Value(2, 1));

  auto tsv = files.Open(corpus + "sheetjs__text_and_numbers.txt");
  auto xls = files.Open(corpus + "sheetjs__text_and_numbers.xls");
  for (int row = 1; row <= 5; ++row) {
    for (int col = 1; col <= 5; ++col) {
      if (row == 4 && col == 3) continue;  // exported as the displayed " $1,337.00 "
      EXPECT_EQ(tsv->Sheet(1).Value(row, col), xls->Sheet(1).Value(row, col))
          << "R" << row << "C" << col;
    }
  }
  EXPECT_EQ(tsv->Sheet(1).Value(2, 2), CellValue::Text("שלום"));
  EXPECT_EQ(tsv->Sheet(1).Value(4, 3), CellValue::Text(" $1,337.00 "));
}

TEST(Corpus, UnicodeTextExportGivesTypedValues) {
  TESSARIN_REQUIRE_CORPUS();
  auto wb = WorkbookFiles().Open(Corpus() + "sheetjs__write.txt");
  const host::Worksheet& s = wb->Sheet(1);
  EXPECT_EQ(s.name(), "sheetjs__write");
  EXPECT_EQ(s.Value(1, 3), CellValue::Number(3));
  EXPECT_EQ(s.Value(2, 1), CellValue::Boolean(true));
  EXPECT_EQ(s.Value(2, 2), CellValue::Boolean(false));
  EXPECT_EQ(s.Value(2, 4), CellValue::Text("sheetjs"));
  EXPECT_EQ(s.Value(3, 3),
            CellValue::Text("2/19/14"));  // dates stay text: no guessing of day order
  EXPECT_EQ(s.Value(3, 4), CellValue::Number(0.3));
  EXPECT_EQ(s.Value(4, 3), CellValue::Text("qux"));  // last line without a line end
}

}  // namespace
}  // namespace tessarin::ooxml
