// Tests of WorkbookFiles: what Open sets and refuses, and that Save never leaves a broken or
// partial file, keeps a backup, and will not silently replace a file it does not own.
#include "core/ooxml/workbook_io.h"

#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/host/host_error.h"
#include "core/ooxml/xlsx.h"
#include "tests/error_number.h"
#include "tests/ooxml_io/test_util.h"
#include "tests/support/failing_env.h"

namespace tessarin::ooxml {
namespace {

using host::CellValue;
using host::HostError;
using ::testing::ElementsAre;
using testing::FilesIn;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

using ::tessarin::testing::FailingEnv;

using ::tessarin::testing::ErrorOf;

std::unique_ptr<host::Workbook> SmallBook(const std::string& text = "漢字") {
  auto wb = std::make_unique<host::Workbook>("Book1");
  host::Worksheet& s = wb->AddSheet("問題", 1);
  wb->set_active_sheet(&s);
  s.SetText(1, 1, text);
  s.SetNumber(1, 2, 42);
  return wb;
}

// Moves the file's modification time, as another program saving it would.
void Touch(const std::string& path, int seconds_later) {
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  times[1].tv_sec += seconds_later;
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class WorkbookFilesTest : public ::testing::Test {
 protected:
  TempDir dir_;
  WorkbookFiles files_;
};

// --- Open ---

TEST_F(WorkbookFilesTest, MissingFileIsError53NamingThePath) {
  HostError e = ErrorOf([&] { files_.Open(dir_ / "absent.xlsx"); });
  EXPECT_EQ(e.number(), host::kErrFileNotFound);
  EXPECT_THAT(e.description(), HasSubstr(dir_ / "absent.xlsx"));
}

TEST_F(WorkbookFilesTest, MissingFolderIsError76) {
  EXPECT_EQ(ErrorOf([&] { files_.Open(dir_ / "no/such/book.xlsx"); }).number(),
            host::kErrPathNotFound);
}

TEST_F(WorkbookFilesTest, FolderIsNotAFile) {
  std::filesystem::create_directory(dir_ / "book.xlsx");
  HostError e = ErrorOf([&] { files_.Open(dir_ / "book.xlsx"); });
  EXPECT_EQ(e.number(), host::kErrPathFileAccess);
  EXPECT_THAT(e.description(), HasSubstr("folder"));
}

TEST_F(WorkbookFilesTest, OpenSetsNameFolderFormatStampAndSaved) {
  WriteFile(dir_ / "list.csv", "漢字,12\n");
  auto wb = files_.Open(dir_ / "list.csv");
  EXPECT_EQ(wb->name(), "list.csv");
  EXPECT_EQ(wb->path(), dir_.path());
  EXPECT_EQ(wb->file_format(), host::FileFormat::kCsv);
  EXPECT_EQ(wb->disk_stamp(), WorkbookFiles::StampOf(dir_ / "list.csv"));
  EXPECT_EQ(wb->disk_stamp().size, 10);
  EXPECT_TRUE(wb->saved());
  EXPECT_EQ(wb->Sheet(1).Value(1, 2), CellValue::Number(12));
}

TEST_F(WorkbookFilesTest, RelativePathGivesAnAbsoluteFolder) {
  WriteFile(dir_ / "t.txt", "a\tb");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  auto wb = files_.Open("./t.txt");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(wb->path(), dir_.path());
  EXPECT_EQ(wb->file_format(), host::FileFormat::kText);
  EXPECT_EQ(wb->Sheet(1).Value(1, 2), CellValue::Text("b"));
}

TEST_F(WorkbookFilesTest, ContentDecidesOverExtension) {
  // An .xls that is really a zip package opens as one; a text file named .xlsx is refused.
  const std::string xlsx = WriteXlsx(*SmallBook());
  WriteFile(dir_ / "really_xlsx.xls", xlsx);
  auto wb = files_.Open(dir_ / "really_xlsx.xls");
  EXPECT_EQ(wb->file_format(), host::FileFormat::kXlsx);
  EXPECT_EQ(wb->Sheet(1).Value(1, 1), CellValue::Text("漢字"));

  WriteFile(dir_ / "text.xlsx", "a,b,c");
  HostError e = ErrorOf([&] { files_.Open(dir_ / "text.xlsx"); });
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("not a zip package"));

  WriteFile(dir_ / "notes.dat", "a,b,c");
  EXPECT_THAT(ErrorOf([&] { files_.Open(dir_ / "notes.dat"); }).description(),
              HasSubstr("not recognised"));
}

TEST_F(WorkbookFilesTest, FileOverTheSizeLimitIsRefusedBeforeReading) {
  WorkbookFiles small(nullptr, OpenLimits{16, ReadLimits{}});
  WriteFile(dir_ / "big.csv", std::string(17, 'x'));
  HostError e = ErrorOf([&] { small.Open(dir_ / "big.csv"); });
  EXPECT_EQ(e.number(), 1004);
  EXPECT_THAT(e.description(), HasSubstr("17 bytes"));
}

// --- Save ---

TEST_F(WorkbookFilesTest, SaveWritesTheFileAndDescribesItInTheWorkbook) {
  auto wb = SmallBook();
  wb->set_saved(false);
  const std::string written = files_.Save(*wb, dir_ / "new.xlsx");
  EXPECT_EQ(written, dir_ / "new.xlsx");
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("new.xlsx"));  // no temporary file, no backup
  EXPECT_EQ(wb->name(), "new.xlsx");
  EXPECT_EQ(wb->path(), dir_.path());
  EXPECT_EQ(wb->file_format(), host::FileFormat::kXlsx);
  EXPECT_EQ(wb->disk_stamp(), WorkbookFiles::StampOf(written));
  EXPECT_TRUE(wb->saved());
  auto again = files_.Open(written);
  EXPECT_EQ(testing::DumpValues(*again), testing::DumpValues(*wb));
}

TEST_F(WorkbookFilesTest, SavingAgainKeepsThePreviousVersionAsBackup) {
  auto wb = SmallBook("first");
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  const std::string first = ReadFile(path);
  wb->Sheet(1).SetText(1, 1, "second");
  files_.Save(*wb, path);
  EXPECT_EQ(ReadFile(WorkbookFiles::BackupPath(path)), first);
  const std::string second = ReadFile(path);
  wb->Sheet(1).SetText(1, 1, "third");
  files_.Save(*wb, path);
  EXPECT_EQ(ReadFile(dir_ / "b.xlsx.bak"), second);
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("b.xlsx", "b.xlsx.bak"));
  EXPECT_EQ(files_.Open(path)->Sheet(1).Value(1, 1), CellValue::Text("third"));
}

