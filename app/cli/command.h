// Command: one subcommand of the `tessarin` program (one class per command).
#pragma once

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>

namespace tessarin::cli {

// The streams a command works on; main passes the process's own.
struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

class Command {
 public:
  virtual ~Command() = default;
  // Adds the subcommand with its options and arguments to `app`, which owns what it adds and
  // stores parsed values into this object; the object must outlive parsing.
  virtual CLI::App* Register(CLI::App& app) = 0;
  // Runs the parsed command; returns the process exit code.
  virtual int Run(Streams& streams) = 0;
};

}  // namespace tessarin::cli
