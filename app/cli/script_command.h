// ScriptCommand: `tessarin script [FILE]`, the script runner over a file or standard input.
#pragma once

#include <string>

#include "app/cli/command.h"

namespace tessarin::cli {

class ScriptCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Runs the script (standard input when no file or "-" is given) and returns the runner's
  // exit code; a file that cannot be read is reported on the error stream, exit code 2.
  int Run(Streams& streams) override;

 private:
  std::string file_;
};

}  // namespace tessarin::cli
