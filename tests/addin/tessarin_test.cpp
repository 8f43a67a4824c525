// The add-in class: start-up, the submenu and shortcuts, shut-down, the result convention.
#include "core/addin/tessarin.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "core/addin/method_table.h"
#include "core/host/application.h"
#include "core/host/running_object.h"
#include "tests/workbook/test_env.h"

namespace tessarin::addin {
namespace {

using testing::ScriptedHost;
using testing::TempHome;

class TessarinTest : public ::testing::Test {
 protected:
  TessarinTest() : addin(host.ui) {}

  host::CommandBar& CellBar() { return host.app.CommandBars().Item("cell"); }
  int PopupCount() {
    int n = 0;
    for (const auto& c : CellBar().Controls().controls()) n += c->Caption() == kPopupCaption;
    return n;
  }

  TempHome home;
  ScriptedHost host;
  Tessarin addin;
};

TEST_F(TessarinTest, AutoOpenBuildsOneSubmenuAndShortcuts) {
  const size_t built_in = host::CellBarBuiltIns().size();
  ASSERT_EQ(addin.Auto_Open(), 0);
  ASSERT_EQ(addin.Auto_Open(), 0);
  EXPECT_EQ(PopupCount(), 1);
  ASSERT_EQ(CellBar().Controls().Count(), static_cast<int>(built_in) + 1);
  host::CommandBarControl& popup = CellBar().Controls().Item(1);
  EXPECT_EQ(popup.Caption(), kPopupCaption);
  EXPECT_TRUE(CellBar().Controls().Item(2).BeginGroup());
  ASSERT_EQ(popup.Controls().Count(), 13);
  EXPECT_EQ(popup.Controls().Item(1).Caption(), "漢字テスト作成(&T)");
  EXPECT_EQ(popup.Controls().Item(1).FaceId(), 176);
  EXPECT_FALSE(popup.Controls().Item(1).BeginGroup());
  EXPECT_EQ(popup.Controls().Item(13).Caption(), "ﾊﾞｰｼﾞｮﾝ情報(&V)");
  EXPECT_EQ(popup.Controls().Item(13).FaceId(), 0);
  EXPECT_EQ(popup.Controls().Item(13).OnAction(), "K_QVersion");
  EXPECT_TRUE(popup.Controls().Item(13).BeginGroup());
  EXPECT_EQ(host.app.MacroForKey("t"), "K_START");
  EXPECT_EQ(host.app.MacroForKey("w"), "K_Command1");
  EXPECT_EQ(host.app.shortcuts().size(), 13u);
  // Closing the file dialog without choosing made a blank question workbook each time.
  EXPECT_EQ(host.app.Workbooks().Count(), 2);
  EXPECT_EQ(host.app.ActiveSheet().Name(), "ミラトス");
  EXPECT_EQ(host.app.DisplayCommentIndicator(), host::kXlCommentIndicatorOnly);
}

TEST_F(TessarinTest, AutoOpenWithoutHostFailsBeforeTheMenu) {
  host::RegisterRunningApplication(nullptr);
  EXPECT_EQ(addin.Auto_Open(), 429);
  EXPECT_EQ(PopupCount(), 0);
  EXPECT_TRUE(host.app.shortcuts().empty());
}

TEST_F(TessarinTest, EndShoriWithoutWorkbookChangesNothing) {
  ASSERT_EQ(addin.Auto_Open(), 0);
  host.app.Workbooks().Close();
  EXPECT_EQ(addin.END_Shori(), 0);
  EXPECT_EQ(PopupCount(), 1);
  EXPECT_FALSE(home.IniExists());
}

TEST_F(TessarinTest, EndShoriWithNeverSavedWorkbookOnlyResetsTheMenu) {
  ASSERT_EQ(addin.Auto_Open(), 0);
  home.WriteIni("PATH1:/x/a.xlsx\r\n");
  EXPECT_EQ(addin.END_Shori(), 0);
  EXPECT_EQ(PopupCount(), 0);
  EXPECT_EQ(home.ReadIni(), "PATH1:/x/a.xlsx\r\n");
}

TEST_F(TessarinTest, EndShoriPutsASavedWorkbookFirst) {
  ASSERT_EQ(addin.Auto_Open(), 0);
  home.WriteIni("PATH1:/x/a.xlsx\r\n");
  host.app.ActiveWorkbook().set_path("/data/books");
  host.app.ActiveWorkbook().set_name("問題.xlsx");
  EXPECT_EQ(addin.END_Shori(), 0);
  EXPECT_EQ(home.ReadIni(), "PATH1:/data/books/問題.xlsx\r\nPATH2:/x/a.xlsx\r\n");
  // Already first: nothing is written again (the file keeps its bytes and time).
  const auto before = std::filesystem::last_write_time(home.IniFile());
  EXPECT_EQ(addin.END_Shori(), 0);
  EXPECT_EQ(std::filesystem::last_write_time(home.IniFile()), before);
}

TEST_F(TessarinTest, SheetActivateSetsTheFlagOnExactNamesOnly) {
  std::string name = "テスト用紙 【40】";
  EXPECT_EQ(addin.SheetActivate(name), 0);
  EXPECT_TRUE(addin.module().Is40Sheet);
  for (std::string other :
       {"ミラトス", "テスト用紙【20】", "テスト用紙 【２０】", "テスト用紙 (20)"}) {
    EXPECT_EQ(addin.SheetActivate(other), 0);
    EXPECT_TRUE(addin.module().Is40Sheet) << other;
  }
  name = "テスト用紙 【20】";
  EXPECT_EQ(addin.SheetActivate(name), 0);
  EXPECT_FALSE(addin.module().Is40Sheet);
  name = "テスト用紙【40】";
  addin.SheetActivate(name);
  EXPECT_FALSE(addin.module().Is40Sheet);
}

TEST_F(TessarinTest, VersionBoxAndEmptyCommands) {
  EXPECT_EQ(addin.QVersion(), 0);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0], "ミラトス バージョン情報|バージョン 1.0.6");
  EXPECT_EQ(addin.Command3(), 0);
  EXPECT_EQ(addin.Command4(), 0);
  EXPECT_EQ(addin.Command5(), 0);
  EXPECT_EQ(host.ui.events().size(), 1u);
}

