// The session both front ends start: the host's boxes reach the Ui, macros run by name, the
// shortcut keys bound by start-up are listed as chords.
#include "core/addin/session.h"

#include <gtest/gtest.h>

#include "app/cli/scripted_ui.h"
#include "core/host/running_object.h"
#include "tests/workbook/test_env.h"

namespace tessarin::addin {
namespace {

class SessionTest : public ::testing::Test {
 protected:
  testing::TempHome home;
  cli::ScriptedUi ui;
  Session session{ui};
};

TEST_F(SessionTest, RunsMacrosByNameInAnyCaseAndRefusesOthers) {
  EXPECT_EQ(&host::GetRunningObject(host::kHostClassName), &session.app());
  std::string method;
  EXPECT_EQ(session.RunMacro("k_qversion", &method), 0);
  EXPECT_EQ(method, "QVersion");
  // No method, a method no macro can run (it takes the sheet's name), no "K_" prefix.
  for (const char* bad : {"K_Nothing", "K_SheetActivate", "QVersion", "K", ""}) {
    EXPECT_FALSE(session.RunMacro(bad)) << bad;
  }
}

TEST_F(SessionTest, ListsTheKeysStartUpBindsAsChords) {
  ui.QueueOpenFile(std::nullopt);  // the file dialog of start-up, cancelled
  ASSERT_EQ(session.addin().Auto_Open(), 0);
  const std::vector<Shortcut> keys = session.Shortcuts();
  EXPECT_EQ(keys.size(), session.app().shortcuts().size());
  EXPECT_EQ(session.MacroFor({'T', false}), "K_START");
  EXPECT_EQ(session.MacroFor({'T', true}), std::nullopt);
  for (const Shortcut& key : keys) {
    EXPECT_EQ(session.MacroFor(key.chord), key.macro) << host::ChordText(key.chord);
  }
  // The host's open-file box is the Ui's: with nothing queued it is cancelled.
  EXPECT_EQ(session.app().GetOpenFilename("Excel,*.xlsx"), "False");
}

}  // namespace
}  // namespace tessarin::addin