TEST_F(WorkbookFilesTest, WithoutBackupOptionNoBackupIsMade) {
  auto wb = SmallBook();
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  files_.Save(*wb, path, SaveOptions{.force = false, .keep_backup = false});
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("b.xlsx"));
}

TEST_F(WorkbookFilesTest, FailedWriteLeavesTheOldFileAndNoPartialFile) {
  auto wb = SmallBook("old");
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  const std::string old_bytes = ReadFile(path);
  const host::FileStamp old_stamp = wb->disk_stamp();
  wb->Sheet(1).SetText(1, 1, "new");
  wb->set_saved(false);
  const size_t new_size = WriteXlsx(*wb).size();
  for (size_t budget : {size_t{0}, size_t{1}, new_size / 2, new_size - 1}) {
    SCOPED_TRACE(budget);
    WorkbookFiles failing(std::make_shared<FailingEnv>(budget, ENOSPC));
    HostError e = ErrorOf([&] { failing.Save(*wb, path); });
    EXPECT_EQ(e.number(), host::kErrDiskFull);
    EXPECT_THAT(e.description(), HasSubstr("disk is full"));
    EXPECT_THAT(e.description(), HasSubstr("not changed"));
    EXPECT_EQ(ReadFile(path), old_bytes);
    EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("b.xlsx"));
    EXPECT_FALSE(wb->saved());
    EXPECT_EQ(wb->disk_stamp(), old_stamp);
  }
}

// Kills the process with the temporary file made and its bytes on the way, as a crash or power
// cut in mid-save would (scripts/kill_save_loop.sh kills at random moments).
std::shared_ptr<FailingEnv> DyingEnv() {
  auto env = std::make_shared<FailingEnv>(SIZE_MAX, 0);
  env->before_write = [](std::string_view) { raise(SIGKILL); };
  return env;
}

TEST_F(WorkbookFilesTest, KilledSaveLeavesTheOldFileWhole) {
  auto wb = SmallBook("old");
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  const std::string old_bytes = ReadFile(path);
  wb->Sheet(1).SetText(1, 1, "new");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WorkbookFiles dying(DyingEnv());
    dying.Save(*wb, path);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ReadFile(path), old_bytes);
  EXPECT_EQ(files_.Open(path)->Sheet(1).Value(1, 1), CellValue::Text("old"));
}

