// ScriptCommand: `tessarin script [FILE]`.
#include "app/cli/script_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/cli/messages.h"
#include "app/cli/script_runner.h"

namespace tessarin::cli {

CLI::App* ScriptCommand::Register(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "script", Tr("Run a script of JSON-lines steps and write its transcript as JSON lines"));
  command->add_option("file", file_, Tr("script file; standard input when left out or \"-\""));
  return command;
}

int ScriptCommand::Run(Streams& streams) {
  if (file_.empty() || file_ == "-") {
    ScriptRunner runner(streams.out);
    return runner.Run(streams.in);
  }
  std::ifstream script(file_, std::ios::binary);
  if (!script) {
    streams.err << "tessarin script: " << Tr("cannot read %1: %2", {file_, std::strerror(errno)})
                << "\n";
    return kExitBadScript;
  }
  // A folder opens like a file here and would read as an empty script.
  std::error_code error;
  if (std::filesystem::is_directory(file_, error)) {
    streams.err << "tessarin script: " << Tr("cannot read %1: it is a folder", {file_}) << "\n";
    return kExitBadScript;
  }
  ScriptRunner runner(streams.out);
  return runner.Run(script);
}

}  // namespace tessarin::cli
