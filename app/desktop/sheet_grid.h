// SheetGrid: the view of one worksheet. Paints only the visible cells (any sheet size scrolls
// alike), shows row and column headings, selects with the mouse and the keyboard (ranges, whole
// rows and columns, several areas with Ctrl) into the host's selection, edits a cell in place
// with input methods, and copies and pastes. Every change the user makes goes on the undo stack.
#pragma once

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "app/desktop/grid_selection.h"
#include "app/desktop/sheet_axis.h"
#include "core/host/address.h"
#include "core/host/geometry.h"
#include "render/cell_painter.h"
#include "render/font_catalog.h"

class QLineEdit;
class QPainter;
class QUndoStack;

namespace tessarin::host {
class Application;
class Worksheet;
}  // namespace tessarin::host

namespace tessarin::desktop {

class SheetGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit SheetGrid(QWidget* parent = nullptr);

  // Shows `sheet` (the active sheet of `app`; nullptr shows nothing) and takes its selection.
  // `undo` receives the user's edits; both outlive the grid or are replaced first.
  void SetSheet(host::Application* app, host::Worksheet* sheet, QUndoStack* undo);
  host::Worksheet* sheet() const { return sheet_; }
  host::CellRef active_cell() const { return selection_.active(); }
  // Reads sizes, selection and scroll range from the sheet again after it changed elsewhere.
  void Reload();
  // Scrolls to the top of the sheet with its rightmost used column in view (where vertical
  // text starts).
  void ShowRightEdge();

  // What editing a cell starts from: its formula, or its constant as it must be typed to come
  // back unchanged (text that would read as a number or a Boolean gets its apostrophe).
  static QString EditableText(host::Worksheet& sheet, host::CellRef cell);

  // Where a cell is in the viewport, in pixels (for tests and the editor).
  QRect CellRect(int32_t row, int32_t col) const;
  bool editing() const;
  QLineEdit* editor() const { return editor_; }
  double zoom_scale() const { return scale_; }

 public slots:
  void CopySelection();
  void CutSelection();
  void Paste();
  void ClearSelection();
  // Ends an edit in progress, keeping what was typed; false when the sheet refused it.
  bool CommitEdit();
  // Enters `text` into the active cell as typing it would (the formula bar's Enter).
  bool EnterIntoActiveCell(const QString& text);

 signals:
  // The user changed cells (after the change).
  void edited();
  // The user asks for the cell menu at `global` (right click or the menu key).
  void contextMenuWanted(QPoint global);
  // The active cell or the selection changed.
  void selectionChanged();
  // A host refusal (protected sheet ...) that the window shows.
  void failed(int number, QString description);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  // Shows a cell's comment while the mouse rests on it.
  bool viewportEvent(QEvent* event) override;
  // Ctrl with the wheel zooms the sheet's window, 10 to 400 percent.
  void wheelEvent(QWheelEvent* event) override;

 private:
  enum class Drag { kNone, kCells, kRows, kColumns };

  int RowHeaderWidth() const;
  int ColumnHeaderHeight() const { return 20; }
  int32_t TopRow() const { return verticalScrollBar()->value() + 1; }
  int32_t LeftColumn() const { return horizontalScrollBar()->value() + 1; }
  // The last row / column at least partly visible.
  int32_t BottomRow() const;
  int32_t RightColumn() const;
  // The cell under a viewport point (headings count as row 0 / column 0).
  host::CellRef CellAt(QPoint point) const;
  void UpdateScrollRanges();
  void EnsureVisible(host::CellRef cell);

  // Painting, after the cells: what paintEvent lays over them.
  void PaintCommentIndicators(QPainter& painter, const host::Area& visible);
  void PaintSelection(QPainter& painter, const host::Area& visible);
  void PaintHeadings(QPainter& painter, const host::Area& visible);
  // The keys that move the active cell (arrows, pages, Home, End, Enter, Tab); false for others.
  bool MoveByKey(QKeyEvent* event);

  // Selection, through the selection model; PushSelection hands it to the host.
  GridSelection::Span Span() const;  // what a drag over the headings spans
  void SelectCell(host::CellRef cell, bool extend, bool add);
  void ExtendTo(host::CellRef cursor);
  void PushSelection();
  void MoveActive(int drow, int dcol, bool extend);

  // Editing.
  void StartEdit(const QString& text, bool keep_existing);
  void CancelEdit();
  // Stores what was typed for `cell`, through the undo stack.
  bool Enter(host::CellRef cell, const QString& text);
  // Runs a cell change for the undo stack; reports a host refusal.
  bool Edit(const QString& what, const host::Area& area, const std::function<void()>& change);
  void PasteText(const QString& text);

  host::Application* app_ = nullptr;
  host::Worksheet* sheet_ = nullptr;
  QUndoStack* undo_ = nullptr;
  std::optional<SheetAxis> rows_, columns_;
  double scale_ = 4.0 / 3.0;

  GridSelection selection_;
  Drag drag_ = Drag::kNone;

  // The cells are painted by the same painter as the printed page, so the screen shows the paper.
  render::FontCatalog fonts_;
  render::CellPainter cells_{fonts_};

  QLineEdit* editor_ = nullptr;
  host::CellRef edit_cell_;
  std::optional<host::Area> copied_;
  QString copied_text_;
};

}  // namespace tessarin::desktop
