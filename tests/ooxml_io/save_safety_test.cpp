// Saving that no one can trick: planted links, read-only files, owners kept, bad paths, long
// names, left-over temporary files, and special files that must never be read. Where only root
// can set the scene (a file of another user), the test needs root and says so when skipped.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "core/host/host_error.h"
#include "core/ooxml/workbook_io.h"
#include "tests/error_number.h"
#include "tests/ooxml_io/test_util.h"

namespace tessarin::ooxml {
namespace {

using host::CellValue;
using ::tessarin::testing::ErrorOf;
using ::testing::ElementsAre;
using testing::FilesIn;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr uid_t kOtherUser = 65534;  // nobody
constexpr gid_t kOtherGroup = 65534;

std::unique_ptr<host::Workbook> Book(const std::string& text) {
  auto wb = std::make_unique<host::Workbook>("Book1");
  host::Worksheet& s = wb->AddSheet("S", 1);
  wb->set_active_sheet(&s);
  s.SetText(1, 1, text);
  return wb;
}

class SaveSafetyTest : public ::testing::Test {
 protected:
  std::string Text(const std::string& path) { return files_.Open(path)->Sheet(1).Value(1, 1).text; }
  TempDir dir_;
  WorkbookFiles files_;
};

TEST_F(SaveSafetyTest, LinkPlantedInASharedFolderIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a link that belongs to another user";
  const std::string shared = dir_ / "shared";
  ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  auto victim_book = Book("victim");
  const std::string victim = files_.Save(*victim_book, dir_ / "victim.xlsx");
  const std::string victim_bytes = ReadFile(victim);
  const std::string link = shared + "/report.xlsx";
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), kOtherUser, kOtherGroup), 0);

  auto mine = Book("mine");
  const host::HostError e = ErrorOf([&] { files_.Save(*mine, link, SaveOptions{.force = true}); });
  EXPECT_EQ(e.number(), host::kErrPathFileAccess);
  EXPECT_THAT(e.description(), HasSubstr("not followed"));
  EXPECT_EQ(ReadFile(victim), victim_bytes);
  EXPECT_TRUE(std::filesystem::is_symlink(link));

  // The same link made by the folder's owner is one the kernel would follow too.
  ASSERT_EQ(chown(shared.c_str(), kOtherUser, kOtherGroup), 0);
  files_.Save(*mine, link, SaveOptions{.force = true});
  EXPECT_EQ(Text(victim), "mine");
}

TEST_F(SaveSafetyTest, OwnLinkInASharedFolderIsFollowed) {
  const std::string shared = dir_ / "shared";
  ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  auto wb = Book("v1");
  const std::string real = files_.Save(*wb, dir_ / "real.xlsx");
  ASSERT_EQ(symlink(real.c_str(), (shared + "/l.xlsx").c_str()), 0);
  auto via = files_.Open(shared + "/l.xlsx");
  via->Sheet(1).SetText(1, 1, "v2");
  files_.Save(*via, shared + "/l.xlsx");
  EXPECT_EQ(Text(real), "v2");
  EXPECT_TRUE(std::filesystem::is_symlink(shared + "/l.xlsx"));
}

TEST_F(SaveSafetyTest, ReadOnlyFileIsNotReplacedEvenByRoot) {
  auto wb = Book("old");
  const std::string path = files_.Save(*wb, dir_ / "ro.xlsx");
  const std::string old_bytes = ReadFile(path);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  wb->Sheet(1).SetText(1, 1, "new");
  for (const bool force : {false, true}) {
    const host::HostError e = ErrorOf([&] { files_.Save(*wb, path, SaveOptions{.force = force}); });
    EXPECT_EQ(e.number(), host::kErrPathFileAccess);
    EXPECT_THAT(e.description(), HasSubstr("read-only"));
  }
  EXPECT_EQ(ReadFile(path), old_bytes);
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("ro.xlsx"));
}

