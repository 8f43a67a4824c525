// SheetGrid: painting, headings, selection, editing and the clipboard of the sheet view.
#include "app/desktop/sheet_grid.h"

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QUndoStack>
#include <QWheelEvent>
#include <algorithm>

#include "app/desktop/cell_edit.h"
#include "app/desktop/clipboard_text.h"
#include "app/desktop/fonts.h"
#include "app/desktop/sheet_navigation.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"

namespace tessarin::desktop {
namespace {

const QColor kHeading(0xF0, 0xF0, 0xF0);
const QColor kHeadingSelected(0xC8, 0xDC, 0xC8);
const QColor kSelectionFill(0x21, 0x73, 0x46, 0x30);
const QColor kSelectionEdge(0x21, 0x73, 0x46);

}  // namespace

SheetGrid::SheetGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setMouseTracking(false);
  editor_ = new QLineEdit(viewport());
  editor_->setFrame(false);
  editor_->hide();
  editor_->installEventFilter(this);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
}

void SheetGrid::SetSheet(host::Application* app, host::Worksheet* sheet, QUndoStack* undo) {
  if (editing()) CancelEdit();
  app_ = app;
  sheet_ = sheet;
  undo_ = undo;
  copied_.reset();
  Reload();
  if (sheet_ != nullptr) {
    // Open where the sheet's window was.
    verticalScrollBar()->setValue(sheet_->view().top_left.row - 1);
    horizontalScrollBar()->setValue(sheet_->view().top_left.col - 1);
    EnsureVisible(selection_.active());
  }
}

void SheetGrid::Reload() {
  if (sheet_ == nullptr) {
    rows_.reset();
    columns_.reset();
    selection_.Load({}, {1, 1}, false);
    viewport()->update();
    return;
  }
  rows_ = SheetAxis::Rows(*sheet_);
  columns_ = SheetAxis::Columns(*sheet_);
  scale_ = 4.0 / 3.0 * std::clamp(sheet_->view().zoom, 10, 400) / 100.0;
  const host::SheetView& view = sheet_->view();
  selection_.Load(std::vector<host::Area>(view.selection.begin(), view.selection.end()),
                  view.active_cell, drag_ != Drag::kNone);
  if (app_ != nullptr && !app_->CutCopyMode()) copied_.reset();
  UpdateScrollRanges();
  viewport()->update();
  emit selectionChanged();
}

void SheetGrid::ShowRightEdge() {
  if (sheet_ == nullptr) return;
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  EnsureVisible({1, sheet_->UsedArea().right});
}

int SheetGrid::RowHeaderWidth() const {
  const int digits = QString::number(std::max(BottomRow(), 999)).size();
  return fontMetrics().horizontalAdvance(QString(digits, QChar('0'))) + 12;
}

int32_t SheetGrid::BottomRow() const {
  if (!rows_) return 1;
  const double height = (viewport()->height() - ColumnHeaderHeight()) / scale_;
  return rows_->At(rows_->Start(TopRow()) + std::max(0.0, height));
}

int32_t SheetGrid::RightColumn() const {
  if (!columns_) return 1;
  const double width = (viewport()->width() - 40) / scale_;
  return columns_->At(columns_->Start(LeftColumn()) + std::max(0.0, width));
}

QRect SheetGrid::CellRect(int32_t row, int32_t col) const {
  if (!rows_ || !columns_) return {};
  const double x0 =
      RowHeaderWidth() + (columns_->Start(col) - columns_->Start(LeftColumn())) * scale_;
  const double y0 = ColumnHeaderHeight() + (rows_->Start(row) - rows_->Start(TopRow())) * scale_;
  const double x1 = x0 + columns_->Size(col) * scale_;
  const double y1 = y0 + rows_->Size(row) * scale_;
  return QRect(QPoint(qRound(x0), qRound(y0)), QPoint(qRound(x1) - 1, qRound(y1) - 1));
}

