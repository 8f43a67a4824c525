// CreateCommand: `tessarin create BOOK`, makes a test from a question workbook by driving the
// test creation dialog as a user would, and keeps the learner's record in one workbook: a
// question workbook (.xlsx, .xlsm) gets the test and is saved in place (the old file kept as
// BOOK.bak); a plain list (.csv, .txt, .xls) becomes the record LIST.xlsx beside it the first
// time, and once that exists the command names it and changes nothing.
#pragma once

#include <cstdint>
#include <string>

#include "app/cli/command.h"

namespace tessarin::cli {

class CommandSession;

class CreateCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 when the test was made and saved (and printed to a PDF when asked); 1 when the add-in
  // refused, the list's record exists already, a save would lose a record or an error occurred
  // (the reason goes to the error stream); 2 for bad options.
  int Run(Streams& streams) override;

 private:
  // What one run found out, step by step.
  struct Job;

  // Each step returns 0 to go on, else the exit code after telling why on the error stream.
  int CheckOptions(Job& job);
  int ChooseTarget(Job& job);
  int OpenQuestionSheet(Job& job);
  int ChooseRange(Job& job);
  int MakeTest(Job& job);
  int SaveRecord(Job& job);
  void ReportTest(const Job& job);
  void StartLongQuestionCheck(Job& job);
  void WarnLongQuestions(Job& job);
  int PrintPdf(Job& job);
  int Fail(Job& job, const std::string& why, int code = 1);

  std::string book_;
  std::string sheet_;
  std::string range_;
  int count_ = 40;
  std::string code_;
  bool random_code_ = false;
  int per_page_ = 40;
  bool ignore_wrong_ = false;
  bool exclude_asked_ = false;
  bool must_appear_ = false;
  bool no_source_ = false;
  std::string out_;
  std::string pdf_;
  CLI::Option* code_option_ = nullptr;
  CLI::Option* pdf_option_ = nullptr;
};

}  // namespace tessarin::cli
