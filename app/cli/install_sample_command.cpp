// InstallSampleCommand: copies the sample workbook into the data folder.
#include "app/cli/install_sample_command.h"

#include <unistd.h>

#include <filesystem>

#include "app/cli/messages.h"
#include "core/host/host_error.h"
#include "core/settings/settings_file.h"
#include "core/workbook/file_selection.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

std::string ShippedSamplePath() {
  const std::string file_name = std::string(workbook::kSampleBaseName) + ".xlsx";
  std::vector<fs::path> candidates;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    candidates.push_back(exe.parent_path() / "../share/tessarin" / file_name);
    candidates.push_back(exe.parent_path() / "../../data" / file_name);  // the build tree
  }
#ifdef TESSARIN_SAMPLE_WORKBOOK
  candidates.emplace_back(TESSARIN_SAMPLE_WORKBOOK);
#endif
  for (const fs::path& p : candidates) {
    if (fs::is_regular_file(p, ec)) return fs::weakly_canonical(p, ec).string();
  }
  return "";
}

CLI::App* InstallSampleCommand::Register(CLI::App& app) {
  return app.add_subcommand(
      "install-sample",
      Tr("Put the sample question workbook into the data folder when it is missing "
         "and print its path"));
}

int InstallSampleCommand::Run(Streams& streams) {
  try {
    settings::SettingsFile settings;
    settings.IniFilePath();  // makes the data folder
    const std::string target = workbook::SamplePathIn(settings.DataFolderPath());
    std::error_code ec;
    if (fs::exists(target, ec)) {
      streams.err << Tr("The sample workbook is already there.") << "\n";
      streams.out << target << "\n";
      return 0;
    }
    const std::string shipped = ShippedSamplePath();
    if (shipped.empty()) {
      streams.err << "tessarin install-sample: "
                  << Tr("the shipped sample workbook was not found; build the 'sample_workbook' "
                        "target first.")
                  << "\n";
      return 1;
    }
    fs::copy_file(shipped, target, fs::copy_options::none, ec);
    if (ec) {
      streams.err << "tessarin install-sample: "
                  << Tr("cannot copy %1 to %2: %3", {shipped, target, ec.message()}) << "\n";
      return 1;
    }
    streams.err << Tr("Installed the sample workbook.") << "\n";
    streams.out << target << "\n";
    return 0;
  } catch (const host::HostError& e) {
    streams.err << "tessarin install-sample: " << HostErrorText(e.description(), e.number())
                << "\n";
    return 1;
  }
}

}  // namespace tessarin::cli