host::CellRef SheetGrid::CellAt(QPoint point) const {
  if (!rows_ || !columns_) return {1, 1};
  host::CellRef cell;
  const int header_x = RowHeaderWidth(), header_y = ColumnHeaderHeight();
  cell.col = point.x() < header_x
                 ? 0
                 : columns_->At(columns_->Start(LeftColumn()) + (point.x() - header_x) / scale_);
  cell.row = point.y() < header_y
                 ? 0
                 : rows_->At(rows_->Start(TopRow()) + (point.y() - header_y) / scale_);
  return cell;
}

void SheetGrid::UpdateScrollRanges() {
  if (sheet_ == nullptr) return;
  // The range grows with the data and with where the user has been, as a spreadsheet's does.
  const host::Area used = sheet_->UsedArea();
  const int32_t visible_rows = std::max(1, BottomRow() - TopRow());
  const int32_t visible_cols = std::max(1, RightColumn() - LeftColumn());
  const int32_t rows = std::min(
      host::kMaxRows, std::max({used.bottom, selection_.active().row, TopRow()}) + visible_rows);
  const int32_t cols =
      std::min(host::kMaxColumns,
               std::max({used.right, selection_.active().col, LeftColumn()}) + visible_cols);
  verticalScrollBar()->setRange(0, rows - 1);
  verticalScrollBar()->setPageStep(visible_rows);
  horizontalScrollBar()->setRange(0, cols - 1);
  horizontalScrollBar()->setPageStep(visible_cols);
}

void SheetGrid::EnsureVisible(host::CellRef cell) {
  if (sheet_ == nullptr) return;
  UpdateScrollRanges();
  if (cell.row < TopRow()) {
    verticalScrollBar()->setValue(cell.row - 1);
  } else if (cell.row >= BottomRow()) {
    // Scroll so the row is the last one fully shown.
    const double height = (viewport()->height() - ColumnHeaderHeight()) / scale_;
    const int32_t top = rows_->At(std::max(0.0, rows_->Start(cell.row + 1) - height)) + 1;
    verticalScrollBar()->setValue(std::clamp(top, 1, cell.row) - 1);
  }
  if (cell.col < LeftColumn()) {
    horizontalScrollBar()->setValue(cell.col - 1);
  } else if (cell.col >= RightColumn()) {
    const double width = (viewport()->width() - RowHeaderWidth()) / scale_;
    const int32_t left = columns_->At(std::max(0.0, columns_->Start(cell.col + 1) - width)) + 1;
    horizontalScrollBar()->setValue(std::clamp(left, 1, cell.col) - 1);
  }
}

void SheetGrid::scrollContentsBy(int, int) {
  if (editing()) editor_->setGeometry(CellRect(edit_cell_.row, edit_cell_.col));
  if (sheet_ != nullptr) sheet_->view().top_left = {TopRow(), LeftColumn()};
  viewport()->update();
}

void SheetGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRanges();
}

// --- Painting

void SheetGrid::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), Qt::white);
  if (sheet_ == nullptr || !rows_ || !columns_) return;
  const int hx = RowHeaderWidth(), hy = ColumnHeaderHeight();
  const host::Area visible{TopRow(), LeftColumn(), BottomRow(), RightColumn()};

  render::PaintOptions options;
  options.gridlines = sheet_->view().display_gridlines;
  options.gridline_color = QColor(0xD0, 0xD0, 0xD0);
  options.whole_merges = true;
  painter.save();
  painter.setClipRect(QRect(hx, hy, viewport()->width() - hx, viewport()->height() - hy));
  painter.translate(hx, hy);
  painter.scale(scale_, scale_);
  cells_.Paint(painter, *sheet_, visible, QPointF(0, 0), options);
  painter.restore();

  PaintCommentIndicators(painter, visible);
  painter.setClipRect(QRect(hx, hy, viewport()->width() - hx, viewport()->height() - hy));
  PaintSelection(painter, visible);
  painter.setClipping(false);
  PaintHeadings(painter, visible);
}

