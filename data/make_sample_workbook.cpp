// Builds the sample question workbook from data/sample_questions.tsv: the blank question sheet's
// layout and comments, then one question per row from row 1.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/runtime.h"
#include "core/ooxml/workbook_io.h"
#include "core/workbook/kanji_module.h"
#include "core/workbook/question_sheet.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, '\t')) cells.push_back(cell);
  if (!line.empty() && line.back() == '\t') cells.emplace_back();
  return cells;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessarin;
  if (argc != 3) {
    std::cerr << "usage: make_sample_workbook QUESTIONS.tsv OUT.xlsx\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "make_sample_workbook: cannot read " << argv[1] << "\n";
    return 1;
  }
  try {
    host::Application app;
    app.set_file_service(std::make_shared<ooxml::WorkbookFiles>());
    workbook::KanjiModule module;
    module.XlApp = &app;
    workbook::MakeBlankTemplate(module);
    host::Sheet sheet = app.ActiveSheet();

    std::string line;
    std::getline(in, line);  // header: grade, A .. R
    int row = 0;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      const std::vector<std::string> cells = SplitTabs(line);
      if (cells.size() != 19) {
        std::cerr << "make_sample_workbook: line " << row + 2 << " has " << cells.size()
                  << " cells, not 19\n";
        return 1;
      }
      ++row;
      for (int col = 1; col <= 18; ++col) {
        const std::string& text = cells[col];
        if (text.empty()) continue;
        host::Range cell = sheet.Cells(row, col);
        if (col == workbook::kTimesSetColumn) {
          cell.SetNumber(host::TextToLong(text));
        } else {
          cell.SetText(text);
        }
      }
    }
    app.Range("A1").Select();
    const std::string written = app.SaveWorkbookAs(app.ActiveWorkbook(), argv[2]);
    std::cout << "wrote " << row << " questions to " << written << "\n";
  } catch (const host::HostError& e) {
    std::cerr << "make_sample_workbook: error " << e.number() << ": " << e.description() << "\n";
    return 1;
  }
  return 0;
}
