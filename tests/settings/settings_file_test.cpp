// Tests of the settings file and of the documents folder lookup, on a temporary home folder.
#include "core/settings/settings_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "tests/support/failing_env.h"
#include "tests/support/temp_home.h"

namespace tessarin::settings {
namespace {

namespace fs = std::filesystem;
using host::HostError;

using testing::ScopedEnv;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The HostError a call throws, or nullopt.
std::optional<HostError> ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const HostError& e) {
    return e;
  }
  return std::nullopt;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  ~SettingsFileTest() override {
    std::error_code ignored;  // so that the home folder can be removed
    fs::permissions(Folder(), fs::perms::owner_all, ignored);
  }

  std::string Folder() const { return root_ + "/Documents/ミラトス保存データ"; }
  std::string Ini() const { return Folder() + "/ミラトス_設定値.ini"; }
  void WriteIni(const std::string& bytes) {
    fs::create_directories(Folder());
    WriteBytes(Ini(), bytes);
  }
  std::string ReadIni() const { return ReadBytes(Ini()); }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  testing::TempHome home_;
  const std::string root_ = home_.path();
  SettingsFile settings_;
};

// ---- Where the file lives ----

TEST_F(SettingsFileTest, DocumentsFolderPrefersEnvironment) {
  ScopedEnv docs("XDG_DOCUMENTS_DIR", (root_ + "/Papers/").c_str());
  EXPECT_EQ(DocumentsFolder(), root_ + "/Papers");
}

TEST_F(SettingsFileTest, DocumentsFolderReadsUserDirsFile) {
  fs::create_directories(root_ + "/.config");
  WriteBytes(root_ + "/.config/user-dirs.dirs",
             "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/文書\"\n");
  EXPECT_EQ(DocumentsFolder(), root_ + "/文書");

  fs::create_directories(root_ + "/cfg");
  WriteBytes(root_ + "/cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/my \\\"docs\\\"\"\n");
  ScopedEnv config("XDG_CONFIG_HOME", (root_ + "/cfg").c_str());
  EXPECT_EQ(DocumentsFolder(), "/srv/my \"docs\"");
}

TEST_F(SettingsFileTest, DocumentsFolderFallsBackToDocumentsThenHome) {
  fs::create_directories(root_ + "/.config");
  WriteBytes(root_ + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"relative/path\"\n");
  EXPECT_EQ(DocumentsFolder(), root_ + "/Documents");
  fs::remove(root_ + "/Documents");
  EXPECT_EQ(DocumentsFolder(), root_);
}

// Without a home the data folder would land at the root of the file system: refused, unmade.
TEST_F(SettingsFileTest, NoDocumentsFolderWritesNothing) {
  for (const char* home : {static_cast<const char*>(nullptr), "", "/"}) {
    ScopedEnv unset("HOME", home);
    EXPECT_EQ(DocumentsFolder(), home == nullptr ? "" : home);
    for (auto call :
         std::vector<std::function<void()>>{[&] { settings_.GetIniValue("ST", "1"); },
                                            [&] { settings_.SetIniValue("ST", "2", false); }}) {
      const auto error = ErrorOf(call);
      ASSERT_TRUE(error);
      EXPECT_EQ(error->number(), host::kErrPathNotFound);
      EXPECT_NE(error->description().find("no documents folder"), std::string::npos)
          << error->description();
    }
  }
}

TEST_F(SettingsFileTest, IniFilePathCreatesDataFolderOnly) {
  EXPECT_EQ(settings_.IniFilePath(), Ini());
  EXPECT_EQ(settings_.IniPath(), Ini());
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_FALSE(fs::exists(Ini()));
}

TEST_F(SettingsFileTest, MissingDocumentsFolderIsPathNotFound) {
  const std::string missing = root_ + "/gone/deeper";
  ScopedEnv docs("XDG_DOCUMENTS_DIR", missing.c_str());
  const auto error = ErrorOf([&] { settings_.GetIniValue("ST", "1"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathNotFound);
  EXPECT_NE(error->description().find(missing + "/ミラトス保存データ"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ + "/gone"));  // one level only, never the parents
}

TEST_F(SettingsFileTest, FileInPlaceOfDataFolderIsPathFileAccess) {
  WriteBytes(Folder(), "not a folder");
  const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "1", false); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathFileAccess);
  EXPECT_EQ(ReadBytes(Folder()), "not a folder");
}

