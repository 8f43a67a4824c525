// The `tessarin` program: its options and subcommands.
#include "app/cli/command_line.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/class_command.h"
#include "app/cli/create_command.h"
#include "app/cli/grades_command.h"
#include "app/cli/install_sample_command.h"
#include "app/cli/marking_commands.h"
#include "app/cli/messages.h"
#include "app/cli/print_command.h"
#include "app/cli/script_command.h"
#include "core/reports/kanjidic_tables.h"
#include "core/settings/settings_file.h"
#include "core/version.h"

namespace tessarin::cli {

namespace {

// The help's own words in the user's language.
void TranslateHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  // Type names (TEXT, INT) stay as they are: the help's columns are counted in bytes.
  for (const char* label : {TrMark("Usage"), TrMark("OPTIONS"), TrMark("SUBCOMMAND"),
                            TrMark("REQUIRED"), TrMark("Positionals")}) {
    formatter->label(label, Tr(label));
  }
  app.option_defaults()->group(Tr("Options"));
  app.set_help_flag("-h,--help", Tr("Print this help message and exit"));
}

// The option parser's common refusals in the user's language; other texts stay as the parser made
// them. The first pattern the text fits wins, so the narrower ones come first.
std::string ParserMessage(const std::string& text) {
  static constexpr const char* kPatterns[] = {
      TrMark("A subcommand is required"),
      TrMark("%1 is required"),
      TrMark("%1: %2 required %3 missing"),
      TrMark("%1: Value %2 not in range %3 to %4"),
      TrMark("%1: %2 not in {%3}"),
      TrMark("The following argument was not expected: %1"),
      TrMark("The following arguments were not expected: %1"),
      TrMark("Could not convert: %1 = %2"),
  };
  for (const char* pattern : kPatterns) {
    if (std::optional<std::string> translated = TrFilled(pattern, text)) return *translated;
  }
  return text;
}

// Where the data and fonts read from the machine come from, as their licences ask.
std::string DataNotice() {
  return Tr(
      "The 2020 grade tables (grades --table 2020) are read from KANJIDIC2, the property of "
      "the Electronic Dictionary Research and Development Group (EDRDG), used in conformance "
      "with the Group's licence, Creative Commons Attribution-ShareAlike (CC BY-SA 4.0); the "
      "kanjidic-xml package installs it with its documentation and licence in %1.\n"
      "The stroke-order answer key (answers --strokes) is drawn in the KanjiStrokeOrders "
      "font (fonts-kanjistrokeorders), copyright 2004-2020 Ulrich Apel, the AAAA project and "
      "the Wadoku project, BSD-3-Clause licence.",
      {std::string(reports::kKanjidicDocs)});
}

// Why no command can run: the settings, the data folder and the sample live under the documents
// folder, and without one they would land at the root of the file system. Empty when all is well.
std::string DocumentsFolderProblem() {
  const std::string documents = settings::DocumentsFolder();
  if (documents.empty()) {
    return Tr(
        "HOME is not set, so there is no documents folder to keep the settings and the data folder "
        "in; set HOME to your home folder");
  }
  std::error_code ec;
  if (documents == "/" || !std::filesystem::is_directory(documents, ec)) {
    return Tr(
        "the documents folder %1 (from HOME or XDG_DOCUMENTS_DIR) is not a folder the settings can "
        "be kept in; set HOME to your home folder",
        {documents});
  }
  return "";
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, Streams& streams) {
  CLI::App app(Tr("Tessarin: kanji writing tests from a workbook of questions"), "tessarin");
  TranslateHelp(app);
  app.set_version_flag("--version", std::string("tessarin ") + kVersionText + "\n\n" + DataNotice(),
                       Tr("Display program version information and exit"));
  app.require_subcommand(1);

  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(std::make_unique<ScriptCommand>());
  commands.push_back(std::make_unique<CreateCommand>());
  commands.push_back(std::make_unique<GradesCommand>());
  commands.push_back(std::make_unique<InstallSampleCommand>());
  commands.push_back(std::make_unique<AnswersCommand>());
  commands.push_back(std::make_unique<MarkCommand>());
  commands.push_back(std::make_unique<ReportCommand>());
  commands.push_back(std::make_unique<PrintCommand>());
  commands.push_back(std::make_unique<ClassCommand>());
  std::vector<CLI::App*> registered;
  for (auto& command : commands) {
    registered.push_back(command->Register(app));
    registered.back()->group(Tr("Subcommands"));
    // A subcommand's own help flag was made before the option group was renamed.
    registered.back()->get_help_ptr()->group(Tr("Options"));
  }

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
    std::string message = ParserMessage(e.what());
    if (argc > 1 && argv[1][0] != '-' && app.get_subcommands().empty()) {
      message = Tr("unknown subcommand: %1", {argv[1]});
    }
    streams.err << "tessarin: " << message << "\n\n" << app.help();
    return kExitUsage;
  }

  if (std::string problem = DocumentsFolderProblem(); !problem.empty()) {
    streams.err << "tessarin: " << problem << "\n";
    return 1;
  }
  for (size_t i = 0; i < commands.size(); ++i) {
    if (registered[i]->parsed()) return commands[i]->Run(streams);
  }
  streams.err << app.help();
  return kExitUsage;
}

}  // namespace tessarin::cli