void SheetGrid::PaintCommentIndicators(QPainter& painter, const host::Area& visible) {
  // A small red corner, as the host shows them by default.
  if (app_ != nullptr && app_->DisplayCommentIndicator() == host::kXlNoIndicator) return;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xD0, 0x20, 0x20));
  sheet_->cells().ForEachCell(visible, [&](int32_t row, const host::Cell& cell) {
    const int32_t col = cell.col;
    if (!cell.has_extra()) return;
    const host::CellExtra* extra = sheet_->Extra(row, col);
    if (extra == nullptr || !extra->comment) return;
    const QRect r = CellRect(row, col);
    const QPoint corner = r.topRight() + QPoint(1, 0);
    painter.drawPolygon(QPolygon({corner, corner - QPoint(6, 0), corner + QPoint(0, 6)}));
  });
}

void SheetGrid::PaintSelection(QPainter& painter, const host::Area& visible) {
  // A tint over every area and a frame around the area that holds the active cell.
  const auto area_rect = [&](const host::Area& a) {
    const host::Area shown{std::max(a.top, visible.top), std::max(a.left, visible.left),
                           std::min(a.bottom, visible.bottom), std::min(a.right, visible.right)};
    if (shown.top > shown.bottom || shown.left > shown.right) return QRect();
    return CellRect(shown.top, shown.left).united(CellRect(shown.bottom, shown.right));
  };
  const host::CellRef active_cell = selection_.active();
  for (const host::Area& area : selection_.areas()) {
    if (area.CellCount() == 1) continue;
    painter.fillRect(area_rect(area), kSelectionFill);
  }
  const QRect active = CellRect(active_cell.row, active_cell.col);
  if (selection_.SeveralCells() && visible.Contains(active_cell.row, active_cell.col)) {
    // The active cell stays white inside the tinted selection, its text painted again on top.
    painter.fillRect(active, Qt::white);
    painter.save();
    painter.setClipRect(active);
    painter.translate(RowHeaderWidth(), ColumnHeaderHeight());
    painter.scale(scale_, scale_);
    const QPointF at(columns_->Start(active_cell.col) - columns_->Start(LeftColumn()),
                     rows_->Start(active_cell.row) - rows_->Start(TopRow()));
    cells_.Paint(painter, *sheet_, host::Area::Cell(active_cell.row, active_cell.col), at);
    painter.restore();
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kSelectionEdge, 2));
  for (const host::Area& area : selection_.areas()) {
    if (area.Contains(active_cell.row, active_cell.col)) painter.drawRect(area_rect(area));
  }
  if (copied_) {
    painter.setPen(QPen(kSelectionEdge, 1, Qt::DashLine));
    painter.drawRect(area_rect(*copied_));
  }
}

void SheetGrid::PaintHeadings(QPainter& painter, const host::Area& visible) {
  const int hx = RowHeaderWidth(), hy = ColumnHeaderHeight();
  const QColor line(0xA0, 0xA0, 0xA0);
  painter.setPen(line);
  painter.fillRect(QRect(0, 0, viewport()->width(), hy), kHeading);
  painter.fillRect(QRect(0, 0, hx, viewport()->height()), kHeading);
  painter.setFont(font());
  for (int32_t col = visible.left; col <= visible.right; ++col) {
    const QRect cell = CellRect(visible.top, col);
    const QRect head(cell.left(), 0, cell.width(), hy);
    if (head.width() <= 0) continue;
    if (selection_.ColumnSelected(col)) painter.fillRect(head, kHeadingSelected);
    painter.setPen(line);
    painter.drawLine(head.topRight(), head.bottomRight());
    painter.setPen(Qt::black);
    painter.drawText(head, Qt::AlignCenter, QString::fromStdString(host::ColumnLetters(col)));
  }
  for (int32_t row = visible.top; row <= visible.bottom; ++row) {
    const QRect cell = CellRect(row, visible.left);
    const QRect head(0, cell.top(), hx, cell.height());
    if (head.height() <= 0) continue;
    if (selection_.RowSelected(row)) painter.fillRect(head, kHeadingSelected);
    painter.setPen(line);
    painter.drawLine(head.bottomLeft(), head.bottomRight());
    painter.setPen(Qt::black);
    painter.drawText(head, Qt::AlignCenter, QString::number(row));
  }
  painter.setPen(line);
  painter.drawLine(hx - 1, 0, hx - 1, viewport()->height());
  painter.drawLine(0, hy - 1, viewport()->width(), hy - 1);
}