TEST_F(SaveSafetyTest, ReplacementKeepsOwnerGroupAndMode) {
  auto wb = Book("a");
  const std::string path = files_.Save(*wb, dir_ / "b.xlsx");
  const bool root = geteuid() == 0;
  if (root) ASSERT_EQ(chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  const mode_t old_umask = umask(077);  // a narrow umask must not narrow the replacement
  wb->Sheet(1).SetText(1, 1, "b");
  files_.Save(*wb, path, SaveOptions{.force = true});
  umask(old_umask);
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written in place
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(after.st_mode & 07777, 0604u);
  EXPECT_EQ(Text(path), "b");
}

TEST_F(SaveSafetyTest, PathsThatNameNoFileAreRefused) {
  auto wb = Book("x");
  std::filesystem::create_directory(dir_ / "folder");
  struct Case {
    std::string path;
    int number;
  };
  for (const Case& c : {Case{"", host::kErrBadFileName}, Case{"/", host::kErrBadFileName},
                        Case{dir_ / "folder/", host::kErrBadFileName},
                        Case{dir_ / "folder", host::kErrPathFileAccess},
                        Case{dir_ / std::string(300, 'n'), host::kErrBadFileName}}) {
    SCOPED_TRACE(c.path);
    const host::HostError e = ErrorOf([&] { files_.Save(*wb, c.path); });
    EXPECT_EQ(e.number(), c.number) << e.description();
  }
  EXPECT_THAT(FilesIn(dir_.path()), ElementsAre("folder"));  // no folder.xlsx beside it
  EXPECT_TRUE(FilesIn(dir_ / "folder").empty());
  EXPECT_EQ(wb->name(), "Book1");
}

TEST_F(SaveSafetyTest, NameNearTheFileSystemLimitSavesTwiceWithABackup) {
  const std::string name = std::string(250, 'k') + ".xlsx";  // 255 bytes, the most a name may have
  auto wb = Book("one");
  const std::string path = files_.Save(*wb, dir_ / name);
  wb->Sheet(1).SetText(1, 1, "two");
  files_.Save(*wb, path);
  EXPECT_EQ(Text(path), "two");
  const std::string backup = WorkbookFiles::BackupPath(path);
  EXPECT_LE(std::filesystem::path(backup).filename().string().size(), 255u);
  EXPECT_EQ(files_.Open(backup)->Sheet(1).Value(1, 1), CellValue::Text("one"));
  EXPECT_EQ(FilesIn(dir_.path()).size(), 2u);
}

TEST_F(SaveSafetyTest, TemporariesOfKilledSavesAreRemovedByTheNextSave) {
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string dead = ".~tsr-" + std::to_string(gone) + "-0.tmp";
  const std::string dead_link = ".~tsr-" + std::to_string(gone) + "-1.tmp.bak";
  const std::string live = ".~tsr-" + std::to_string(getppid()) + "-0.tmp";  // a save still running
  for (const std::string& n : {dead, dead_link, live, std::string(".~tsr-notes.tmp")})
    WriteFile(dir_ / n, "partial");
  auto wb = Book("x");
  files_.Save(*wb, dir_ / "b.xlsx");
  EXPECT_THAT(FilesIn(dir_.path()),
              ::testing::UnorderedElementsAre(".~tsr-notes.tmp", live, "b.xlsx"));
}

TEST_F(SaveSafetyTest, FifoAndDevicesAreRefusedWithoutWaiting) {
  const std::string fifo = dir_ / "pipe.xlsx";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
    const host::HostError e = ErrorOf([&] { files_.Open(path); });
    EXPECT_EQ(e.number(), host::kErrPathFileAccess) << path;
    EXPECT_THAT(e.description(), HasSubstr("not a regular file"));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::seconds(5));  // never blocked on the pipe
  auto wb = Book("x");
  EXPECT_EQ(ErrorOf([&] { files_.Save(*wb, fifo); }).number(), host::kErrPathFileAccess);
}

}  // namespace
}  // namespace tessarin::ooxml