// ---- Reading ----

TEST_F(SettingsFileTest, MissingFileGivesDefaultAndCreatesNoFile) {
  EXPECT_EQ(settings_.GetIniValue("PATH1", ""), "");
  EXPECT_EQ(settings_.GetIniValue("Mo", "40"), "40");
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_FALSE(fs::exists(Ini()));
}

TEST_F(SettingsFileTest, ReadsFirstMatchingLineWholeAfterTheColon) {
  WriteIni("No20:30\r\nPATH1:/home/u/a:b.xlsx\r\nST:\r\nST:5\r\nMo:40");
  EXPECT_EQ(settings_.GetIniValue("PATH1", ""), "/home/u/a:b.xlsx");
  EXPECT_EQ(settings_.GetIniValue("ST", "1"), "");  // stored empty, not the default
  EXPECT_EQ(settings_.GetIniValue("No", "20"), "20");
  EXPECT_EQ(settings_.GetIniValue("No20", "20"), "30");
  EXPECT_EQ(settings_.GetIniValue("Mo", "0"), "40");  // last line without a line end
  EXPECT_EQ(settings_.GetIniValue("mo", "x"), "x");
}

TEST_F(SettingsFileTest, ReadsBareLfAndSkipsByteOrderMark) {
  WriteIni("\xEF\xBB\xBFST:3\nKMU:True\n");
  EXPECT_EQ(settings_.GetIniValue("ST", "1"), "3");
  EXPECT_EQ(settings_.GetIniValue("KMU", "False"), "True");
  settings_.SetIniValue("Mo", "20", false);
  EXPECT_EQ(ReadIni(), "ST:3\r\nKMU:True\r\nMo:20\r\n");
}

TEST_F(SettingsFileTest, ReadsFileCopiedFromWindowsAndRewritesAsUtf8) {
  // Bytes as the Windows add-in writes them: C:\Users\太郎\ソ表【漢字】.xlsx, then ﾒﾓ:ｶﾀｶﾅ in
  // half-width kana. ソ and 表 end in 0x5C, the byte of a backslash.
  const std::string path = "C:\\Users\\太郎\\ソ表【漢字】.xlsx";
  WriteIni(
      "PATH1:C:\\Users\\\x91\xBE\x98\x59\\\x83\x5C\x95\x5C\x81\x79\x8A\xBF\x8E\x9A\x81\x7A.xlsx\r\n"
      "STN:True\r\n"
      "\xD2\xD3:\xB6\xC0\xB6\xC5\r\n");
  EXPECT_EQ(settings_.GetIniValue("PATH1", ""), path);
  EXPECT_EQ(settings_.GetIniValue("ﾒﾓ", ""), "ｶﾀｶﾅ");

  settings_.SetIniValue("STN", "False", false);
  EXPECT_EQ(ReadIni(), "PATH1:" + path + "\r\nSTN:False\r\nﾒﾓ:ｶﾀｶﾅ\r\n");
  EXPECT_EQ(settings_.GetIniValue("PATH1", ""), path);
}

TEST_F(SettingsFileTest, UndecodableFileIsReportedAndKept) {
  const std::string bytes = "ST:\xFF\xFE\r\n";
  WriteIni(bytes);
  const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "1", false); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathFileAccess);
  EXPECT_NE(error->description().find(Ini()), std::string::npos);
  EXPECT_EQ(ReadIni(), bytes);
}

