// GradesCommand: `tessarin grades BOOK`, the kanji grade search over cells of a question
// workbook, printed as the dialog shows it, through the script runner as a user would run it.
#pragma once

#include <string>

#include "app/cli/command.h"

namespace tessarin::cli {

class GradesCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 with the report on the output stream; 1 when the add-in refused or an error
  // occurred (the reason goes to the error stream); 2 for bad options.
  int Run(Streams& streams) override;

 private:
  std::string book_;
  std::string range_;
  std::string sheet_;
  bool missing_ = false;
  int table_ = 1989;  // the school allocation: 1989 or 2020
};

}  // namespace tessarin::cli