TEST_F(WorkbookFilesTest, FailuresAreReportedWithTheirReason) {
  auto wb = SmallBook();
  WorkbookFiles denied(std::make_shared<FailingEnv>(10, EACCES));
  EXPECT_EQ(ErrorOf([&] { denied.Save(*wb, dir_ / "a.xlsx"); }).number(),
            host::kErrPermissionDenied);
  WorkbookFiles io(std::make_shared<FailingEnv>(SIZE_MAX, 0, EIO));  // the flush fails
  HostError e = ErrorOf([&] { io.Save(*wb, dir_ / "a.xlsx"); });
  EXPECT_EQ(e.number(), host::kErrPathFileAccess);
  EXPECT_THAT(e.description(), HasSubstr(strerror(EIO)));
  EXPECT_TRUE(FilesIn(dir_.path()).empty());
}

TEST_F(WorkbookFilesTest, FileChangedOnDiskIsNotOverwrittenUnlessForced) {
  auto wb = SmallBook("mine");
  const std::string path = files_.Save(*wb, dir_ / "shared.xlsx");
  Touch(path, 5);  // someone else saved it meanwhile
  const std::string theirs = ReadFile(path);
  try {
    files_.Save(*wb, path);
    FAIL() << "saved over a changed file";
  } catch (const SaveConflict& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_EQ(e.kind(), SaveConflict::Kind::kChangedOnDisk);
    EXPECT_EQ(e.target(), path);
    EXPECT_THAT(e.description(), HasSubstr("changed by another program"));
  }
  EXPECT_EQ(ReadFile(path), theirs);
  files_.Save(*wb, path, SaveOptions{.force = true});
  EXPECT_EQ(ReadFile(dir_ / "shared.xlsx.bak"), theirs);
  EXPECT_EQ(wb->disk_stamp(), WorkbookFiles::StampOf(path));
  EXPECT_NO_THROW(files_.Save(*wb, path));  // ours again
}

// Another program saves while our bytes are being written.
std::shared_ptr<FailingEnv> InterruptedEnv(const std::string& path) {
  auto env = std::make_shared<FailingEnv>(SIZE_MAX, 0);
  env->before_write = [path](std::string_view) { Touch(path, 7); };
  return env;
}

TEST_F(WorkbookFilesTest, FileChangedWhileSavingIsNotOverwritten) {
  auto wb = SmallBook("mine");
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  const std::string before = ReadFile(path);
  WorkbookFiles interrupted(InterruptedEnv(path));
  EXPECT_THROW(interrupted.Save(*wb, path), SaveConflict);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("b.xlsx"));
}

TEST_F(WorkbookFilesTest, OpenedFileChangedOnDiskIsDetectedToo) {
  files_.Save(*SmallBook(), dir_ / "b.xlsx");
  auto wb = files_.Open(dir_ / "b.xlsx");
  WriteFile(dir_ / "b.xlsx", WriteXlsx(*SmallBook("other content, other size")));
  EXPECT_THROW(files_.Save(*wb, dir_ / "b.xlsx"), SaveConflict);
}

TEST_F(WorkbookFilesTest, ImportedTextSavesAsXlsxBesideIt) {
  WriteFile(dir_ / "list.csv", "a,1\n");
  auto wb = files_.Open(dir_ / "list.csv");
  const std::string written = files_.Save(*wb, wb->FullName());
  EXPECT_EQ(written, dir_ / "list.xlsx");
  EXPECT_EQ(ReadFile(dir_ / "list.csv"), "a,1\n");
  EXPECT_EQ(wb->name(), "list.xlsx");
  EXPECT_EQ(wb->file_format(), host::FileFormat::kXlsx);
  EXPECT_NO_THROW(files_.Save(*wb, wb->FullName()));  // now the workbook's own file
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("list.csv", "list.xlsx", "list.xlsx.bak"));
}

TEST_F(WorkbookFilesTest, ReadOnlyXlsIsNeverWritten) {
  const std::string xls = dir_ / "old.xls";
  WriteFile(xls, ReadFile(TESSARIN_SOURCE_DIR "/tests/ooxml_io/data/values.xls"));
  chmod(xls.c_str(), 0444);
  const host::FileStamp before = WorkbookFiles::StampOf(xls);
  const std::string bytes = ReadFile(xls);
  auto wb = files_.Open(xls);
  EXPECT_EQ(wb->file_format(), host::FileFormat::kXls);
  const std::string written = files_.Save(*wb, xls);
  EXPECT_EQ(written, dir_ / "old.xlsx");
  EXPECT_EQ(ReadFile(xls), bytes);
  EXPECT_EQ(WorkbookFiles::StampOf(xls), before);
  EXPECT_EQ(files_.Open(written)->Sheet(1).Value(1, 2), CellValue::Text("漢字かな"));
}

