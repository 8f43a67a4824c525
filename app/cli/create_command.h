// CreateCommand: `tessarin create BOOK`, makes a test from a question workbook by driving the
// test creation dialog through the script runner, as a user would, and saves the result.
#pragma once

#include <string>

#include "app/cli/command.h"

namespace tessarin::cli {

class CreateCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 when the test was made and saved (and printed to a PDF when asked); 1 when the add-in
  // refused or an error occurred (the reason goes to the error stream); 2 for bad options.
  int Run(Streams& streams) override;

 private:
  std::string book_;
  std::string sheet_;
  std::string range_;
  int count_ = 40;
  std::string code_ = "1234";
  bool random_code_ = false;
  int per_page_ = 40;
  bool ignore_wrong_ = false;
  bool exclude_asked_ = false;
  bool must_appear_ = false;
  bool no_source_ = false;
  std::string out_;
  std::string pdf_;
  CLI::Option* pdf_option_ = nullptr;
};

}  // namespace tessarin::cli