// --- Selection

GridSelection::Span SheetGrid::Span() const {
  return drag_ == Drag::kRows      ? GridSelection::Span::kRows
         : drag_ == Drag::kColumns ? GridSelection::Span::kColumns
                                   : GridSelection::Span::kCells;
}

void SheetGrid::SelectCell(host::CellRef cell, bool extend, bool add) {
  if (extend) {
    ExtendTo(cell);
    return;
  }
  selection_.Select(cell, Span(), add);
  PushSelection();
}

void SheetGrid::ExtendTo(host::CellRef cursor) {
  selection_.ExtendTo(cursor, Span());
  PushSelection();
}

void SheetGrid::PushSelection() {
  if (app_ == nullptr || sheet_ == nullptr) return;
  try {
    host::AreaList list;
    for (const host::Area& area : selection_.areas()) list.push_back(area);
    host::Range(*sheet_, list).Select();
    const host::CellRef active = selection_.active();
    host::Range(*sheet_, host::Area::Cell(active.row, active.col)).Activate();
  } catch (const host::HostError& error) {
    emit failed(error.number(), QString::fromStdString(error.description()));
  }
  viewport()->update();
  emit selectionChanged();
}

void SheetGrid::MoveActive(int drow, int dcol, bool extend) {
  const host::CellRef to = selection_.Step(drow, dcol, extend);
  if (extend) {
    ExtendTo(to);
  } else {
    drag_ = Drag::kNone;
    SelectCell(to, false, false);
  }
  EnsureVisible(to);
}

void SheetGrid::mousePressEvent(QMouseEvent* event) {
  if (sheet_ == nullptr) return;
  if (editing() && !CommitEdit()) return;
  setFocus();
  const host::CellRef hit = CellAt(event->position().toPoint());
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (event->button() == Qt::RightButton) {
    const bool inside = selection_.Contains({std::max(1, hit.row), std::max(1, hit.col)});
    if (!inside && hit.row > 0 && hit.col > 0) {
      drag_ = Drag::kCells;
      SelectCell(hit, false, false);
      drag_ = Drag::kNone;
    }
    emit contextMenuWanted(event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (hit.row == 0 && hit.col == 0) {
    drag_ = Drag::kNone;
    selection_.SelectAll({TopRow(), LeftColumn()});
    PushSelection();
    return;
  }
  if (hit.row == 0) {
    drag_ = Drag::kColumns;
    const host::CellRef cell{TopRow(), hit.col};
    if (shift) {
      ExtendTo({selection_.cursor().row, hit.col});
    } else {
      SelectCell(cell, false, ctrl);
    }
    return;
  }
  if (hit.col == 0) {
    drag_ = Drag::kRows;
    const host::CellRef cell{hit.row, LeftColumn()};
    if (shift) {
      ExtendTo({hit.row, selection_.cursor().col});
    } else {
      SelectCell(cell, false, ctrl);
    }
    return;
  }
  drag_ = Drag::kCells;
  SelectCell(hit, shift, ctrl && !shift);
}

void SheetGrid::mouseMoveEvent(QMouseEvent* event) {
  if (drag_ == Drag::kNone || !(event->buttons() & Qt::LeftButton)) return;
  host::CellRef hit = CellAt(event->position().toPoint());
  hit.row = std::max(hit.row, 1);
  hit.col = std::max(hit.col, 1);
  const host::CellRef cursor = selection_.cursor();
  if (drag_ == Drag::kRows) hit.col = cursor.col;
  if (drag_ == Drag::kColumns) hit.row = cursor.row;
  if (hit != cursor) ExtendTo(hit);
}

void SheetGrid::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::kNone; }

void SheetGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  const host::CellRef hit = CellAt(event->position().toPoint());
  if (hit.row > 0 && hit.col > 0 && hit == selection_.active()) StartEdit(QString(), true);
}

