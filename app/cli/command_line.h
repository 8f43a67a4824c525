// The `tessarin` program: its options and subcommands.
#pragma once

#include "app/cli/command.h"

namespace tessarin::cli {

// Exit code for a command line that cannot be parsed (unknown subcommand or option, a missing
// or extra argument); the usage goes to the error stream.
inline constexpr int kExitUsage = 2;

// Parses `argv` and runs the chosen subcommand. --help and --version print to the output
// stream and return 0. Returns the process exit code.
int RunCommandLine(int argc, const char* const* argv, Streams& streams);

}  // namespace tessarin::cli
