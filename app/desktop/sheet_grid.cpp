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
#include "app/desktop/fonts.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"

namespace tessarin::desktop {
namespace {

const QColor kHeading(0xF0, 0xF0, 0xF0);
const QColor kHeadingSelected(0xC8, 0xDC, 0xC8);
const QColor kSelectionFill(0x21, 0x73, 0x46, 0x30);
const QColor kSelectionEdge(0x21, 0x73, 0x46);

bool IsEmptyCell(const host::Worksheet& sheet, int32_t row, int32_t col) {
  const host::Cell* cell = sheet.cells().Find(row, col);
  return cell == nullptr || cell->type == host::ValueType::kEmpty;
}

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
  const bool changed_sheet = true;
  (void)changed_sheet;
  Reload();
  if (sheet_ != nullptr) {
    // Open where the sheet's window was.
    verticalScrollBar()->setValue(sheet_->view().top_left.row - 1);
    horizontalScrollBar()->setValue(sheet_->view().top_left.col - 1);
    EnsureVisible(active_);
  }
}

void SheetGrid::Reload() {
  if (sheet_ == nullptr) {
    rows_.reset();
    columns_.reset();
    areas_.clear();
    viewport()->update();
    return;
  }
  rows_ = SheetAxis::Rows(*sheet_);
  columns_ = SheetAxis::Columns(*sheet_);
  scale_ = 4.0 / 3.0 * std::clamp(sheet_->view().zoom, 10, 400) / 100.0;
  const host::SheetView& view = sheet_->view();
  areas_.assign(view.selection.begin(), view.selection.end());
  if (areas_.empty())
    areas_.push_back(host::Area::Cell(view.active_cell.row, view.active_cell.col));
  if (active_ != view.active_cell || drag_ == Drag::kNone) {
    active_ = anchor_ = cursor_ = view.active_cell;
  }
  if (app_ != nullptr && !app_->CutCopyMode()) copied_.reset();
  UpdateScrollRanges();
  viewport()->update();
  emit selectionChanged();
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
  const int32_t rows =
      std::min(host::kMaxRows, std::max({used.bottom, active_.row, TopRow()}) + visible_rows);
  const int32_t cols =
      std::min(host::kMaxColumns, std::max({used.right, active_.col, LeftColumn()}) + visible_cols);
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

  // Comment indicators: a small red corner, as the host shows them by default.
  if (app_ == nullptr || app_->DisplayCommentIndicator() != host::kXlNoIndicator) {
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

  // Selection: a tint over every area and a frame around the area that holds the active cell.
  painter.setClipRect(QRect(hx, hy, viewport()->width() - hx, viewport()->height() - hy));
  const auto area_rect = [&](const host::Area& a) {
    const host::Area shown{std::max(a.top, visible.top), std::max(a.left, visible.left),
                           std::min(a.bottom, visible.bottom), std::min(a.right, visible.right)};
    if (shown.top > shown.bottom || shown.left > shown.right) return QRect();
    return CellRect(shown.top, shown.left).united(CellRect(shown.bottom, shown.right));
  };
  for (const host::Area& area : areas_) {
    if (area.CellCount() == 1) continue;
    painter.fillRect(area_rect(area), kSelectionFill);
  }
  const QRect active = CellRect(active_.row, active_.col);
  if ((areas_.size() > 1 || areas_.front().CellCount() > 1) &&
      visible.Contains(active_.row, active_.col)) {
    // The active cell stays white inside the tinted selection, its text painted again on top.
    painter.fillRect(active, Qt::white);
    painter.save();
    painter.setClipRect(active);
    painter.translate(hx, hy);
    painter.scale(scale_, scale_);
    const QPointF at(columns_->Start(active_.col) - columns_->Start(LeftColumn()),
                     rows_->Start(active_.row) - rows_->Start(TopRow()));
    cells_.Paint(painter, *sheet_, host::Area::Cell(active_.row, active_.col), at);
    painter.restore();
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kSelectionEdge, 2));
  for (const host::Area& area : areas_) {
    if (area.Contains(active_.row, active_.col))
      painter.drawRect(area_rect(area).adjusted(0, 0, 0, 0));
  }
  if (copied_) {
    painter.setPen(QPen(kSelectionEdge, 1, Qt::DashLine));
    painter.drawRect(area_rect(*copied_));
  }
  painter.setClipping(false);

  // Headings.
  painter.setPen(QColor(0xA0, 0xA0, 0xA0));
  painter.fillRect(QRect(0, 0, viewport()->width(), hy), kHeading);
  painter.fillRect(QRect(0, 0, hx, viewport()->height()), kHeading);
  painter.setFont(font());
  const auto row_selected = [&](int32_t row) {
    return std::any_of(areas_.begin(), areas_.end(),
                       [&](const host::Area& a) { return row >= a.top && row <= a.bottom; });
  };
  const auto col_selected = [&](int32_t col) {
    return std::any_of(areas_.begin(), areas_.end(),
                       [&](const host::Area& a) { return col >= a.left && col <= a.right; });
  };
  for (int32_t col = visible.left; col <= visible.right; ++col) {
    const QRect cell = CellRect(visible.top, col);
    const QRect head(cell.left(), 0, cell.width(), hy);
    if (head.width() <= 0) continue;
    if (col_selected(col)) painter.fillRect(head, kHeadingSelected);
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawLine(head.topRight(), head.bottomRight());
    painter.setPen(Qt::black);
    painter.drawText(head, Qt::AlignCenter, QString::fromStdString(host::ColumnLetters(col)));
  }
  for (int32_t row = visible.top; row <= visible.bottom; ++row) {
    const QRect cell = CellRect(row, visible.left);
    const QRect head(0, cell.top(), hx, cell.height());
    if (head.height() <= 0) continue;
    if (row_selected(row)) painter.fillRect(head, kHeadingSelected);
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawLine(head.bottomLeft(), head.bottomRight());
    painter.setPen(Qt::black);
    painter.drawText(head, Qt::AlignCenter, QString::number(row));
  }
  painter.setPen(QColor(0xA0, 0xA0, 0xA0));
  painter.drawLine(hx - 1, 0, hx - 1, viewport()->height());
  painter.drawLine(0, hy - 1, viewport()->width(), hy - 1);
}

// --- Selection

host::Area SheetGrid::AreaOf(host::CellRef a, host::CellRef b) const {
  host::Area area{std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row),
                  std::max(a.col, b.col)};
  if (drag_ == Drag::kRows) area.left = 1, area.right = host::kMaxColumns;
  if (drag_ == Drag::kColumns) area.top = 1, area.bottom = host::kMaxRows;
  return area;
}

