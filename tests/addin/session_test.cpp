// The session both front ends start: the host's boxes reach the Ui, macros run by name, the
// shortcut keys bound by start-up are listed as chords.
#include "core/addin/session.h"

#include <gtest/gtest.h>

#include <chrono>

#include "core/forms/queued_ui.h"
#include "core/host/host_error.h"
#include "core/host/running_object.h"
#include "core/host/workbook_lock.h"
#include "tests/workbook/test_env.h"

namespace tessarin::addin {
namespace {

class SessionTest : public ::testing::Test {
 protected:
  testing::TempHome home;
  forms::QueuedUi ui;
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

// True when another program could take the lock on `path` now.
bool Free(const std::string& path) {
  try {
    return host::WorkbookLock::Acquire(path, std::chrono::milliseconds(0))->held();
  } catch (const host::HostError&) {
    return false;
  }
}

TEST(SessionLocks, AWorkbookHoldsItsFilesLockFromOpenThroughSavesUntilItCloses) {
  testing::TempHome home;
  forms::QueuedUi ui;
  Session session(ui, WorkbookLocks::kHold);
  host::Application& app = session.app();
  const std::string first = home.path() + "/first.xlsx", second = home.path() + "/second.xlsx";
  session.Save(app.Workbooks().Add(), first);
  EXPECT_FALSE(Free(first));  // a new workbook holds the file it was saved to
  app.CloseWorkbook(app.ActiveWorkbook());
  session.ReleaseClosedLocks();
  ASSERT_TRUE(Free(first));

  host::Workbook& book = app.Workbooks().Open(first);
  EXPECT_EQ(session.LockedPath(book), first);
  session.Save(book, first);  // a new file now has the name: the lock went with it
  EXPECT_FALSE(Free(first));
  session.Save(book, second);  // saved as: the old file is free, the new one held
  EXPECT_TRUE(Free(first));
  EXPECT_FALSE(Free(second));
  EXPECT_EQ(session.LockedPath(book), second);
}

TEST(SessionLocks, AFileAnotherProgramIsChangingIsNeitherOpenedNorSavedOver) {
  testing::TempHome home;
  forms::QueuedUi ui;
  Session session(ui, WorkbookLocks::kHold);
  host::Application& app = session.app();
  const std::string path = home.path() + "/book.xlsx";
  session.Save(app.Workbooks().Add(), path);
  app.CloseWorkbook(app.ActiveWorkbook());
  session.ReleaseClosedLocks();
  const std::unique_ptr<host::WorkbookLock> other = host::WorkbookLock::Acquire(path);
  ASSERT_TRUE(other->held());
  try {
    app.Workbooks().Open(path);
    ADD_FAILURE() << "opened a file another program holds";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrPermissionDenied);
    EXPECT_EQ(e.description(), path + " is being changed by another program.");
  }
  EXPECT_EQ(app.Workbooks().Count(), 0);
  EXPECT_THROW(session.Save(app.Workbooks().Add(), path), host::HostError);
}

}  // namespace
}  // namespace tessarin::addin
