// Session: what a front end starts to run the add-in: one host application that opens and saves
// workbook files (every save through the record guard), whose own boxes (the open-file box, the
// print preview) the front end's dialog port answers, registered as the running application the
// add-in attaches to, and the add-in object. The window and the script runner each hold one; it is
// the one place of that wiring, of running a macro by name, of the shortcut keys bound now, and of
// what a save tells the user.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/addin/tessarin.h"
#include "core/host/application.h"
#include "core/host/locking_files.h"
#include "core/host/shortcut_keys.h"
#include "core/ooxml/workbook_io.h"

namespace tessarin::forms {
class Ui;
}

namespace tessarin::addin {

// A shortcut key bound to a macro now.
struct Shortcut {
  host::KeyChord chord;
  std::string macro;
};

// What a save did, for the front end to tell.
struct SaveReport {
  std::string path;  // the file written (a .xls or text file is saved as .xlsx beside it)
  // The workbook held macros and the file written (not .xlsm) cannot: they were left out.
  bool macros_left_out = false;
};

// Whether the session holds the workbook lock of each workbook it has open (see
// host::LockingFiles). A front end that takes the lock itself around its work (the command line)
// must not: a second lock of one process on a file waits for the first.
enum class WorkbookLocks { kNone, kHold };

class Session {
 public:
  // `ui` is the front end's dialog port and must outlive the session. One session at a time:
  // the application is registered as the process's running application until destruction.
  // With WorkbookLocks::kHold opening a file another program is changing fails with HostError
  // 70 "PATH is being changed by another program.", and so does saving over one.
  explicit Session(forms::Ui& ui, WorkbookLocks locks = WorkbookLocks::kNone);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  host::Application& app() { return *app_; }
  Tessarin& addin() { return *addin_; }
  ooxml::WorkbookFiles& files() { return *files_; }

  // Runs the method a macro name stands for ("K_START"; without regard to ASCII case, as the
  // macro layer reads names) and returns its result (0, or the error number; the description
  // is addin().last_error()). nullopt, running nothing, when the name stands for no method a
  // macro can run. `method`, when given, receives the method's name.
  std::optional<int> RunMacro(std::string_view macro, std::string* method = nullptr);

  // The shortcut keys bound now, by key.
  std::vector<Shortcut> Shortcuts() const;
  // The macro bound to `chord`, or nullopt.
  std::optional<std::string> MacroFor(host::KeyChord chord) const;

  // Saves `workbook` to `path` through the workbook files (see WorkbookFiles::Save, whose
  // errors pass through) and says whether macros were left out.
  SaveReport Save(host::Workbook& workbook, const std::string& path,
                  const ooxml::SaveOptions& options = {});

  // With WorkbookLocks::kHold: lets go of the locks of workbooks closed since, so that other
  // programs may change their files; the file whose lock `workbook` holds ("" for none).
  void ReleaseClosedLocks();
  std::string LockedPath(const host::Workbook& workbook) const;

 private:
  std::shared_ptr<ooxml::WorkbookFiles> files_;
  std::shared_ptr<host::LockingFiles> locks_;  // with WorkbookLocks::kHold
  std::unique_ptr<host::Application> app_;
  std::unique_ptr<Tessarin> addin_;
};

}  // namespace tessarin::addin
