// A scripted host to run the add-in against (with TempHome, a temporary home folder).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cli/scripted_ui.h"
#include "core/host/application.h"
#include "core/host/running_object.h"
#include "core/workbook/kanji_module.h"
#include "tests/support/temp_home.h"

namespace tessarin::testing {

// A host with a scripted user interface, and the module attached to both.
struct ScriptedHost {
  ScriptedHost() {
    ui.set_sink([this](const nlohmann::json& event) { events.push_back(event); });
    host::RegisterRunningApplication(&app);
    module.XlApp = &app;
    module.ui = &ui;
    ui.set_title(std::string(workbook::kAddinTitle));  // as the add-in does when it is made
  }
  ~ScriptedHost() { host::RegisterRunningApplication(nullptr); }

  // The message box events logged so far, as "caption|text".
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.contains("msgbox"))
        out.push_back(e["msgbox"]["caption"].get<std::string>() + "|" +
                      e["msgbox"]["text"].get<std::string>());
    }
    return out;
  }

  host::Application app;
  cli::ScriptedUi ui;
  workbook::KanjiModule module;
  std::vector<nlohmann::json> events;
};

}  // namespace tessarin::testing
