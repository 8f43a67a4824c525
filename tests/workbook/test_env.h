// A host with a queued Ui to run the add-in against (with TempHome, a temporary home folder).
#pragma once

#include <string>
#include <vector>

#include "core/forms/queued_ui.h"
#include "core/host/application.h"
#include "core/host/running_object.h"
#include "core/workbook/kanji_module.h"
#include "tests/support/temp_home.h"

namespace tessarin::testing {

// A host with a queued user interface, and the module attached to both.
struct ScriptedHost {
  ScriptedHost() {
    host::RegisterRunningApplication(&app);
    module.XlApp = &app;
    module.ui = &ui;
    ui.set_title(std::string(workbook::kAddinTitle));  // as the add-in does when it is made
  }
  ~ScriptedHost() { host::RegisterRunningApplication(nullptr); }

  // The message boxes shown so far, as "caption|text".
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const forms::UiEvent& e : ui.Events(forms::UiEvent::Kind::kMsgBox))
      out.push_back(e.caption + "|" + e.text);
    return out;
  }

  host::Application app;
  forms::QueuedUi ui;
  workbook::KanjiModule module;
};

}  // namespace tessarin::testing
