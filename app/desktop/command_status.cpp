// Status texts of the marking and navigation commands.
#include "app/desktop/command_status.h"

#include "core/workbook/question_sheet.h"

namespace tessarin::desktop {
namespace {

bool IsTestSheet(std::string_view name) {
  return name == workbook::kTestSheet40 || name == workbook::kTestSheet20;
}

// A test sheet stacks strips of four rows; the first row of each holds the numbers of the
// questions below them, column by column.
std::optional<int> QuestionNumberAt(const host::Worksheet& sheet, host::CellRef cell) {
  const int32_t number_row = cell.row - (cell.row - 1) % 4;
  const host::CellValue value = sheet.Value(number_row, cell.col);
  if (value.type != host::ValueType::kNumber) return std::nullopt;
  return static_cast<int>(value.number);
}

// "問 5 " on a test sheet, "7 行目の問題" on the question sheet: what "を ..." follows.
std::string Question(const CommandScene& scene) {
  if (scene.number) return "問 " + std::to_string(*scene.number) + " ";
  return std::to_string(scene.cell.row) + " 行目の問題";
}

}  // namespace

CommandScene SceneOf(host::Application& app) {
  CommandScene scene;
  host::Workbook* book = app.active_workbook();
  if (book == nullptr || book->active_sheet() == nullptr) return scene;
  const host::Worksheet& sheet = *book->active_sheet();
  scene.sheet = sheet.name();
  scene.cell = sheet.view().active_cell;
  scene.changes = book->changes();
  if (IsTestSheet(scene.sheet)) scene.number = QuestionNumberAt(sheet, scene.cell);
  return scene;
}

std::string StatusAfter(std::string_view macro, const CommandScene& before,
                        const CommandScene& after) {
  const bool changed = after.changes != before.changes;
  if (macro == "K_ThisQSisNG" && changed) {
    return Question(before) + "を間違いとして記録しました";
  }
  if (macro == "K_ThisQSisHITU" && changed) {
    return Question(before) + "を必出として記録しました";
  }
  if (macro == "K_GoJUMP" && (after.sheet != before.sheet || after.cell != before.cell)) {
    if (after.number) return "テスト用紙の問 " + std::to_string(*after.number) + " へ移動しました";
    if (before.number) {
      return "問 " + std::to_string(*before.number) + " の問題文（" +
             std::to_string(after.cell.row) + " 行目）へ移動しました";
    }
  }
  return "";
}

}  // namespace tessarin::desktop