void SheetGrid::SelectCell(host::CellRef cell, bool extend, bool add) {
  if (extend && !areas_.empty()) {
    ExtendTo(cell);
    return;
  }
  anchor_ = cursor_ = active_ = cell;
  const host::Area area = AreaOf(cell, cell);
  if (add) {
    areas_.push_back(area);
  } else {
    areas_.assign(1, area);
  }
  PushSelection();
}

void SheetGrid::ExtendTo(host::CellRef cursor) {
  cursor_ = cursor;
  areas_.back() = AreaOf(anchor_, cursor_);
  PushSelection();
}

void SheetGrid::PushSelection() {
  if (app_ == nullptr || sheet_ == nullptr) return;
  try {
    host::AreaList list;
    for (const host::Area& area : areas_) list.push_back(area);
    host::Range(*sheet_, list).Select();
    host::Range(*sheet_, host::Area::Cell(active_.row, active_.col)).Activate();
  } catch (const host::HostError& error) {
    emit failed(error.number(), QString::fromStdString(error.description()));
  }
  viewport()->update();
  emit selectionChanged();
}

void SheetGrid::MoveActive(int drow, int dcol, bool extend) {
  const host::CellRef from = extend ? cursor_ : active_;
  host::CellRef to{std::clamp(from.row + drow, 1, host::kMaxRows),
                   std::clamp(from.col + dcol, 1, host::kMaxColumns)};
  if (extend) {
    ExtendTo(to);
  } else {
    drag_ = Drag::kNone;
    SelectCell(to, false, false);
  }
  EnsureVisible(to);
}

host::CellRef SheetGrid::DataEdge(host::CellRef from, int drow, int dcol) const {
  const host::Area used = sheet_->UsedArea();
  const int32_t last_row = drow > 0 ? std::max(used.bottom, from.row) : 1;
  const int32_t last_col = dcol > 0 ? std::max(used.right, from.col) : 1;
  auto step = [&](host::CellRef c) { return host::CellRef{c.row + drow, c.col + dcol}; };
  auto inside = [&](host::CellRef c) {
    return c.row >= 1 && c.col >= 1 && (drow <= 0 || c.row <= last_row) &&
           (dcol <= 0 || c.col <= last_col) && (drow >= 0 || c.row >= 1) &&
           (dcol >= 0 || c.col >= 1);
  };
  host::CellRef at = from, next = step(from);
  if (!inside(next))
    return drow > 0   ? host::CellRef{host::kMaxRows, from.col}
           : dcol > 0 ? host::CellRef{from.row, host::kMaxColumns}
                      : at;
  const bool in_block =
      !IsEmptyCell(*sheet_, at.row, at.col) && !IsEmptyCell(*sheet_, next.row, next.col);
  if (in_block) {
    // To the last filled cell of this block.
    while (inside(next) && !IsEmptyCell(*sheet_, next.row, next.col)) at = next, next = step(next);
    return at;
  }
  // To the next filled cell, or the edge of the sheet when there is none.
  at = next;
  while (inside(at) && IsEmptyCell(*sheet_, at.row, at.col)) at = step(at);
  if (inside(at)) return at;
  if (drow > 0) return {host::kMaxRows, from.col};
  if (dcol > 0) return {from.row, host::kMaxColumns};
  return {std::max(1, at.row - drow), std::max(1, at.col - dcol)};
}

