// CellEditCommand: snapshots of the stored cells of an area.
#include "app/desktop/cell_edit.h"

namespace tessarin::desktop {

CellSnapshot::CellSnapshot(const host::Worksheet& sheet, const host::Area& area)
    : area_(area), merges_(sheet.merges()) {
  sheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
    const int32_t col = cell.col;
    const host::CellExtra* extra = sheet.Extra(row, col);
    entries_.push_back({row, col, sheet.Value(row, col), cell.style,
                        extra ? std::optional<host::CellExtra>(*extra) : std::nullopt});
  });
}

void CellSnapshot::Restore(host::Worksheet& sheet) const {
  sheet.NoteChange();  // cells and merges are put back in place
  std::vector<std::pair<int32_t, int32_t>> now;
  sheet.cells().ForEachCell(area_, [&](int32_t row, const host::Cell& cell) {
    now.emplace_back(row, int32_t{cell.col});
  });
  for (const auto& [row, col] : now) {
    if (sheet.Extra(row, col) != nullptr) {
      sheet.ObtainExtra(row, col) = host::CellExtra{};
      sheet.PruneExtra(row, col);
    }
    sheet.cells().Erase(row, col);
  }
  for (const Entry& entry : entries_) {
    sheet.SetStyle(entry.row, entry.col, entry.style);
    sheet.SetValue(entry.row, entry.col, entry.value);
    if (entry.extra) sheet.ObtainExtra(entry.row, entry.col) = *entry.extra;
  }
  sheet.merges() = merges_;
}

CellEditCommand::CellEditCommand(QString text, host::Worksheet& sheet, const host::Area& area,
                                 std::function<void()> edit)
    : sheet_(sheet), area_(area), edit_(std::move(edit)), before_(sheet, area) {
  setText(text);
}

void CellEditCommand::redo() {
  if (!after_) {
    edit_();
    after_.emplace(sheet_, area_);
    return;
  }
  after_->Restore(sheet_);
}

void CellEditCommand::undo() { before_.Restore(sheet_); }

}  // namespace tessarin::desktop
