// Tests of ReplaceFile, WorkbookLock and the in-memory Env they are tested on: every failure
// keeps the old file and leaves no temporary behind; refusals that root would otherwise pass.
#include "core/host/safe_replace.h"

#include <errno.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/host/host_error.h"
#include "core/host/mem_env.h"
#include "core/host/workbook_lock.h"
#include "tests/error_number.h"
#include "tests/support/failing_env.h"

namespace tessarin::host {
namespace {

using ::tessarin::testing::ErrorOf;
using ::tessarin::testing::FailingEnv;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ReplaceFileTest : public ::testing::Test {
 protected:
  ReplaceFileTest() { mem_->AddFolder("/d"); }
  std::vector<std::string> Names(const std::string& folder = "/d") {
    std::vector<std::string> names;
    mem_->ListFolder(folder, &names);
    return names;
  }
  std::shared_ptr<MemEnv> mem_ = std::make_shared<MemEnv>();
};

TEST_F(ReplaceFileTest, WritesNewAndReplacesOldKeepingOwnerModeAndBackup) {
  EXPECT_EQ(ReplaceFile(*mem_, "/d/a.pdf", "one"), "/d/a.pdf");
  mem_->AddFile("/d/a.pdf", "one", 0640, 65534, 65534);
  ReplaceOptions options;
  options.keep_backup = true;
  ReplaceFile(*mem_, "/d/a.pdf", "two", options);
  EXPECT_EQ(mem_->Content("/d/a.pdf"), "two");
  EXPECT_EQ(mem_->Content("/d/a.pdf.bak"), "one");
  FileInfo info;
  ASSERT_EQ(mem_->Stat("/d/a.pdf", &info), 0);
  EXPECT_EQ(info.uid, 65534u);
  EXPECT_EQ(info.gid, 65534u);
  EXPECT_EQ(info.mode, 0640u);
  EXPECT_THAT(Names(), ElementsAre("a.pdf", "a.pdf.bak"));
}

TEST_F(ReplaceFileTest, EveryFailingStepKeepsTheOldFileAndRemovesTheTemporary) {
  struct Case {
    size_t budget;
    int write_error, sync_error, close_error, number;
  };
  for (const Case& c :
       {Case{0, ENOSPC, 0, 0, kErrDiskFull}, Case{3, EDQUOT, 0, 0, kErrDiskFull},
        Case{SIZE_MAX, 0, EIO, 0, kErrPathFileAccess}, Case{SIZE_MAX, 0, 0, ENOSPC, kErrDiskFull},
        Case{2, EACCES, 0, 0, kErrPermissionDenied}}) {
    SCOPED_TRACE(c.budget);
    mem_->AddFile("/d/out.png", "old");
    FailingEnv failing(c.budget, c.write_error, c.sync_error, c.close_error, mem_);
    const HostError e = ErrorOf([&] { ReplaceFile(failing, "/d/out.png", "new bytes"); });
    EXPECT_EQ(e.number(), c.number) << e.description();
    EXPECT_THAT(e.description(), HasSubstr("/d/out.png"));
    EXPECT_EQ(mem_->Content("/d/out.png"), "old");
    EXPECT_THAT(Names(), ElementsAre("out.png"));
  }
}

TEST_F(ReplaceFileTest, AbandonedBeforeRenameLeavesNoTrace) {
  mem_->AddFile("/d/b.xlsx", "old");
  ReplaceOptions options;
  options.keep_backup = true;
  options.before_rename = [](const std::string&) { throw HostError(1004, "changed meanwhile"); };
  EXPECT_EQ(ErrorOf([&] { ReplaceFile(*mem_, "/d/b.xlsx", "new", options); }).number(), 1004);
  EXPECT_EQ(mem_->Content("/d/b.xlsx"), "old");
  EXPECT_THAT(Names(), ElementsAre("b.xlsx"));
}

TEST_F(ReplaceFileTest, TargetsThatAreNotWritableFilesAreRefused) {
  mem_->AddFile("/d/ro.pdf", "keep", 0444);
  mem_->AddFifo("/d/pipe.pdf");
  mem_->AddFolder("/d/folder.pdf");
  struct Case {
    std::string path;
    int number;
    std::string says;
  };
  for (const Case& c : {Case{"/d/ro.pdf", kErrPathFileAccess, "read-only"},
                        Case{"/d/pipe.pdf", kErrPathFileAccess, "not a regular file"},
                        Case{"/d/folder.pdf", kErrPathFileAccess, "folder"},
                        Case{"/nowhere/x.pdf", kErrPathNotFound, "does not exist"},
                        Case{"", kErrBadFileName, "no file name"},
                        Case{"/d/" + std::string(256, 'n'), kErrBadFileName, "255"}}) {
    SCOPED_TRACE(c.path);
    const HostError e = ErrorOf([&] { ReplaceFile(*mem_, c.path, "x"); });
    EXPECT_EQ(e.number(), c.number);
    EXPECT_THAT(e.description(), HasSubstr(c.says));
  }
  EXPECT_EQ(mem_->Content("/d/ro.pdf"), "keep");
  EXPECT_THAT(Names(), ElementsAre("folder.pdf", "pipe.pdf", "ro.pdf"));
}

TEST_F(ReplaceFileTest, LinkPlantedByAnotherUserInASharedFolderIsNotFollowed) {
  mem_->AddFolder("/tmp", 01777);
  mem_->AddFile("/etc-shadow", "root only", 0600);
  mem_->AddLink("/tmp/out.pdf", "/etc-shadow", 1000);
  const HostError e = ErrorOf([&] { ReplaceFile(*mem_, "/tmp/out.pdf", "%PDF"); });
  EXPECT_EQ(e.number(), kErrPathFileAccess);
  EXPECT_THAT(e.description(), HasSubstr("not followed"));
  EXPECT_EQ(mem_->Content("/etc-shadow"), "root only");
  // Our own link is written through, and stays a link.
  mem_->AddLink("/tmp/mine.pdf", "/d/real.pdf", 0);
  EXPECT_EQ(ReplaceFile(*mem_, "/tmp/mine.pdf", "%PDF"), "/d/real.pdf");
  EXPECT_EQ(mem_->Content("/d/real.pdf"), "%PDF");
}

TEST_F(ReplaceFileTest, NameOfTheLongestLengthIsWrittenAndBackedUp) {
  const std::string path = "/d/" + std::string(251, 'k') + ".pdf";  // 255 bytes
  ReplaceFile(*mem_, path, "one");
  ReplaceOptions options;
  options.keep_backup = true;
  ReplaceFile(*mem_, path, "two", options);
  EXPECT_EQ(mem_->Content(path), "two");
  EXPECT_EQ(mem_->Content(BackupPath(path)), "one");
  for (const std::string& name : Names()) EXPECT_LE(name.size(), 255u);
}

TEST_F(ReplaceFileTest, TemporariesOfEndedProcessesGoWithTheNextWrite) {
  // MemEnv is process 1; every other process has ended.
  mem_->AddFile("/d/.~tsr-77-0.tmp", "partial");
  mem_->AddFile("/d/.~tsr-78-3.tmp.bak", "link");
  mem_->AddFile("/d/.~tsr-1-9.tmp", "ours, being written");
  mem_->AddFile("/d/.~tsr-79-0.tmp", "another user's", 0644, 1000);
  mem_->AddFile("/d/.~tsr-notes.tmp", "not ours");
  ReplaceFile(*mem_, "/d/out.pdf", "x");
  EXPECT_THAT(Names(),
              ElementsAre(".~tsr-1-9.tmp", ".~tsr-79-0.tmp", ".~tsr-notes.tmp", "out.pdf"));
  EXPECT_TRUE(IsReplaceTemporary(".~tsr-77-0.tmp"));
  EXPECT_FALSE(IsReplaceTemporary("out.pdf.part"));
}

TEST(ReplaceFileOnDisk, ReadOnlyIsRefusedEvenForRootAndAFifoIsNeverOpened) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("replace-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/ro.pdf") << "keep";
  ASSERT_EQ(chmod((dir + "/ro.pdf").c_str(), 0444), 0);
  ASSERT_EQ(mkfifo((dir + "/pipe.pdf").c_str(), 0600), 0);
  Env& env = *Env::Default();
  EXPECT_EQ(ErrorOf([&] { ReplaceFile(env, dir + "/ro.pdf", "x"); }).number(), kErrPathFileAccess);
  EXPECT_EQ(ErrorOf([&] { ReplaceFile(env, dir + "/pipe.pdf", "x"); }).number(),
            kErrPathFileAccess);
  struct stat st;
  ASSERT_EQ(lstat((dir + "/pipe.pdf").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(ErrorOf([&] { ReplaceFile(env, "/dev/null", "x"); }).number(), kErrPathFileAccess);
  ReplaceFile(env, dir + "/new.pdf", "fresh");
  std::string text;
  FileInfo info;
  ASSERT_EQ(env.ReadFile(dir + "/new.pdf", 100, &text, &info), 0);
  EXPECT_EQ(text, "fresh");
  EXPECT_EQ(env.ReadFile(dir + "/new.pdf", 2, &text, &info), EFBIG);
  std::filesystem::remove_all(dir);
}

TEST(WorkbookLock, SecondHolderWaitsThenRefusesAndGetsItOnceReleased) {
  auto mem = std::make_shared<MemEnv>();
  mem->AddFile("/book.xlsx", "x");
  auto first = WorkbookLock::Acquire("/book.xlsx", WorkbookLock::kDefaultWait, mem);
  ASSERT_TRUE(first->held());
  const auto start = std::chrono::steady_clock::now();
  const HostError e =
      ErrorOf([&] { WorkbookLock::Acquire("/book.xlsx", std::chrono::milliseconds(100), mem); });
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(e.number(), kErrPermissionDenied);
  EXPECT_EQ(e.description(), "/book.xlsx is being changed by another program.");
  first.reset();
  EXPECT_TRUE(WorkbookLock::Acquire("/book.xlsx", std::chrono::milliseconds(0), mem)->held());
  // A missing file is not locked: opening it will say why.
  EXPECT_FALSE(WorkbookLock::Acquire("/absent.xlsx", std::chrono::milliseconds(0), mem)->held());
}

TEST(WorkbookLock, RenewFollowsTheFileOurSaveLeftAtThePath) {
  auto mem = std::make_shared<MemEnv>();
  mem->AddFile("/book.xlsx", "v1");
  auto lock = WorkbookLock::Acquire("/book.xlsx", WorkbookLock::kDefaultWait, mem);
  ReplaceFile(*mem, "/book.xlsx", "v2");  // our save: a new file takes the name
  // Until renewed, the new file is not guarded.
  ASSERT_TRUE(lock->Renew());
  EXPECT_THROW(WorkbookLock::Acquire("/book.xlsx", std::chrono::milliseconds(0), mem), HostError);
}

// Two processes each take the lock, read a counter file, add one and replace it: with the lock
// no increment is lost, as two `mark` runs on one workbook must not lose a mark.
TEST(WorkbookLock, TwoProcessesTakeTurnsAndLoseNoChange) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("lock-race-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string counter = dir + "/count";
  ReplaceFile(*Env::Default(), counter, "0");
  constexpr int kRounds = 40;
  auto work = [&] {
    for (int i = 0; i < kRounds; ++i) {
      auto lock = WorkbookLock::Acquire(counter, std::chrono::seconds(30));
      std::string text;
      FileInfo info;
      if (Env::Default()->ReadFile(counter, 100, &text, &info) != 0) _exit(3);
      std::this_thread::sleep_for(std::chrono::microseconds(200));  // widen the window
      ReplaceFile(*Env::Default(), counter, std::to_string(std::stoi(text) + 1));
    }
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    work();
    _exit(0);
  }
  work();
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string text;
  FileInfo info;
  ASSERT_EQ(Env::Default()->ReadFile(counter, 100, &text, &info), 0);
  EXPECT_EQ(text, std::to_string(2 * kRounds));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tessarin::host
