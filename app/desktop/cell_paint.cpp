// A plain cell painter: text, fonts, alignment, stacked text and borders.
#include "app/desktop/cell_paint.h"

#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>
#include <vector>

#include "app/desktop/fonts.h"
#include "core/host/units.h"
#include "core/host/range.h"

namespace tessarin::desktop {
namespace {

QPen BorderPen(const host::BorderLine& line) {
  double width = 0.75;
  if (line.weight == host::kXlMedium) width = 1.5;
  if (line.weight == host::kXlThick) width = 2.25;
  if (line.weight == host::kXlHairline) width = 0.4;
  QPen pen(Qt::black, width);
  if (line.line_style == host::kXlDash) pen.setStyle(Qt::DashLine);
  if (line.line_style == host::kXlDot) pen.setStyle(Qt::DotLine);
  if (line.line_style == host::kXlDashDot) pen.setStyle(Qt::DashDotLine);
  if (line.line_style == host::kXlDashDotDot) pen.setStyle(Qt::DashDotDotLine);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

const host::Area* MergeAt(const host::Worksheet& sheet, int32_t row, int32_t col) {
  for (const host::Area& merge : sheet.merges()) {
    if (merge.Contains(row, col)) return &merge;
  }
  return nullptr;
}

void PaintText(QPainter& painter, const QString& text, const host::Style& style, const QRectF& box) {
  double points = style.font.size;
  QFont font = QFontFor(style.font, points);
  const bool stacked = style.orientation == host::kXlVertical;
  if (stacked) {
    // One character under the other; shrink to fit makes the column fit the cell's height.
    const qsizetype count = text.size();
    double step = points * 1.05;
    if (style.shrink && count > 0 && step * count > box.height()) {
      step = box.height() / count;
      font.setPointSizeF(std::max(1.0, step / 1.05));
    }
    painter.setFont(font);
    double y = box.top();
    if (style.vertical == host::kXlCenter) y = box.center().y() - step * count / 2;
    if (style.vertical == host::kXlBottom) y = box.bottom() - step * count;
    for (const QChar ch : text) {
      painter.drawText(QRectF(box.left(), y, box.width(), step), Qt::AlignHCenter | Qt::AlignVCenter, QString(ch));
      y += step;
    }
    return;
  }
  painter.setFont(font);
  QFontMetricsF metrics(font);
  if (style.shrink && metrics.horizontalAdvance(text) > box.width() - 2 && box.width() > 4) {
    font.setPointSizeF(std::max(1.0, points * (box.width() - 2) / metrics.horizontalAdvance(text)));
    painter.setFont(font);
  }
  int flags = 0;
  switch (style.horizontal) {
    case host::kXlCenter:
    case host::kXlCenterAcrossSelection: flags |= Qt::AlignHCenter; break;
    case host::kXlRight: flags |= Qt::AlignRight; break;
    default: flags |= Qt::AlignLeft;
  }
  switch (style.vertical) {
    case host::kXlTop: flags |= Qt::AlignTop; break;
    case host::kXlCenter: flags |= Qt::AlignVCenter; break;
    default: flags |= Qt::AlignBottom;
  }
  if (style.wrap) flags |= Qt::TextWordWrap;
  painter.drawText(box.adjusted(2, 0, -2, 0), flags, text);
}

}  // namespace

void PaintCells(QPainter& painter, const host::Worksheet& sheet, const host::Area& area, QPointF origin,
                bool gridlines) {
  std::vector<double> x{origin.x()}, y{origin.y()};
  for (int32_t col = area.left; col <= area.right; ++col) x.push_back(x.back() + host::ColumnPoints(sheet, col));
  for (int32_t row = area.top; row <= area.bottom; ++row) y.push_back(y.back() + host::RowPoints(sheet, row));
  const auto box = [&](int32_t top, int32_t left, int32_t bottom, int32_t right) {
    auto clampx = [&](int32_t c) { return x[std::clamp(c, area.left, area.right + 1) - area.left]; };
    auto clampy = [&](int32_t r) { return y[std::clamp(r, area.top, area.bottom + 1) - area.top]; };
    return QRectF(QPointF(clampx(left), clampy(top)), QPointF(clampx(right + 1), clampy(bottom + 1)));
  };

  painter.save();
  if (gridlines) {
    painter.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 0));
    for (double gx : x) painter.drawLine(QPointF(gx, y.front()), QPointF(gx, y.back()));
    for (double gy : y) painter.drawLine(QPointF(x.front(), gy), QPointF(x.back(), gy));
  }
  auto& mutable_sheet = const_cast<host::Worksheet&>(sheet);  // Range reads only here
  painter.setPen(Qt::black);
  sheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
    const int32_t col = cell.col;
    if (cell.type == host::ValueType::kEmpty) return;
    QRectF cell_box = box(row, col, row, col);
    if (const host::Area* merge = MergeAt(sheet, row, col)) {
      if (merge->top != row || merge->left != col) return;
      cell_box = box(merge->top, merge->left, merge->bottom, merge->right);
    }
    const std::string text = host::Range(mutable_sheet, host::Area::Cell(row, col)).Text();
    if (text.empty()) return;
    painter.save();
    painter.setClipRect(cell_box);
    PaintText(painter, QString::fromStdString(text), sheet.styles().Get(cell.style), cell_box);
    painter.restore();
  });
  sheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
    const int32_t col = cell.col;
    const host::Style& style = sheet.styles().Get(cell.style);
    const QRectF b = box(row, col, row, col);
    const auto line = [&](int slot, QPointF from, QPointF to) {
      if (!style.borders[slot].IsSet()) return;
      painter.setPen(BorderPen(style.borders[slot]));
      painter.drawLine(from, to);
    };
    line(host::kLeft, b.topLeft(), b.bottomLeft());
    line(host::kTop, b.topLeft(), b.topRight());
    line(host::kBottom, b.bottomLeft(), b.bottomRight());
    line(host::kRight, b.topRight(), b.bottomRight());
  });
  painter.restore();
}

}  // namespace tessarin::desktop
