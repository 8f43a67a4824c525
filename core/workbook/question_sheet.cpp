// The question sheet: markers, FindQuestionSheet and the blank template.
#include "core/workbook/question_sheet.h"

#include <array>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::workbook {

bool IsQuestionSheetName(std::string_view name) { return name.starts_with(kProductWord); }

bool IsWrongAnswerMark(std::string_view text) {
  return text == "X" || text == "x" || text == "Ｘ" || text == "ｘ";
}

bool IsExclusionMarker(std::string_view text) {
  static constexpr std::array<std::string_view, 12> kMarkers = {"S",  "s",  "Ｓ", "ｓ", "E",  "e",
                                                                "Ｅ", "ｅ", "除", "止", "修", "外"};
  for (std::string_view m : kMarkers) {
    if (text == m) return true;
  }
  return false;
}

std::string FindQuestionSheet(KanjiModule& module) {
  host::Application& app = module.App();
  host::SheetCollection sheets = app.Sheets();
  int found = 0;
  std::string name;
  for (int i = 1; i <= sheets.Count(); ++i) {
    const std::string& candidate = sheets.Item(i).Name();
    if (IsQuestionSheetName(candidate)) {
      ++found;
      name = candidate;
    }
  }
  if (found == 1) return name;
  if (found == 0) {
    module.Dialogs().MsgBox("出題文シートがありません。", "エラー");
  } else {
    module.Dialogs().MsgBox("出題文シートが複数あります。", "特定不能");
  }
  return "";
}

namespace {

struct ColumnLayout {
  const char* columns;
  double width;
  bool centre_horizontally;
};

constexpr std::array<ColumnLayout, 7> kTemplateColumns = {{
    {"A:C", 4, false},
    {"D:D", 40, false},
    {"E:E", 15, false},
    {"F:O", 4, true},
    {"P:P", 50, false},
    {"Q:Q", 5, true},
    {"R:R", 5, true},
}};

constexpr std::string_view kMemoComment = "【自己メモ用】\n出典先が分かるように入力します。";
constexpr std::string_view kQuestionComment =
    "【重要項目】\n問題文を入力します。\n\nここで設定したフォントがテスト用紙に用いられます。";
constexpr std::string_view kAnswerComment =
    "【重要項目】\n答えを入力します。\n\nここで設定したフォントがテスト用紙に用いられます。";
constexpr std::string_view kMarkComment =
    "問題を間違えると、「X」を入力します。\n"
    "列Ｆから順番に入力して空白セルを作らないようにして下さい。\n\n"
    "間違えた時　　・・・・　X （エックス）\n"
    "出題から外す時・・・Ｓ、Ｅ、除、止、修、外";
constexpr std::string_view kRemarkComment =
    "【自己メモ用】\n備考欄です。\n\n漢字の意味などを書いて下さい。";
constexpr std::string_view kTimesSetComment = "出題回数が自動的に記載されます。";
constexpr std::string_view kMustAppearComment = "必出問題には「必出」と表示されます。";

}  // namespace

void MakeBlankTemplate(KanjiModule& module) {
  host::Application& app = module.App();
  app.SetScreenUpdating(false);
  app.Workbooks().Add();
  app.ActiveSheet().SetName(kProductWord);

  for (const ColumnLayout& layout : kTemplateColumns) {
    host::Range columns = app.Columns(std::string_view(layout.columns));
    columns.SetColumnWidth(layout.width);
    columns.SetVerticalAlignment(host::kXlCenter);
    if (layout.centre_horizontally) columns.SetHorizontalAlignment(host::kXlCenter);
  }
  app.Cells().SetRowHeight(26);
  app.Range("A1").Select();

  for (int col = 1; col <= 3; ++col) app.Cells(1, col).AddComment(kMemoComment);
  app.Range("D1").AddComment(kQuestionComment).Shape().ScaleHeight(1.3, 0, 0);
  app.Range("E1").AddComment(kAnswerComment).Shape().ScaleHeight(1.3, 0, 0);
  for (int col = kFirstMarkColumn; col <= kLastMarkColumn; ++col) {
    host::CommentShape shape = app.Cells(1, col).AddComment(kMarkComment).Shape();
    shape.ScaleHeight(1.3, 0, 0);
    shape.ScaleWidth(1.75, 0, 0);
  }
  app.Range("P1").AddComment(kRemarkComment);
  app.Range("Q1").AddComment(kTimesSetComment);
  app.Range("R1").AddComment(kMustAppearComment);
  // Nothing of the user's is in it yet: closing it or opening a file in its place loses nothing.
  app.ActiveWorkbook().set_saved(true);
}

}  // namespace tessarin::workbook
