// Command: one subcommand of the `tessarin` program (one class per command).
#pragma once

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>
#include <string>

namespace tessarin::cli {

// The streams a command works on; main passes the process's own.
struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // True when the process ends once the command returns (the program's own main): a command may
  // then leave a big model to the exit, which gives its memory back at once.
  bool process_ends = false;
};

// Whole-number options are decimal: the option parser alone would read "0x10" as 16 and "010"
// as 8. Accepts an optional sign and the digits 0-9 (leading zeros are dropped before the parser
// converts them); anything else is refused with a message. Use with transform(), ahead of any
// range check.
CLI::Validator DecimalNumber();

// A file or folder option given as "" is refused ("-o ''" would otherwise mean "not given").
CLI::Validator NonEmptyPath();

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
