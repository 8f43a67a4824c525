// The question sheet: its name rule, columns and markers, and how the add-in finds it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tessarin::workbook {

struct KanjiModule;

// The product word that starts every question sheet's name, and the blank template's sheet name.
inline constexpr std::string_view kProductWord = "ミラトス";
inline constexpr std::string_view kMustAppearMarker = "必出";
inline constexpr std::string_view kTestSheet40 = "テスト用紙 【40】";
inline constexpr std::string_view kTestSheet20 = "テスト用紙 【20】";

// Columns of the question sheet.
inline constexpr int kNoteColumnA = 1;
inline constexpr int kNoteColumnB = 2;
inline constexpr int kNoteColumnC = 3;
inline constexpr int kQuestionColumn = 4;     // D
inline constexpr int kAnswerColumn = 5;       // E
inline constexpr int kFirstMarkColumn = 6;    // F
inline constexpr int kLastMarkColumn = 15;    // O
inline constexpr int kRemarkColumn = 16;      // P
inline constexpr int kTimesSetColumn = 17;    // Q
inline constexpr int kMustAppearColumn = 18;  // R

// A question sheet's name begins with the product word (exact, case-sensitive).
bool IsQuestionSheetName(std::string_view name);
// "X" or "Ｘ", Latin letters without regard to case.
bool IsWrongAnswerMark(std::string_view text);
// The exclusion markers as the user is told them. A Latin one also counts in lower case and in
// full width ("s", "Ｓ", "ｓ").
inline constexpr std::array<std::string_view, 6> kExclusionMarkers = {"S",  "E",  "除",
                                                                      "止", "修", "外"};
// One of kExclusionMarkers, exactly or in a form it also counts in.
bool IsExclusionMarker(std::string_view text);
// kExclusionMarkers as a list for messages: "S, E, 除, 止, 修, 外".
std::string ExclusionMarkersText();

// The name of the single question sheet of the active workbook, or "" after telling the user
// why there is none ("出題文シートがありません。" / "出題文シートが複数あります。").
std::string FindQuestionSheet(KanjiModule& module);

// Makes a new workbook holding the blank question sheet "ミラトス" with its column widths,
// alignments, row heights and explanatory comments on row 1.
void MakeBlankTemplate(KanjiModule& module);

}  // namespace tessarin::workbook