TEST_F(SettingsFileTest, FilesThatCannotBeSettingsAreSetAsideOnce) {
  const std::string big = "ST:7\r\n" + std::string((1 << 20) + 1, 'x');
  const std::string utf16(
      "\xFF\xFES\0T\0:\0"
      "7\0",
      10);
  const std::string binary("ST:7\r\n\0\x01\x02", 9);
  for (const std::string& bytes : {big, utf16, binary}) {
    WriteIni(bytes);
    EXPECT_EQ(settings_.GetIniValue("ST", "1"), "1");  // the defaults
    EXPECT_EQ(ReadBytes(Ini() + ".broken"), bytes);
    EXPECT_FALSE(fs::exists(Ini()));
    const std::string notice = settings_.TakeNotice();
    EXPECT_NE(notice.find(Ini() + ".broken"), std::string::npos) << notice;
    EXPECT_EQ(settings_.TakeNotice(), "");
    settings_.SetIniValue("ST", "3", false);  // a good file starts afresh
    EXPECT_EQ(ReadIni(), "ST:3\r\n");
  }
}

TEST_F(SettingsFileTest, FifoOrDeviceAtSettingsPathIsRefusedWithoutReading) {
  fs::create_directories(Folder());
  ASSERT_EQ(mkfifo(Ini().c_str(), 0600), 0);  // reading it would wait for a writer forever
  auto error = ErrorOf([&] { settings_.GetIniValue("ST", "1"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathFileAccess);
  fs::remove(Ini());
  fs::create_symlink("/dev/zero", Ini());  // reading it would never end
  error = ErrorOf([&] { settings_.GetIniValue("ST", "1"); });
  ASSERT_TRUE(error);
  EXPECT_NE(error->description().find("not a regular file"), std::string::npos);
}

TEST_F(SettingsFileTest, ChangedFileIsReadAgainUnchangedOneIsNot) {
  WriteIni("ST:5\r\n");
  EXPECT_EQ(settings_.GetIniValue("ST", "1"), "5");
  SettingsFile other;
  other.SetIniValue("ST", "6", false);  // another object, as another program would
  EXPECT_EQ(settings_.GetIniValue("ST", "1"), "6");
  WriteIni("ST:777\r\n");  // written in place, a different size
  EXPECT_EQ(settings_.GetIniValue("ST", "1"), "777");
}

TEST_F(SettingsFileTest, DirectoryAtSettingsPathIsPathFileAccess) {
  fs::create_directories(Ini());
  for (const auto& call :
       std::vector<std::function<void()>>{[&] { settings_.GetIniValue("ST", "1"); },
                                          [&] { settings_.SetIniValue("ST", "1", false); }}) {
    const auto error = ErrorOf(call);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), host::kErrPathFileAccess);
    EXPECT_NE(error->description().find(Ini()), std::string::npos) << error->description();
  }
}

// ---- Writing ----

TEST_F(SettingsFileTest, FirstWriteCreatesFileWithOneLine) {
  settings_.SetIniValue("RND", "1234", false);
  EXPECT_EQ(ReadIni(), "RND:1234\r\n");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"ミラトス_設定値.ini"});
}

TEST_F(SettingsFileTest, RemovingWithoutFileLeavesNoFile) {
  settings_.SetIniValue("PATH5", "", true);
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_FALSE(fs::exists(Ini()));
}

TEST_F(SettingsFileTest, ValuesOutsideCp932AndWithColonsReadBackWhole) {
  const std::string path = "/home/𠮷田/テスト😀/a:b:c.xlsx";
  settings_.SetIniValue("PATH1", path, false);
  settings_.SetIniValue("C1", "6.4", false);
  EXPECT_EQ(settings_.GetIniValue("PATH1", ""), path);
  EXPECT_EQ(ReadIni(), "PATH1:" + path + "\r\nC1:6.4\r\n");
}

TEST_F(SettingsFileTest, UnstorableKeysAndValuesAreRefusedBeforeWriting) {
  WriteIni("ST:1\r\n");
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"PATH1", "/tmp/a\nb.xlsx"}, {"PATH1", "a\rb"}, {"K\n", "1"}, {"PATH1", "\xFF"}}) {
    const auto error = ErrorOf([&] { settings_.SetIniValue(key, value, false); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), host::kErrInvalidProcedureCall);
  }
  EXPECT_EQ(ReadIni(), "ST:1\r\n");
}

