// Helpers for the file-service tests: a scratch folder, whole-file reads and writes, cell dumps.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {

// Readable failure messages for value comparisons.
inline void PrintTo(const CellValue& v, std::ostream* os) {
  switch (v.type) {
    case ValueType::kEmpty:
      *os << "(empty)";
      break;
    case ValueType::kNumber:
      *os << "Number(" << v.number << ")";
      break;
    case ValueType::kText:
      *os << "Text(\"" << v.text << "\")";
      break;
    case ValueType::kBoolean:
      *os << (v.boolean ? "TRUE" : "FALSE");
      break;
    case ValueType::kError:
      *os << CellErrorText(v.error);
      break;
  }
}

}  // namespace tessarin::host

namespace tessarin::ooxml::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "tessarin-io-XXXXXX").string();
    path_ = mkdtemp(templ.data());
  }
  ~TempDir() {
    std::error_code ec;
    // Restore write permission first so read-only test files can be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
      chmod(entry.path().c_str(), 0700);
    }
    chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every stored value of a workbook as "Sheet!R1C1=value" lines, for whole-workbook comparisons.
inline std::string DumpValues(const host::Workbook& workbook) {
  std::ostringstream out;
  out.precision(17);
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    const host::Worksheet& sheet = workbook.Sheet(i);
    out << "[" << sheet.name() << "]\n";
    sheet.cells().ForEachCell(host::Area{1, 1, host::kMaxRows, host::kMaxColumns},
                              [&](int32_t row, const host::Cell& cell) {
                                const host::CellValue v = sheet.Value(row, cell.col);
                                if (v.IsEmpty()) return;
                                out << "R" << row << "C" << cell.col << "=";
                                switch (v.type) {
                                  case host::ValueType::kNumber:
                                    out << v.number;
                                    break;
                                  case host::ValueType::kText:
                                    out << '"' << v.text << '"';
                                    break;
                                  case host::ValueType::kBoolean:
                                    out << (v.boolean ? "TRUE" : "FALSE");
                                    break;
                                  case host::ValueType::kError:
                                    out << host::CellErrorText(v.error);
                                    break;
                                  default:
                                    break;
                                }
                                out << "\n";
                              });
  }
  return out.str();
}

}  // namespace tessarin::ooxml::testing