TEST_F(WorkbookFilesTest, ImportedWorkbookDoesNotSilentlyReplaceAnotherXlsx) {
  WriteFile(dir_ / "list.csv", "new,1\n");
  const std::string other = WriteXlsx(*SmallBook("someone's workbook"));
  WriteFile(dir_ / "list.xlsx", other);
  auto wb = files_.Open(dir_ / "list.csv");
  try {
    files_.Save(*wb, wb->FullName());
    FAIL() << "replaced an unrelated workbook";
  } catch (const SaveConflict& e) {
    EXPECT_EQ(e.kind(), SaveConflict::Kind::kTargetExists);
    EXPECT_EQ(e.target(), dir_ / "list.xlsx");
  }
  EXPECT_EQ(ReadFile(dir_ / "list.xlsx"), other);
  EXPECT_EQ(wb->name(), "list.csv");  // still the imported file
  files_.Save(*wb, wb->FullName(), SaveOptions{.force = true});
  EXPECT_EQ(ReadFile(dir_ / "list.xlsx.bak"), other);
}

TEST_F(WorkbookFilesTest, SymbolicLinkIsFollowedNotReplaced) {
  std::filesystem::create_directory(dir_ / "real");
  auto wb = SmallBook("v1");
  files_.Save(*wb, dir_ / "real/b.xlsx");
  std::filesystem::create_symlink(dir_ / "real/b.xlsx", dir_ / "link.xlsx");
  auto via_link = files_.Open(dir_ / "link.xlsx");
  via_link->Sheet(1).SetText(1, 1, "v2");
  EXPECT_EQ(files_.Save(*via_link, dir_ / "link.xlsx"), dir_ / "link.xlsx");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.xlsx"));
  EXPECT_EQ(files_.Open(dir_ / "real/b.xlsx")->Sheet(1).Value(1, 1), CellValue::Text("v2"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "real/b.xlsx.bak"));
}

TEST_F(WorkbookFilesTest, PermissionsOfTheReplacedFileAreKept) {
  auto wb = SmallBook();
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  chmod(path.c_str(), 0640);
  files_.Save(*wb, path);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(WorkbookFilesTest, MissingFolderOrFolderInTheWayIsReported) {
  auto wb = SmallBook();
  EXPECT_EQ(ErrorOf([&] { files_.Save(*wb, dir_ / "nowhere/b.xlsx"); }).number(),
            host::kErrPathNotFound);
  std::filesystem::create_directory(dir_ / "taken.xlsx");
  EXPECT_EQ(ErrorOf([&] { files_.Save(*wb, dir_ / "taken.xlsx"); }).number(),
            host::kErrPathFileAccess);
  EXPECT_EQ(wb->name(), "Book1");
}

TEST_F(WorkbookFilesTest, BackupThatCannotBeMadeStopsTheSave) {
  auto wb = SmallBook("old");
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  const std::string old_bytes = ReadFile(path);
  std::filesystem::create_directory(dir_ / "b.xlsx.bak");
  std::filesystem::create_directory(
      dir_ / "b.xlsx.bak/keep");  // a non-empty folder cannot be renamed over
  wb->Sheet(1).SetText(1, 1, "new");
  HostError e = ErrorOf([&] { files_.Save(*wb, path); });
  EXPECT_NE(e.number(), 0);
  EXPECT_THAT(e.description(), HasSubstr("previous version"));
  EXPECT_EQ(ReadFile(path), old_bytes);
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("b.xlsx", "b.xlsx.bak"));
}

TEST_F(WorkbookFilesTest, UnwritableWorkbookCreatesNothing) {
  host::Workbook empty("Empty");  // no sheets: the writer refuses it
  EXPECT_THROW(files_.Save(empty, dir_ / "e.xlsx"), HostError);
  EXPECT_TRUE(FilesIn(dir_.path()).empty());
}

TEST(WorkbookFilesSaveTarget, ImportedFormatsAndMissingExtensionsBecomeXlsx) {
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/a.xls"), "/d/a.xlsx");
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/a.CSV"), "/d/a.xlsx");
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/a.txt"), "/d/a.xlsx");
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/a.xlsm"), "/d/a.xlsm");
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/a.xlsx"), "/d/a.xlsx");
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/noext"), "/d/noext.xlsx");
  EXPECT_EQ(WorkbookFiles::SaveTarget("/d/x/../v1.2.xls"), "/d/v1.2.xlsx");
}

}  // namespace
}  // namespace tessarin::ooxml