void SheetGrid::mousePressEvent(QMouseEvent* event) {
  if (sheet_ == nullptr) return;
  if (editing() && !CommitEdit()) return;
  setFocus();
  const host::CellRef hit = CellAt(event->position().toPoint());
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (event->button() == Qt::RightButton) {
    const bool inside = std::any_of(areas_.begin(), areas_.end(), [&](const host::Area& a) {
      return a.Contains(std::max(1, hit.row), std::max(1, hit.col));
    });
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
    areas_.assign(1, host::Area{1, 1, host::kMaxRows, host::kMaxColumns});
    active_ = anchor_ = cursor_ = {TopRow(), LeftColumn()};
    PushSelection();
    return;
  }
  if (hit.row == 0) {
    drag_ = Drag::kColumns;
    const host::CellRef cell{TopRow(), hit.col};
    if (shift) {
      ExtendTo({cursor_.row, hit.col});
    } else {
      SelectCell(cell, false, ctrl);
    }
    return;
  }
  if (hit.col == 0) {
    drag_ = Drag::kRows;
    const host::CellRef cell{hit.row, LeftColumn()};
    if (shift) {
      ExtendTo({hit.row, cursor_.col});
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
  if (drag_ == Drag::kRows) hit.col = cursor_.col;
  if (drag_ == Drag::kColumns) hit.row = cursor_.row;
  if (hit != cursor_) ExtendTo(hit);
}

void SheetGrid::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::kNone; }

void SheetGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  const host::CellRef hit = CellAt(event->position().toPoint());
  if (hit.row > 0 && hit.col > 0 && hit == active_) StartEdit(QString(), true);
}

bool SheetGrid::focusNextPrevChild(bool) { return false; }

