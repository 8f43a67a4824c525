// The add-in's methods as one table: the name the macro layer calls, the member that runs, the
// submenu item and the shortcut key. Start-up builds the submenu and the keys from it, Call and
// RunMacro dispatch through it, the script runner finds names in it; a new method is one row.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

#include "core/addin/tessarin.h"

namespace tessarin::addin {

// The caption of the add-in's popup on the cell menu.
inline constexpr std::string_view kPopupCaption = "ミラトス(&K)";

// An item of the popup; its OnAction is "K_" + the method's name.
struct MenuItem {
  std::string_view caption;
  std::optional<int> face_id;  // none: the item shows no icon
  bool begin_group;            // a separator line above the item
};

struct Method {
  // Most methods take nothing; SheetActivate takes the sheet's name.
  using Member = std::variant<int (Tessarin::*)(), int (Tessarin::*)(std::string&)>;

  std::string_view name;
  Member member;
  std::optional<MenuItem> menu;  // none: not on the popup
  std::string_view key;          // the Ctrl+letter shortcut ("t"), or empty

  bool TakesArgument() const { return member.index() == 1; }
};

// Rows run in the popup's order; methods with no item sit between them in no particular order.
inline constexpr std::array<Method, 20> kMethods = {{
    {"Auto_Open", &Tessarin::Auto_Open, std::nullopt, ""},
    {"START", &Tessarin::START, MenuItem{"漢字テスト作成(&T)", 176, false}, "t"},
    {"InPutAns", &Tessarin::InPutAns, MenuItem{"解答表示(&A)", 329, true}, "a"},
    {"ANS_DEL", &Tessarin::ANS_DEL, MenuItem{"解答消去(&D)", 47, false}, "d"},
    {"ThisQSisNG", &Tessarin::ThisQSisNG, MenuItem{"この問題は不正解です(&N)", 276, true}, "n"},
    {"ThisQSisHITU", &Tessarin::ThisQSisHITU, MenuItem{"この問題を必出とする(&H)", 675, false},
     "h"},
    {"GoJUMP", &Tessarin::GoJUMP, MenuItem{"問題へ飛ぶ(&J)", 1759, false}, "j"},
    {"Edit_Furigana", &Tessarin::Edit_Furigana, MenuItem{"振り仮名編集(&E)", 3511, true}, "e"},
    {"RepeatKanji", &Tessarin::RepeatKanji, MenuItem{"漢字重複チェック(&R)", 2645, false}, "r"},
    {"NG_Report", &Tessarin::NG_Report, MenuItem{"間違い数の報告(&Q)", 1786, false}, "q"},
    {"HITU_Report", &Tessarin::HITU_Report, MenuItem{"必出問題の総数(&K)", 459, false}, "k"},
    {"Command2", &Tessarin::Command2, MenuItem{"漢字の学年検索(&Z)", 11, true}, "z"},
    {"SetPaper", &Tessarin::SetPaper, MenuItem{"用紙調整(&P)", 109, true}, "p"},
    {"QVersion", &Tessarin::QVersion, MenuItem{"ﾊﾞｰｼﾞｮﾝ情報(&V)", std::nullopt, true}, ""},
    {"SheetActivate", &Tessarin::SheetActivate, std::nullopt, ""},
    {"END_Shori", &Tessarin::END_Shori, std::nullopt, ""},
    {"Command1", &Tessarin::Command1, std::nullopt, "w"},
    {"Command3", &Tessarin::Command3, std::nullopt, ""},
    {"Command4", &Tessarin::Command4, std::nullopt, ""},
    {"Command5", &Tessarin::Command5, std::nullopt, ""},
}};

// The row named exactly `name`, or nullptr.
constexpr const Method* FindMethod(std::string_view name) {
  for (const Method& method : kMethods) {
    if (method.name == name) return &method;
  }
  return nullptr;
}

}  // namespace tessarin::addin