TEST_F(SettingsFileTest, StoringWhatTheFileSaysAlreadyLeavesItUntouched) {
  WriteIni("ST:1\r\nCODE:1234\r\n");
  struct stat before;
  ASSERT_EQ(stat(Ini().c_str(), &before), 0);
  settings_.SetIniValue("CODE", "1234", false);
  struct stat after;
  ASSERT_EQ(stat(Ini().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not replaced
  settings_.SetIniValue("CODE", "4321", false);
  EXPECT_EQ(ReadIni(), "ST:1\r\nCODE:4321\r\n");
}

// Several keys at once end as the same keys stored one by one, in one rewrite.
TEST_F(SettingsFileTest, SeveralKeysEndAsOneByOneWithOneRewrite) {
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"No", "20"}, {"RND", "0427"}, {"ST", "3"}, {"No20", "5"}, {"RND", "1"}, {"FMU", "True"}};
  for (const std::optional<std::string>& before :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("\r\nA:1\r\n\r\nST:1\r\n\r\nRND:9\nST:2\r\nNo20:4")}) {
    SCOPED_TRACE(before ? "file: " + *before : "no file");
    const auto reset = [&] {
      fs::remove_all(Folder());
      if (before) WriteIni(*before);
    };
    reset();
    for (const auto& [key, value] : entries) settings_.SetIniValue(key, value, false);
    const std::string one_by_one = ReadIni();

    reset();
    int writes = 0;
    auto env = std::make_shared<testing::FailingEnv>(SIZE_MAX, 0);
    env->before_write = [&](std::string_view) { ++writes; };
    settings_.set_env(env);
    settings_.SetIniValues({{entries[0].first, entries[0].second},
                            {entries[1].first, entries[1].second},
                            {entries[2].first, entries[2].second},
                            {entries[3].first, entries[3].second},
                            {entries[4].first, entries[4].second},
                            {entries[5].first, entries[5].second}});
    settings_.set_env(nullptr);
    EXPECT_EQ(ReadIni(), one_by_one);
    EXPECT_EQ(writes, 1);
  }
}

TEST_F(SettingsFileTest, SeveralKeysTheFileHoldsAlreadyOrOneRefusedLeaveItUntouched) {
  WriteIni("ST:1\r\nCODE:1234\r\n");
  struct stat before;
  ASSERT_EQ(stat(Ini().c_str(), &before), 0);
  settings_.SetIniValues({{"CODE", "9"}, {"ST", "1"}, {"CODE", "1234"}});
  const auto error = ErrorOf([&] { settings_.SetIniValues({{"ST", "2"}, {"CODE", "1\n2"}}); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrInvalidProcedureCall);
  struct stat after;
  ASSERT_EQ(stat(Ini().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not replaced
  EXPECT_EQ(ReadIni(), "ST:1\r\nCODE:1234\r\n");
}

TEST_F(SettingsFileTest, RewriteKeepsFileModeAndWritesThroughSymlink) {
  fs::create_directories(Folder());
  const std::string target = root_ + "/real.ini";
  WriteBytes(target, "ST:1\r\n");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(target, Ini());

  settings_.SetIniValue("ST", "2", false);
  EXPECT_TRUE(fs::is_symlink(Ini()));
  EXPECT_EQ(ReadBytes(target), "ST:2\r\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SettingsFileTest, FailedRewriteLeavesOldFileWhole) {
  const std::string old = "PATH1:/a.xlsx\r\nST:1\r\nMo:40\r\n";
  WriteIni(old);
  // A file size limit makes the write fail part-way, also for root.
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 4096;
  if (saved.rlim_max < small.rlim_cur || setrlimit(RLIMIT_FSIZE, &small) != 0) {
    GTEST_SKIP() << "cannot lower the file size limit";
  }
  sighandler_t saved_handler = signal(SIGXFSZ, SIG_IGN);
  const auto error =
      ErrorOf([&] { settings_.SetIniValue("PATH2", std::string(65536, 'x'), false); });
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, saved_handler);

  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrDiskFull);
  EXPECT_NE(error->description().find(Ini()), std::string::npos);
  EXPECT_EQ(ReadIni(), old);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"ミラトス_設定値.ini"});  // no leftovers
}