TEST_F(TessarinTest, AfterTestCommandsNeedTheHost) {
  // The after-test commands work on the host, which start-up has not attached yet.
  for (const char* name : {"InPutAns", "ANS_DEL", "ThisQSisNG", "ThisQSisHITU", "GoJUMP",
                           "Edit_Furigana", "RepeatKanji", "NG_Report", "HITU_Report"}) {
    EXPECT_EQ(addin.Call(name), 91) << name;
  }
  EXPECT_TRUE(host.ui.events().empty());
  EXPECT_EQ(addin.Call("NoSuchMethod"), -1);
  EXPECT_EQ(addin.RunMacro("K_QVersion"), 0);
  EXPECT_EQ(addin.RunMacro("QVersion"), -1);
}

TEST(MethodTable, NamesAreDistinctEvenIgnoringCase) {
  // The script runner finds a method without regard to case; two rows must never both match.
  std::set<std::string> lowered;
  for (const Method& method : kMethods) {
    std::string name(method.name);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(lowered.insert(name).second) << method.name;
  }
  EXPECT_EQ(Tessarin::MethodNames().size(), kMethods.size());
}

TEST_F(TessarinTest, TheSubmenuAndTheKeysAreTheProductsOwn) {
  ASSERT_EQ(addin.Auto_Open(), 0);
  const struct {
    const char* caption;
    int face_id;  // 0: no icon
    const char* macro;
    bool begin_group;
    const char* key;  // "" when the item has none
  } items[] = {
      {"漢字テスト作成(&T)", 176, "K_START", false, "t"},
      {"解答表示(&A)", 329, "K_InPutAns", true, "a"},
      {"解答消去(&D)", 47, "K_ANS_DEL", false, "d"},
      {"この問題は不正解です(&N)", 276, "K_ThisQSisNG", true, "n"},
      {"この問題を必出とする(&H)", 675, "K_ThisQSisHITU", false, "h"},
      {"問題へ飛ぶ(&J)", 1759, "K_GoJUMP", false, "j"},
      {"振り仮名編集(&E)", 3511, "K_Edit_Furigana", true, "e"},
      {"漢字重複チェック(&R)", 2645, "K_RepeatKanji", false, "r"},
      {"間違い数の報告(&Q)", 1786, "K_NG_Report", false, "q"},
      {"必出問題の総数(&K)", 459, "K_HITU_Report", false, "k"},
      {"漢字の学年検索(&Z)", 11, "K_Command2", true, "z"},
      {"用紙調整(&P)", 109, "K_SetPaper", true, "p"},
      {"ﾊﾞｰｼﾞｮﾝ情報(&V)", 0, "K_QVersion", true, ""},
  };
  host::CommandBarControl& popup = CellBar().Controls().Item("ミラトス(&K)");
  ASSERT_EQ(popup.Controls().Count(), static_cast<int>(std::size(items)));
  for (int i = 0; i < static_cast<int>(std::size(items)); ++i) {
    const host::CommandBarControl& control = popup.Controls().Item(i + 1);
    SCOPED_TRACE(items[i].caption);
    EXPECT_EQ(control.Caption(), items[i].caption);
    EXPECT_EQ(control.FaceId().value_or(0), items[i].face_id);
    EXPECT_EQ(control.OnAction(), items[i].macro);
    EXPECT_EQ(control.BeginGroup(), items[i].begin_group);
    if (*items[i].key) {
      EXPECT_EQ(host.app.MacroForKey(items[i].key), items[i].macro);
    }
  }
  // The file selection dialog has a key and no item.
  EXPECT_EQ(host.app.MacroForKey("w"), "K_Command1");
  EXPECT_EQ(addin.RunMacro("K_SheetActivate"), -1);
  EXPECT_EQ(addin.Call("SheetActivate", "テスト用紙 【20】"), 0);
  EXPECT_FALSE(addin.module().Is40Sheet);
}

TEST_F(TessarinTest, ErrorsComeBackAsNumbers) {
  // START with no workbook open: the host has no active sheet.
  EXPECT_NE(addin.START(), 0);
  EXPECT_FALSE(addin.last_error().empty());
  // The grade search reads the selection as it loads, and so fails the same way.
  EXPECT_NE(addin.Command2(), 0);
  EXPECT_FALSE(addin.last_error().empty());
}

}  // namespace
}  // namespace tessarin::addin
