// Every workbook of the corpus: opens (or is refused when the manifest says it is broken),
// and survives open-then-save with every part we do not model unchanged.
#include <filesystem>

#include "core/host/host_error.h"
#include "core/ooxml/extras.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

struct CorpusFile {
  std::string name;
  bool broken = false;
};

std::vector<CorpusFile> CorpusFiles() {
  std::vector<CorpusFile> files;
  std::istringstream manifest(ReadFileBytes(CorpusDir() + "/MANIFEST.tsv"));
  std::string line;
  std::getline(manifest, line);  // header
  while (std::getline(manifest, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    if (cols.size() < 9) continue;
    const std::string& name = cols[0];
    const std::string ext = name.substr(name.rfind('.') + 1);
    if (ext != "xlsx" && ext != "xlsm") continue;
    const std::string& exercises = cols[8];
    files.push_back(
        {name, exercises.rfind("BROKEN:", 0) == 0 || exercises.rfind("ENCRYPTED", 0) == 0});
  }
  return files;
}

void ExpectOpensOrIsRefusedClearly(const CorpusFile& f) {
  SCOPED_TRACE(f.name);
  const std::string bytes = ReadFileBytes(CorpusDir() + "/" + f.name);
  ASSERT_FALSE(bytes.empty());
  if (f.broken) {
    try {
      ReadXlsx(bytes, f.name);
      FAIL() << f.name << " opened, but it is damaged";
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), host::kErrApplicationDefined);
      EXPECT_NE(e.description().find(f.name), std::string::npos) << e.description();
    }
    return;
  }
  std::unique_ptr<host::Workbook> book;
  try {
    book = ReadXlsx(bytes, f.name);
  } catch (const host::HostError& e) {
    FAIL() << e.description();
  }
  ASSERT_GE(book->SheetCount(), 1);
  const std::string saved = WriteXlsx(*book);
  std::unique_ptr<host::Workbook> again;
  try {
    again = ReadXlsx(saved, f.name);
  } catch (const host::HostError& e) {
    FAIL() << "the saved copy does not open: " << e.description();
  }
  ExpectSameModel(*book, *again);

  // Parts we do not model come back byte for byte.
  const auto saved_parts = Parts(saved);
  for (const auto& [name, data] : PackageExtrasOf(*book)->parts) {
    auto it = saved_parts.find(name);
    ASSERT_NE(it, saved_parts.end()) << name << " was lost";
    EXPECT_EQ(FirstDifference(it->second, InflatePart(data)), "") << name << " changed";
  }
  // Saving the copy again gives the same package parts (the writer is stable).
  const auto twice = Parts(WriteXlsx(*again));
  for (const auto& [name, data] : saved_parts) {
    auto it = twice.find(name);
    ASSERT_NE(it, twice.end()) << name;
    EXPECT_EQ(FirstDifference(it->second, data), "") << name << " differs on a second save";
  }
}

// One test over every file, so the files are those of the corpus found when it runs (a list made
// when the tests are enumerated would go stale, or be empty, if the corpus came later).
TEST(Corpus, EveryFileOpensOrIsRefusedClearly) {
  TESSARIN_REQUIRE_CORPUS();
  const std::vector<CorpusFile> files = CorpusFiles();
  ASSERT_FALSE(files.empty()) << "the corpus has no MANIFEST.tsv listing its files";
  for (const CorpusFile& f : files) ExpectOpensOrIsRefusedClearly(f);
}

}  // namespace
}  // namespace tessarin::ooxml::testing
