// ClassCommand: `tessarin class create|mark|report DIR`, a whole class at once. DIR holds one
// question workbook per learner, named by the learner (山田花子.xlsx). create and mark run the
// create and mark subcommands on every learner's workbook, so each learner's test and marks are
// made exactly as for one learner; report reads every record and changes nothing.
//   tessarin class create DIR [--count N] [--twenty] -o CLASS.pdf
//   tessarin class mark DIR MARKS.csv        one line a learner: name,3 7 12
//   tessarin class report DIR [--pdf REPORT.pdf]
#pragma once

#include <string>
#include <vector>

#include "app/cli/command.h"

namespace tessarin::cli {

// A learner of a class folder: the workbook and the name it is known by (the file's stem).
struct Learner {
  std::string name;
  std::string book;  // absolute path
};

// The learners of `folder` in name order: its .xlsx and .xlsm files, without hidden files,
// lock files ("~$...") and backups. Throws std::filesystem::filesystem_error when the folder
// cannot be read.
std::vector<Learner> ListLearners(const std::string& folder);

// One line of a marks file: the learner's name and the numbers of their wrong answers.
struct MarkLine {
  int line = 0;  // 1-based, in the file
  std::string name;
  std::vector<int> wrong;
  std::string problem;  // why the line cannot be used; "" when it can
};

// Reads a marks file: "name,3 7 12" (numbers apart by spaces or commas; a line of a name alone
// marks nothing). Empty lines and lines starting with "#" are skipped; a UTF-8 byte order mark
// and carriage returns are ignored.
std::vector<MarkLine> ParseMarks(const std::string& text);

class ClassCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 when every learner was served; 1 when some learner's workbook or line failed (each
  // named on the error stream, the others served all the same) or the folder has no learner;
  // 2 for bad options.
  int Run(Streams& streams) override;

 private:
  int RunCreate(Streams& streams, const std::vector<Learner>& learners);
  int RunMark(Streams& streams, const std::vector<Learner>& learners);
  int RunReport(Streams& streams, const std::vector<Learner>& learners);

  CLI::App* create_ = nullptr;
  CLI::App* mark_ = nullptr;
  CLI::App* report_ = nullptr;
  std::string folder_;
  int count_ = 40;
  bool twenty_ = false;
  std::string out_;
  std::string marks_;
  std::string pdf_;
};

}  // namespace tessarin::cli
