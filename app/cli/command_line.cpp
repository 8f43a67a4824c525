// The `tessarin` program: its options and subcommands.
#include "app/cli/command_line.h"

#include <memory>
#include <string>
#include <vector>

#include "app/cli/create_command.h"
#include "app/cli/install_sample_command.h"
#include "app/cli/print_command.h"
#include "app/cli/script_command.h"
#include "core/version.h"

namespace tessarin::cli {

int RunCommandLine(int argc, const char* const* argv, Streams& streams) {
  CLI::App app("Tessarin: kanji writing tests from a workbook of questions", "tessarin");
  app.set_version_flag("--version", std::string("tessarin ") + kVersionText);
  app.require_subcommand(1);

  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(std::make_unique<ScriptCommand>());
  commands.push_back(std::make_unique<CreateCommand>());
  commands.push_back(std::make_unique<InstallSampleCommand>());
  commands.push_back(std::make_unique<PrintCommand>());
  std::vector<CLI::App*> registered;
  for (auto& command : commands) registered.push_back(command->Register(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    // help() shows the chosen subcommand's help when one was given.
    streams.out << app.help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    streams.out << app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::CallForVersion& e) {
    streams.out << e.what() << "\n";
    return 0;
  } catch (const CLI::ParseError& e) {
    // "tessarin foo" reads better as what it is than as "a subcommand is required".
    std::string message = e.what();
    if (argc > 1 && argv[1][0] != '-' && app.get_subcommands().empty()) {
      message = std::string("unknown subcommand: ") + argv[1];
    }
    streams.err << "tessarin: " << message << "\n\n" << app.help();
    return kExitUsage;
  }

  for (size_t i = 0; i < commands.size(); ++i) {
    if (registered[i]->parsed()) return commands[i]->Run(streams);
  }
  streams.err << app.help();
  return kExitUsage;
}

}  // namespace tessarin::cli