TEST_F(SettingsFileTest, WriteFailingOnAnyByteLeavesOldFileWhole) {
  const std::string old = "PATH1:/a.xlsx\r\nST:1\r\n";
  const std::string next = "PATH1:/a.xlsx\r\nST:2\r\n";
  for (size_t budget = 0; budget < next.size(); budget += 5) {
    WriteIni(old);
    settings_.set_env(std::make_shared<testing::FailingEnv>(budget, ENOSPC));
    const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "2", false); });
    ASSERT_TRUE(error) << budget;
    EXPECT_EQ(error->number(), host::kErrDiskFull) << budget;
    EXPECT_EQ(ReadIni(), old) << budget;
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"ミラトス_設定値.ini"}) << budget;
  }
  settings_.set_env(std::make_shared<testing::FailingEnv>(next.size(), ENOSPC));
  settings_.SetIniValue("ST", "2", false);  // exactly enough room
  EXPECT_EQ(ReadIni(), next);
}

TEST_F(SettingsFileTest, FailedFlushLeavesOldFileWhole) {
  WriteIni("ST:1\r\n");
  settings_.set_env(std::make_shared<testing::FailingEnv>(SIZE_MAX, 0, EIO));
  const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "2", false); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathFileAccess);
  EXPECT_EQ(ReadIni(), "ST:1\r\n");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"ミラトス_設定値.ini"});
}

TEST_F(SettingsFileTest, ReadOnlyFolderIsPermissionDenied) {
  WriteIni("ST:1\r\n");
  fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec);
  if (std::ofstream(Folder() + "/probe")) GTEST_SKIP() << "permissions do not stop this user";
  const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "2", false); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPermissionDenied);
  EXPECT_EQ(ReadIni(), "ST:1\r\n");
}

// ---- The rewrite rules, byte for byte ----

struct Rewrite {
  const char* name;
  std::string before;
  std::string key;
  std::string value;
  bool remove;
  std::string after;
};

void PrintTo(const Rewrite& rewrite, std::ostream* os) { *os << rewrite.name; }

class SettingsRewriteTest : public SettingsFileTest,
                            public ::testing::WithParamInterface<Rewrite> {};

TEST_P(SettingsRewriteTest, GivesExactFile) {
  const Rewrite& c = GetParam();
  WriteIni(c.before);
  settings_.SetIniValue(c.key, c.value, c.remove);
  EXPECT_EQ(ReadIni(), c.after);
  if (!c.remove) {
    WriteIni(c.before);
    settings_.SetIniValues({{c.key, c.value}});
    EXPECT_EQ(ReadIni(), c.after) << "stored with SetIniValues";
  }
}

