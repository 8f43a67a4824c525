// The add-in's command surface: the submenu items of the cell menu and the shortcut keys.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tessarin::addin {

inline constexpr std::string_view kPopupCaption = "ミラトス(&K)";

struct MenuItem {
  std::string_view caption;
  std::optional<int> face_id;
  std::string_view on_action;
  bool begin_group;
};

inline constexpr std::array<MenuItem, 13> kMenuItems = {{
    {"漢字テスト作成(&T)", 176, "K_START", false},
    {"解答表示(&A)", 329, "K_InPutAns", true},
    {"解答消去(&D)", 47, "K_ANS_DEL", false},
    {"この問題は不正解です(&N)", 276, "K_ThisQSisNG", true},
    {"この問題を必出とする(&H)", 675, "K_ThisQSisHITU", false},
    {"問題へ飛ぶ(&J)", 1759, "K_GoJUMP", false},
    {"振り仮名編集(&E)", 3511, "K_Edit_Furigana", true},
    {"漢字重複チェック(&R)", 2645, "K_RepeatKanji", false},
    {"間違い数の報告(&Q)", 1786, "K_NG_Report", false},
    {"必出問題の総数(&K)", 459, "K_HITU_Report", false},
    {"漢字の学年検索(&Z)", 11, "K_Command2", true},
    {"用紙調整(&P)", 109, "K_SetPaper", true},
    {"ﾊﾞｰｼﾞｮﾝ情報(&V)", std::nullopt, "K_QVersion", true},
}};

struct ShortcutKey {
  std::string_view macro;
  std::string_view key;
};

inline constexpr std::array<ShortcutKey, 13> kShortcutKeys = {{
    {"K_START", "t"},
    {"K_InPutAns", "a"},
    {"K_ANS_DEL", "d"},
    {"K_ThisQSisNG", "n"},
    {"K_ThisQSisHITU", "h"},
    {"K_GoJUMP", "j"},
    {"K_Edit_Furigana", "e"},
    {"K_RepeatKanji", "r"},
    {"K_NG_Report", "q"},
    {"K_HITU_Report", "k"},
    {"K_SetPaper", "p"},
    {"K_Command1", "w"},
    {"K_Command2", "z"},
}};

}  // namespace tessarin::addin
