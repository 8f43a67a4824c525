// The after-the-test subcommands, each a direct call of one of the add-in's commands:
//   tessarin answers BOOK --show [--pdf KEY.pdf] | --erase   the answers on or off the test
//                                                   sheet; --pdf prints the answer key
//   tessarin answers BOOK --strokes KEY.pdf         the stroke-order answer key (alone, it
//                                                   changes and saves nothing)
//   tessarin mark BOOK --wrong 3,7,12 | --must 5   marks questions by their number on the test
//   tessarin report BOOK mistakes | must | duplicates   prints a report
// The first two save the workbook in place (the replaced file is kept as a backup) or to -o.
#pragma once

#include <string>
#include <vector>

#include "app/cli/command.h"

namespace tessarin::cli {

// Options both workbook-changing commands share: the book, the test sheet and where to save.
struct TestSheetOptions {
  std::string book;
  int sheet = 0;  // 40 or 20; 0: the only test sheet, else the workbook's active one, else 40
  std::string out;
  void Add(CLI::App& command);
};

class AnswersCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 when the answers were shown or erased, the book saved and, with --pdf, the test
  // sheet printed with its answers, and with --strokes the stroke-order key written; 1 when the
  // add-in refused or an error occurred (the book is saved before printing, so a failed print
  // leaves the answers saved); 2 for bad options.
  int Run(Streams& streams) override;

 private:
  TestSheetOptions options_;
  bool show_ = false;
  bool erase_ = false;
  std::string pdf_;      // --pdf: where to print the test sheet with its answers
  std::string strokes_;  // --strokes: where to write the stroke-order answer key
};

class MarkCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 when every question was marked and the book saved; 1 when a number is not on the
  // test sheet, the add-in refused or an error occurred (nothing is saved then); 2 for bad
  // options.
  int Run(Streams& streams) override;

 private:
  TestSheetOptions options_;
  std::vector<int> wrong_;
  std::vector<int> must_;
};

class ReportCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Prints the report's texts; never saves. Exit 0, or 1 when the add-in refused.
  int Run(Streams& streams) override;

 private:
  std::string book_;
  std::string report_;
};

}  // namespace tessarin::cli
