// What the status bar says after a marking or navigation command (Ctrl+N, Ctrl+H, Ctrl+J):
// read from where the user was and is, and whether the workbook changed, so the add-in's own
// dialogs and messages stay as they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/host/application.h"
#include "core/host/geometry.h"

namespace tessarin::desktop {

// Where the user is: the active sheet and cell, the test's question number there (on a test
// sheet, the number above the question's strip), and the workbook's change counter.
struct CommandScene {
  std::string sheet;
  host::CellRef cell;
  std::optional<int> number;
  uint64_t changes = 0;
};

// The scene of `app` now; an empty sheet name when no workbook is open.
CommandScene SceneOf(host::Application& app);

// The status text after `macro` ran from `before` to `after` and returned 0 ("問 5 を間違いとして
// 記録しました"); "" when there is nothing to say (another macro, or the command only told the
// user something in a message box).
std::string StatusAfter(std::string_view macro, const CommandScene& before,
                        const CommandScene& after);

}  // namespace tessarin::desktop
