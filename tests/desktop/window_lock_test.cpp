// The window and the command line take turns on a workbook: the window holds the workbook lock
// of what it has open, through its saves, and refuses a file the command line is changing.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QTest>
#include <filesystem>

#include "app/desktop/main_window.h"
#include "core/host/host_error.h"
#include "core/host/workbook_lock.h"
#include "tests/cli/run_process.h"
#include "tests/desktop/modal_driver.h"
#include "tests/workbook/test_env.h"

namespace tessarin::desktop {
namespace {

namespace fs = std::filesystem;
using cli::testing::ProcessResult;
using testing::ModalDriver;
using testing::WaitFor;

class WindowLockTest : public ::testing::Test {
 protected:
  WindowLockTest() : book_(home_.path() + "/Documents/問題.xlsx") {
    fs::copy_file(TESSARIN_SAMPLE_WORKBOOK, book_);
  }

  // Starts the window and closes the file selection dialog without choosing a file.
  void StartBlank() {
    driver_.Expect("FILE_Sentaku", [](QWidget* dialog) { dialog->close(); });
    window_.Start();
    ASSERT_TRUE(WaitFor([&] { return window_.app().active_workbook() != nullptr; }));
  }

  // `tessarin mark` on the workbook, as a user runs it in a terminal meanwhile.
  ProcessResult Mark() {
    return cli::testing::RunProcess({TESSARIN_CLI_PATH, "mark", book_, "--wrong", "1"}, "",
                                    home_.path(), {});
  }

  void TriggerFileAction(const QString& text) {
    for (QAction* action : window_.menuBar()->findChildren<QAction*>()) {
      if (action->text() == text) {
        action->trigger();
        return;
      }
    }
    FAIL() << "no action " << text.toStdString();
  }

  tessarin::testing::TempHome home_;
  const std::string book_;
  ModalDriver driver_;
  MainWindow window_;
};

TEST_F(WindowLockTest, TheCommandLineRefusesAWorkbookTheWindowHasOpenUntilItIsClosed) {
  StartBlank();
  ASSERT_TRUE(window_.OpenPath(QString::fromStdString(book_)));
  const std::string refusal = "tessarin mark: " + book_ + " is being changed by another program\n";
  const auto stamp = fs::last_write_time(book_);
  ProcessResult refused = Mark();
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err, refusal);
  EXPECT_EQ(fs::last_write_time(book_), stamp);

  // A save puts a new file at the name; the window holds that one's lock.
  ASSERT_TRUE(window_.SaveActive());
  refused = Mark();
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err, refusal);

  TriggerFileAction(QStringLiteral("ブックを閉じる(&C)"));
  ASSERT_EQ(window_.app().Workbooks().Count(), 0);
  // The command line now gets its turn: the sample has no test sheet to mark.
  ProcessResult turn = Mark();
  EXPECT_EQ(turn.exit_code, 1);
  EXPECT_NE(turn.err.find("no test sheet"), std::string::npos) << turn.err;
}

TEST_F(WindowLockTest, TheWindowRefusesAWorkbookAnotherProgramIsChanging) {
  StartBlank();
  {
    // Held as `tessarin mark` holds it while it reads, marks and saves.
    const std::unique_ptr<host::WorkbookLock> other = host::WorkbookLock::Acquire(book_);
    ASSERT_TRUE(other->held());
    EXPECT_FALSE(window_.OpenPath(QString::fromStdString(book_)));
    ASSERT_FALSE(driver_.messages.empty());
    EXPECT_NE(driver_.messages.back().find(book_ + " is being changed by another program."),
              std::string::npos)
        << driver_.messages.back();
    EXPECT_EQ(window_.app().active_workbook()->FullName().find(book_), std::string::npos);
  }
  EXPECT_TRUE(window_.OpenPath(QString::fromStdString(book_)));
  EXPECT_EQ(window_.app().active_workbook()->FullName(), book_);
}

}  // namespace
}  // namespace tessarin::desktop
