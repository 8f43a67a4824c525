// InstallSampleCommand: `tessarin install-sample`, puts the shipped sample workbook into the data
// folder when the user has none there.
#pragma once

#include <string>

#include "app/cli/command.h"

namespace tessarin::cli {

// Where the shipped sample workbook is: beside the build, or installed under share/tessarin.
// Empty when it cannot be found.
std::string ShippedSamplePath();

class InstallSampleCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Prints the sample workbook's path in the data folder on the output stream (and what was done
  // on the error stream). Exit 0, or 1 when the sample is missing or cannot be copied.
  int Run(Streams& streams) override;
};

}  // namespace tessarin::cli
