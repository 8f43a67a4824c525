// SheetGrid: editing cells in place (with input methods), the undo stack and the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QUndoStack>
#include <algorithm>

#include "app/desktop/cell_edit.h"
#include "app/desktop/clipboard_text.h"
#include "app/desktop/fonts.h"
#include "app/desktop/sheet_grid.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"

namespace tessarin::desktop {

// --- Editing

bool SheetGrid::editing() const { return editor_->isVisible(); }

void SheetGrid::StartEdit(const QString& text, bool keep_existing) {
  if (sheet_ == nullptr) return;
  const host::CellRef active = selection_.active();
  EnsureVisible(active);
  edit_cell_ = active;
  const host::Style& style = sheet_->StyleAt(active.row, active.col);
  QFont font = QFontFor(style.font, style.font.size * scale_ * 0.75);
  editor_->setFont(font);
  editor_->setText(keep_existing ? EditableText(*sheet_, active) : text);
  QRect rect = CellRect(active.row, active.col);
  rect.setWidth(std::max(rect.width(), 120));
  rect.setHeight(std::max(rect.height(), editor_->sizeHint().height()));
  editor_->setGeometry(rect);
  editor_->show();
  editor_->setFocus();
  editor_->end(false);
}

QString SheetGrid::EditableText(host::Worksheet& sheet, host::CellRef at) {
  host::Range cell(sheet, host::Area::Cell(at.row, at.col));
  const std::string shown = cell.Formula();
  const host::CellValue value = cell.Value();
  // Entering "0427" again must not turn the text into the number 427.
  if (value.type == host::ValueType::kText && host::ParseInput(shown) != value &&
      shown.rfind('=', 0) != 0) {
    return QString::fromStdString("'" + shown);
  }
  return QString::fromStdString(shown);
}

void SheetGrid::CancelEdit() {
  editor_->hide();
  setFocus();
}

bool SheetGrid::CommitEdit() {
  if (!editing()) return true;
  const QString typed = editor_->text();
  const host::CellRef cell = edit_cell_;
  editor_->hide();
  setFocus();
  return Enter(cell, typed);
}

bool SheetGrid::EnterIntoActiveCell(const QString& text) {
  if (sheet_ == nullptr) return false;
  if (editing()) CancelEdit();
  return Enter(selection_.active(), text);
}

bool SheetGrid::Enter(host::CellRef cell, const QString& text) {
  const std::string typed = text.toStdString();
  const bool done = Edit(
      tr("Typing in %1")
          .arg(QString::fromStdString(host::ColumnLetters(cell.col) + std::to_string(cell.row))),
      host::Area::Cell(cell.row, cell.col), [&] {
        host::Range target(*sheet_, host::Area::Cell(cell.row, cell.col));
        if (!typed.empty() && typed[0] == '=') {
          target.SetFormula(typed);
        } else {
          target.SetValue(host::ParseInput(typed));
        }
      });
  Reload();
  return done;
}

bool SheetGrid::Edit(const QString& what, const host::Area& area,
                     const std::function<void()>& change) {
  if (sheet_ == nullptr) return false;
  try {
    sheet_->CheckWritable();
    auto command = std::make_unique<CellEditCommand>(what, *sheet_, area, change);
    if (undo_ != nullptr) {
      undo_->push(command.release());
    } else {
      command->redo();
    }
  } catch (const host::HostError& error) {
    emit failed(error.number(), QString::fromStdString(error.description()));
    return false;
  }
  emit edited();
  viewport()->update();
  return true;
}

bool SheetGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (CommitEdit()) MoveActive(key->modifiers() & Qt::ShiftModifier ? -1 : 1, 0, false);
        return true;
      case Qt::Key_Tab:
        if (CommitEdit()) MoveActive(0, 1, false);
        return true;
      case Qt::Key_Backtab:
        if (CommitEdit()) MoveActive(0, -1, false);
        return true;
      case Qt::Key_Escape:
        CancelEdit();
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
        if (CommitEdit()) MoveActive(key->key() == Qt::Key_Up ? -1 : 1, 0, false);
        return true;
      default:
        break;
    }
  }
  if (watched == editor_ && event->type() == QEvent::FocusOut && editing()) {
    auto* focus = static_cast<QFocusEvent*>(event);
    // A popup (the input method's candidates, a menu) takes the focus only for a moment.
    if (focus->reason() != Qt::PopupFocusReason && focus->reason() != Qt::ActiveWindowFocusReason)
      CommitEdit();
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

void SheetGrid::inputMethodEvent(QInputMethodEvent* event) {
  // Composition starts an edit as a typed letter does; the editor takes it from there.
  if (sheet_ == nullptr) return;
  if (!editing()) {
    if (event->commitString().isEmpty() && event->preeditString().isEmpty()) return;
    StartEdit(QString(), false);
  }
  QCoreApplication::sendEvent(editor_, event);
}

QVariant SheetGrid::inputMethodQuery(Qt::InputMethodQuery query) const {
  if (query == Qt::ImCursorRectangle || query == Qt::ImInputItemClipRectangle) {
    const host::CellRef active = selection_.active();
    return QRectF(CellRect(active.row, active.col).translated(viewport()->pos()));
  }
  if (query == Qt::ImEnabled) return true;
  return QAbstractScrollArea::inputMethodQuery(query);
}

// --- Clipboard

void SheetGrid::CopySelection() {
  if (sheet_ == nullptr || app_ == nullptr) return;
  if (editing()) return editor_->copy();
  if (selection_.areas().size() != 1) {
    emit failed(host::kErrApplicationDefined,
                tr("That command cannot be used on multiple selections."));
    return;
  }
  const host::Area area = selection_.areas().front();
  try {
    host::Range(*sheet_, area).Copy();
  } catch (const host::HostError& error) {
    emit failed(error.number(), QString::fromStdString(error.description()));
    return;
  }
  // Other programs get the displayed text, tab separated, as spreadsheets exchange it.
  const QString text = QString::fromStdString(TabSeparatedText(*sheet_, area));
  copied_ = area;
  copied_text_ = text;
  QApplication::clipboard()->setText(text);
  viewport()->update();
}

void SheetGrid::CutSelection() {
  CopySelection();
  if (copied_) ClearSelection();
}

void SheetGrid::Paste() {
  if (sheet_ == nullptr || app_ == nullptr) return;
  if (editing()) return editor_->paste();
  const QString text = QApplication::clipboard()->text();
  const host::ClipboardData* data = app_->clipboard();
  if (data == nullptr || text != copied_text_) {
    if (!text.isEmpty()) PasteText(text);
    return;
  }
  const host::Area at = selection_.areas().front();
  const host::Area target{at.top, at.left,
                          std::min(host::kMaxRows, at.top + data->source.Rows() - 1),
                          std::min(host::kMaxColumns, at.left + data->source.Columns() - 1)};
  Edit(tr("Paste"), target, [&] { app_->SheetOf(*sheet_).Paste(); });
  Reload();
}

void SheetGrid::PasteText(const QString& text) {
  const std::vector<std::vector<std::string>> cells = ParseTabSeparated(text.toStdString());
  int32_t columns = 1;
  for (const auto& row : cells) columns = std::max(columns, static_cast<int32_t>(row.size()));
  const host::Area at = selection_.areas().front();
  const host::Area target{at.top, at.left,
                          std::min(host::kMaxRows, at.top + static_cast<int32_t>(cells.size()) - 1),
                          std::min(host::kMaxColumns, at.left + columns - 1)};
  Edit(tr("Paste"), target, [&] {
    for (size_t r = 0; r < cells.size() && at.top + static_cast<int32_t>(r) <= target.bottom; ++r) {
      for (size_t c = 0; c < cells[r].size() && at.left + static_cast<int32_t>(c) <= target.right;
           ++c) {
        host::Range(*sheet_, host::Area::Cell(at.top + static_cast<int32_t>(r),
                                              at.left + static_cast<int32_t>(c)))
            .SetValue(host::ParseInput(cells[r][c]));
      }
    }
  });
  selection_.Load({target}, selection_.active(), true);
  PushSelection();
}

void SheetGrid::ClearSelection() {
  if (sheet_ == nullptr) return;
  for (const host::Area& area : std::vector<host::Area>(selection_.areas())) {
    if (!Edit(tr("Clear"), area, [&] { host::Range(*sheet_, area).ClearContents(); })) return;
  }
}

}  // namespace tessarin::desktop
