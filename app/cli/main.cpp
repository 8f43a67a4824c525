// The `tessarin` command.
#include <iostream>

#include "app/cli/command_line.h"
#include "app/cli/messages.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  tessarin::cli::InitMessages();
  tessarin::cli::Streams streams{std::cin, std::cout, std::cerr};
  return tessarin::cli::RunCommandLine(argc, argv, streams);
}
