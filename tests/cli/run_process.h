// Runs a program with a chosen environment and working folder and collects what it wrote.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tessarin::cli::testing {

struct ProcessResult {
  int exit_code = -1;  // 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

// Runs `argv[0]` with `argv`, standard input from `input`, in `cwd`, with the current
// environment changed by `env` (an empty value removes the variable). Gives up after
// `timeout_seconds` (SIGALRM ends the program: exit_code reads 128 + SIGALRM).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::string& cwd, const std::map<std::string, std::string>& env,
                         int timeout_seconds = 120);

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace tessarin::cli::testing