void SheetGrid::wheelEvent(QWheelEvent* event) {
  if (sheet_ != nullptr && (event->modifiers() & Qt::ControlModifier)) {
    const int step = event->angleDelta().y() > 0 ? 10 : event->angleDelta().y() < 0 ? -10 : 0;
    sheet_->view().zoom = std::clamp(sheet_->view().zoom + step, 10, 400);
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

void SheetGrid::keyPressEvent(QKeyEvent* event) {
  if (sheet_ == nullptr) return;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const int page = std::max(1, BottomRow() - TopRow());
  auto jump = [&](int drow, int dcol) {
    if (ctrl) {
      const host::CellRef edge = DataEdge(shift ? cursor_ : active_, drow, dcol);
      const host::CellRef from = shift ? cursor_ : active_;
      MoveActive(edge.row - from.row, edge.col - from.col, shift);
    } else {
      MoveActive(drow, dcol, shift);
    }
  };
  switch (event->key()) {
    case Qt::Key_Up:
      jump(-1, 0);
      return;
    case Qt::Key_Down:
      jump(1, 0);
      return;
    case Qt::Key_Left:
      jump(0, -1);
      return;
    case Qt::Key_Right:
      jump(0, 1);
      return;
    case Qt::Key_PageDown:
      MoveActive(page, 0, shift);
      return;
    case Qt::Key_PageUp:
      MoveActive(-page, 0, shift);
      return;
    case Qt::Key_Home:
      if (ctrl) {
        MoveActive(1 - active_.row, 1 - active_.col, shift);
      } else {
        MoveActive(0, 1 - active_.col, shift);
      }
      return;
    case Qt::Key_End:
      if (ctrl) {
        const host::Area used = sheet_->UsedArea();
        MoveActive(used.bottom - active_.row, used.right - active_.col, shift);
      }
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      MoveActive(shift ? -1 : 1, 0, false);
      return;
    case Qt::Key_Tab:
      MoveActive(0, 1, false);
      return;
    case Qt::Key_Backtab:
      MoveActive(0, -1, false);
      return;
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
        drag_ = Drag::kRows;
        areas_.back() = AreaOf(active_, active_);
        PushSelection();
        drag_ = Drag::kNone;
        return;
      }
      break;
    case Qt::Key_Menu:
      emit contextMenuWanted(viewport()->mapToGlobal(CellRect(active_.row, active_.col).center()));
      return;
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

// --- Editing

bool SheetGrid::editing() const { return editor_->isVisible(); }

void SheetGrid::StartEdit(const QString& text, bool keep_existing) {
  if (sheet_ == nullptr) return;
  EnsureVisible(active_);
  edit_cell_ = active_;
  const host::Style& style = sheet_->StyleAt(active_.row, active_.col);
  QFont font = QFontFor(style.font, style.font.size * scale_ * 0.75);
  editor_->setFont(font);
  editor_->setText(keep_existing ? EditableText(*sheet_, active_) : text);
  QRect rect = CellRect(active_.row, active_.col);
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
  return Enter(active_, text);
}

bool SheetGrid::Enter(host::CellRef cell, const QString& text) {
  const std::string typed = text.toStdString();
  const bool done = Edit(
      tr("Typing in %1")
          .arg(QString::fromStdString(host::ColumnLetters(cell.col) + std::to_string(cell.row))),
      host::Area::Cell(cell.row, cell.col),
      [&] { host::EnterTyped(host::Range(*sheet_, host::Area::Cell(cell.row, cell.col)), typed); });
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
    return QRectF(CellRect(active_.row, active_.col).translated(viewport()->pos()));
  }
  if (query == Qt::ImEnabled) return true;
  return QAbstractScrollArea::inputMethodQuery(query);
}

// --- Clipboard

void SheetGrid::CopySelection() {
  if (sheet_ == nullptr || app_ == nullptr) return;
  if (editing()) return editor_->copy();
  if (areas_.size() != 1) {
    emit failed(host::kErrApplicationDefined,
                tr("That command cannot be used on multiple selections."));
    return;
  }
  const host::Area area = areas_.front();
  try {
    host::Range(*sheet_, area).Copy();
  } catch (const host::HostError& error) {
    emit failed(error.number(), QString::fromStdString(error.description()));
    return;
  }
  // Other programs get the displayed text, tab separated, as spreadsheets exchange it.
  const host::Area used = sheet_->UsedArea();
  const host::Area text_area{area.top, area.left, std::min(area.bottom, used.bottom),
                             std::min(area.right, used.right)};
  QString text;
  for (int32_t row = text_area.top; row <= text_area.bottom; ++row) {
    for (int32_t col = text_area.left; col <= text_area.right; ++col) {
      if (col > text_area.left) text += '\t';
      text += QString::fromStdString(host::Range(*sheet_, host::Area::Cell(row, col)).Text());
    }
    text += '\n';
  }
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
  const host::Area at = areas_.front();
  const host::Area target{at.top, at.left,
                          std::min(host::kMaxRows, at.top + data->source.Rows() - 1),
                          std::min(host::kMaxColumns, at.left + data->source.Columns() - 1)};
  Edit(tr("Paste"), target, [&] { app_->SheetOf(*sheet_).Paste(); });
  Reload();
}

void SheetGrid::PasteText(const QString& text) {
  QStringList lines = text.split('\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  int columns = 1;
  std::vector<QStringList> cells;
  for (QString line : lines) {
    if (line.endsWith('\r')) line.chop(1);
    cells.push_back(line.split('\t'));
    columns = std::max(columns, static_cast<int>(cells.back().size()));
  }
  const host::Area at = areas_.front();
  const host::Area target{at.top, at.left,
                          std::min(host::kMaxRows, at.top + static_cast<int32_t>(cells.size()) - 1),
                          std::min(host::kMaxColumns, at.left + columns - 1)};
  Edit(tr("Paste"), target, [&] {
    for (size_t r = 0; r < cells.size() && at.top + static_cast<int32_t>(r) <= target.bottom; ++r) {
      for (int c = 0; c < cells[r].size() && at.left + c <= target.right; ++c) {
        host::EnterTyped(
            host::Range(*sheet_, host::Area::Cell(at.top + static_cast<int32_t>(r), at.left + c)),
            cells[r][c].toStdString());
      }
    }
  });
  areas_.assign(1, target);
  PushSelection();
}

void SheetGrid::ClearSelection() {
  if (sheet_ == nullptr) return;
  for (const host::Area& area : std::vector<host::Area>(areas_)) {
    if (!Edit(tr("Clear"), area, [&] { host::Range(*sheet_, area).ClearContents(); })) return;
  }
}

}  // namespace tessarin::desktop
