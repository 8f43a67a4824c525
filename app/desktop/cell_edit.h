// CellEditCommand: one edit the user made to a sheet's cells (typing, clearing, pasting), kept
// for undo as the cells of the touched area before and after.
#pragma once

#include <QUndoCommand>
#include <functional>
#include <optional>
#include <vector>

#include "core/host/cell.h"
#include "core/host/geometry.h"
#include "core/host/worksheet.h"

namespace tessarin::desktop {

// The stored cells of an area of a sheet (values, styles, runs, phonetics, comments) and the
// sheet's merged areas.
class CellSnapshot {
 public:
  CellSnapshot(const host::Worksheet& sheet, const host::Area& area);
  // Puts the area back as it was: cells stored now but not then are removed.
  void Restore(host::Worksheet& sheet) const;

 private:
  struct Entry {
    int32_t row, col;
    host::CellValue value;
    host::StyleId style;
    std::optional<host::CellExtra> extra;
  };
  host::Area area_;
  std::vector<Entry> entries_;
  std::vector<host::Area> merges_;
};

// Runs `edit` on redo the first time; afterwards undo and redo swap the two snapshots.
// `edit` may throw HostError (a protected sheet); push the command only through TryPush.
class CellEditCommand : public QUndoCommand {
 public:
  CellEditCommand(QString text, host::Worksheet& sheet, const host::Area& area,
                  std::function<void()> edit);
  void undo() override;
  void redo() override;

 private:
  host::Worksheet& sheet_;
  host::Area area_;
  std::function<void()> edit_;
  CellSnapshot before_;
  std::optional<CellSnapshot> after_;
};

}  // namespace tessarin::desktop
