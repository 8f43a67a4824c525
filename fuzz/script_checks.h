// What the script fuzz target checks for one script; shared with the regression test, which
// replays fuzz/regressions/script_line_fuzzer/* in the ordinary build. A failed check aborts.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>

#include "app/cli/script_runner.h"
#include "core/host/text_encoding.h"

namespace tessarin::fuzz {

// A scratch folder that is the current folder and HOME, so the files a script names by a
// relative path or under "~" land there.
inline const std::filesystem::path& ScriptScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "script-fuzz.XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    setenv("HOME", tmpl.c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", tmpl.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (chdir(tmpl.c_str()) != 0) std::abort();
    return std::filesystem::path(tmpl);
  }();
  return folder;
}

// A script that could name a file outside the scratch folder (an absolute path, "..", an
// escaped character that might be "/") is not run: the fuzzer must not write over the machine.
inline bool StaysInScratch(std::string_view script) {
  return script.find('/') == std::string_view::npos &&
         script.find("..") == std::string_view::npos &&
         script.find("\\u") == std::string_view::npos;
}

// Runs `script` in a fresh runner. It ends with exit code 0 or 2, and every transcript line is a
// JSON object in valid UTF-8, whatever the script held.
inline void CheckScript(std::string_view script) {
  if (!StaysInScratch(script)) return;
  const std::filesystem::path& scratch = ScriptScratchFolder();
  std::ostringstream out;
  int exit_code;
  {
    cli::ScriptRunner runner(out);
    std::istringstream in{std::string(script)};
    exit_code = runner.Run(in);
  }
  if (exit_code != cli::kExitOk && exit_code != cli::kExitBadScript) std::abort();
  std::istringstream lines(out.str());
  std::string line;
  while (std::getline(lines, line)) {
    if (!host::IsValidUtf8(line)) std::abort();  // the transcript must stay readable
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_object()) std::abort();  // a line that is not one JSON object
  }
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(scratch, ec)) {
    std::filesystem::remove_all(entry.path(), ec);
  }
}

}  // namespace tessarin::fuzz