bool SheetGrid::focusNextPrevChild(bool) { return false; }

void SheetGrid::wheelEvent(QWheelEvent* event) {
  if (sheet_ != nullptr && (event->modifiers() & Qt::ControlModifier)) {
    const int step = event->angleDelta().y() > 0 ? 10 : event->angleDelta().y() < 0 ? -10 : 0;
    sheet_->view().zoom = std::clamp(sheet_->view().zoom + step, 10, 400);
    sheet_->NoteChange();  // the zoom is saved with the sheet
    Reload();
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}

bool SheetGrid::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && sheet_ != nullptr) {
    auto* help = static_cast<QHelpEvent*>(event);
    const host::CellRef cell = CellAt(help->pos());
    const host::CellExtra* extra =
        cell.row > 0 && cell.col > 0 ? sheet_->Extra(cell.row, cell.col) : nullptr;
    if (extra != nullptr && extra->comment) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(extra->comment->text),
                         viewport(), CellRect(cell.row, cell.col));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}  // Tab moves between cells

bool SheetGrid::MoveByKey(QKeyEvent* event) {
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const int page = std::max(1, BottomRow() - TopRow());
  const host::CellRef active = selection_.active();
  // Ctrl with an arrow goes to the edge of the data, as the host does.
  auto jump = [&](int drow, int dcol) {
    if (ctrl) {
      const host::CellRef from = shift ? selection_.cursor() : active;
      const host::CellRef edge = DataEdge(*sheet_, from, drow, dcol);
      MoveActive(edge.row - from.row, edge.col - from.col, shift);
    } else {
      MoveActive(drow, dcol, shift);
    }
  };
  switch (event->key()) {
    case Qt::Key_Up:
      jump(-1, 0);
      return true;
    case Qt::Key_Down:
      jump(1, 0);
      return true;
    case Qt::Key_Left:
      jump(0, -1);
      return true;
    case Qt::Key_Right:
      jump(0, 1);
      return true;
    case Qt::Key_PageDown:
      MoveActive(page, 0, shift);
      return true;
    case Qt::Key_PageUp:
      MoveActive(-page, 0, shift);
      return true;
    case Qt::Key_Home:
      MoveActive(ctrl ? 1 - active.row : 0, 1 - active.col, shift);
      return true;
    case Qt::Key_End:
      if (ctrl) {
        const host::Area used = sheet_->UsedArea();
        MoveActive(used.bottom - active.row, used.right - active.col, shift);
      }
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      MoveActive(shift ? -1 : 1, 0, false);
      return true;
    case Qt::Key_Tab:
      MoveActive(0, 1, false);
      return true;
    case Qt::Key_Backtab:
      MoveActive(0, -1, false);
      return true;
    default:
      return false;
  }
}

void SheetGrid::keyPressEvent(QKeyEvent* event) {
  if (sheet_ == nullptr || MoveByKey(event)) return;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_F2:
      StartEdit(QString(), true);
      return;
    case Qt::Key_Delete:
      ClearSelection();
      return;
    case Qt::Key_Backspace:
      StartEdit(QString(), false);
      return;
    case Qt::Key_Escape:
      if (app_ != nullptr) app_->SetCutCopyMode(false);
      copied_.reset();
      viewport()->update();
      return;
    case Qt::Key_Space:
      if (shift && !ctrl) {
        selection_.WholeRows();
        PushSelection();
        return;
      }
      break;
    case Qt::Key_Menu: {
      const host::CellRef active = selection_.active();
      emit contextMenuWanted(viewport()->mapToGlobal(CellRect(active.row, active.col).center()));
      return;
    }
    default:
      break;
  }
  if (event->matches(QKeySequence::Copy)) return CopySelection();
  if (event->matches(QKeySequence::Paste)) return Paste();
  if (event->matches(QKeySequence::Cut)) return CutSelection();
  const QString text = event->text();
  if (!text.isEmpty() && text.at(0).isPrint() &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    StartEdit(text, false);
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

}  // namespace tessarin::desktop