INSTANTIATE_TEST_SUITE_P(
    SettingsFile, SettingsRewriteTest,
    ::testing::Values(
        Rewrite{"RemovingOnlyLineLeavesOneEmptyLine", "ST:1\r\n", "ST", "", true, "\r\n"},
        Rewrite{"RemovingAbsentKeyKeepsLines", "A:1\r\nB:2\r\n", "ST", "x", true, "A:1\r\nB:2\r\n"},
        Rewrite{"RemovingFromEmptyFileLeavesOneEmptyLine", "", "ST", "", true, "\r\n"},
        Rewrite{"RemovingFirstLine", "ST:1\r\nMo:40\r\n", "ST", "", true, "Mo:40\r\n"},
        Rewrite{"RemovingLastLine", "Mo:40\r\nST:1\r\n", "ST", "", true, "Mo:40\r\n"},
        Rewrite{"RemovingMiddleLine", "A:1\r\nST:1\r\nB:2\r\n", "ST", "", true, "A:1\r\nB:2\r\n"},
        Rewrite{"RemovingKeyOfTwoLines", "ST:1\r\nA:1\r\nST:2\r\n", "ST", "", true, "A:1\r\n"},
        Rewrite{"ReplacingKeepsPlace", "A:1\r\nST:1\r\nB:2\r\n", "ST", "5", false,
                "A:1\r\nST:5\r\nB:2\r\n"},
        Rewrite{"WritingNoLeavesNo20Alone", "No20:5\r\n", "No", "20", false, "No20:5\r\nNo:20\r\n"},
        Rewrite{"TwoStLinesBecomeOneAtFirstPlace", "ST:1\r\nMo:40\r\nST:2\r\nRND:7\r\n", "ST", "9",
                false, "ST:9\r\nMo:40\r\nRND:7\r\n"},
        Rewrite{"EmptyLinesAtStartAndAfterKeyAreDropped",
                "\r\n\r\nA:1\r\n\r\nST:1\r\n\r\n\r\nB:2\r\n\r\n", "ST", "9", false,
                "A:1\r\n\r\nST:9\r\nB:2\r\n\r\n"},
        Rewrite{"BareLfAndMissingLineEndBecomeCrLf", "A:1\nB:2", "C", "3", false,
                "A:1\r\nB:2\r\nC:3\r\n"},
        Rewrite{"MalformedAndUnknownLinesStay", "no colon\r\n:x\r\nST\r\nst:4\r\n", "ST", "1",
                false, "no colon\r\n:x\r\nST\r\nst:4\r\nST:1\r\n"},
        Rewrite{"EmptyFileGetsOneLine", "", "ST", "1", false, "ST:1\r\n"},
        Rewrite{"EmptyValueIsStored", "ST:1\r\n", "ST", "", false, "ST:\r\n"}),
    [](const ::testing::TestParamInfo<Rewrite>& info) { return std::string(info.param.name); });

// ---- Written as safely as a workbook ----

TEST_F(SettingsFileTest, ReadOnlyFileIsRefusedEvenForRoot) {
  WriteIni("ST:1\r\n");
  fs::permissions(Ini(), fs::perms::owner_read | fs::perms::group_read);
  const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "2", false); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathFileAccess);
  EXPECT_NE(error->description().find("read-only"), std::string::npos);
  EXPECT_EQ(ReadIni(), "ST:1\r\n");
}

TEST_F(SettingsFileTest, LinkPlantedInASharedDataFolderIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a link that belongs to another user";
  fs::create_directories(Folder());
  ASSERT_EQ(chmod(Folder().c_str(), 01777), 0);
  ASSERT_EQ(chown(Folder().c_str(), 0, 0), 0);
  const std::string victim = root_ + "/root-only";
  WriteBytes(victim, "secret\n");
  ASSERT_EQ(symlink(victim.c_str(), Ini().c_str()), 0);
  ASSERT_EQ(lchown(Ini().c_str(), 65534, 65534), 0);
  const auto error = ErrorOf([&] { settings_.SetIniValue("ST", "2", false); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), host::kErrPathFileAccess);
  EXPECT_EQ(ReadBytes(victim), "secret\n");
}

TEST_F(SettingsFileTest, BadNumberFallsBackToTheDefaultWithANoticeNamingFileAndKey) {
  WriteIni("Qs:1e308\r\nAs:90\r\nNo:0x10\r\nBi1:-1\r\nBi2:10.5\r\n");
  EXPECT_EQ(settings_.GetIniNumber("As", "90", 0, 409.5), "90");
  EXPECT_EQ(settings_.GetIniNumber("Bi2", "18", 0, 409.5), "10.5");
  EXPECT_EQ(settings_.TakeNotice(), "");
  EXPECT_EQ(settings_.GetIniNumber("Qs", "190", 0, 409.5), "190");
  const std::string notice = settings_.TakeNotice();
  EXPECT_NE(notice.find(Ini()), std::string::npos) << notice;
  EXPECT_NE(notice.find("Qs"), std::string::npos) << notice;
  EXPECT_TRUE(SettingsFile::IsSetAsideNotice(notice));
  EXPECT_EQ(settings_.GetIniNumber("No", "20", 0, 409.5), "20");   // hex is not decimal
  EXPECT_EQ(settings_.GetIniNumber("Bi1", "18", 0, 409.5), "18");  // out of range
  EXPECT_EQ(settings_.GetIniNumber("Missing", "7", 0, 255), "7");
}

}  // namespace
}  // namespace tessarin::settings
