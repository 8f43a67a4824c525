// Helpers shared by the .xlsx tests: files, parts of a package, model comparison.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/host/workbook.h"
#include "core/ooxml/package.h"
#include "core/ooxml/xlsx.h"
#include "tests/corpus.h"

namespace tessarin::ooxml::testing {

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The corpus's folder of workbooks without a trailing "/"; "" when there is no corpus (a test
// that reads it starts with TESSARIN_REQUIRE_CORPUS()).
inline std::string CorpusDir() {
  std::string dir = test_corpus::XlsxDir();
  if (!dir.empty()) dir.pop_back();
  return dir;
}

// The parts of a package, by name.
inline std::map<std::string, std::string> Parts(const std::string& zip) {
  PackageReader reader(zip, "test.xlsx", ReadLimits{});
  return reader.parts();
}

// A package of `parts` (pairs of name and text, in a map or a vector), each deflated: what
// Parts() reads back.
template <typename NamedTexts = std::vector<std::pair<std::string, std::string>>>
std::string Zip(const NamedTexts& parts) {
  std::vector<ZipEntry> entries;
  for (const auto& [name, data] : parts) {
    ZipEntry& entry = entries.emplace_back();
    entry.name = name;
    entry.data = data;
  }
  return WriteZip(entries);
}

inline std::string Part(const std::string& zip, const std::string& name) {
  auto parts = Parts(zip);
  auto it = parts.find(name);
  return it == parts.end() ? std::string("<missing " + name + ">") : it->second;
}

// Empty when equal, else where two texts first differ, with some context.
inline std::string FirstDifference(const std::string& a, const std::string& b) {
  if (a == b) return {};
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  const size_t from = i > 80 ? i - 80 : 0;
  return "at byte " + std::to_string(i) + ":\n  " + a.substr(from, 200) + "\n  " +
         b.substr(from, 200);
}

// The parts of a one-sheet workbook whose sheet data is `sheet_data`, in archive order: content
// types, package relationships, workbook, workbook relationships, the sheet. `linked` names
// further parts the workbook links to, by relationship type ("styles", "sharedStrings") and
// target ("styles.xml"); the caller adds those parts.
std::vector<std::pair<std::string, std::string>> OneSheetBook(
    const std::string& sheet_data = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
    const std::vector<std::pair<std::string, std::string>>& linked = {});

// Compares everything the model holds of two workbooks; reports the first differences.
void ExpectSameModel(const host::Workbook& a, const host::Workbook& b);

}  // namespace tessarin::ooxml::testing

namespace tessarin::host {
inline void PrintTo(const Area& a, std::ostream* os) {
  *os << "R" << a.top << "C" << a.left << ":R" << a.bottom << "C" << a.right;
}
inline void PrintTo(const CellRef& c, std::ostream* os) { *os << "R" << c.row << "C" << c.col; }
}  // namespace tessarin::host
