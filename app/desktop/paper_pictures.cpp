// PaperPicture: a test page drawn as boxes, with arrows naming in words the row heights and
// column widths the dialog's boxes set.
#include "app/desktop/paper_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <vector>

namespace tessarin::desktop {
namespace {

struct Band {
  const char* label;  // what the row is, as the dialog's box beside it says (UTF-8)
  double weight;      // share of the page height
  bool boxes;         // the answer row: one box per question
};

// One block of a test page: number row, question row, answer row, spacing row.
const std::vector<Band> kBlock40 = {
    {"番号", 0.9, false}, {"問題", 4.2, false}, {"解答", 2.0, true}, {"段の間", 0.9, false}};
const std::vector<Band> kBlock20 = {
    {"番号", 0.9, false}, {"問題", 7.5, false}, {"解答", 4.5, true}, {"終わり", 0.9, false}};

void Arrow(QPainter& painter, QPointF from, QPointF to) {
  painter.drawLine(from, to);
  const QPointF d = (to - from) / std::max(1.0, std::hypot((to - from).x(), (to - from).y())) * 4;
  const QPointF n(-d.y(), d.x());
  for (const QPointF end : {from, to}) {
    const QPointF back = end == to ? -d : d;
    QPainterPath head;
    head.moveTo(end);
    head.lineTo(end + back + n);
    head.lineTo(end + back - n);
    head.closeSubpath();
    painter.fillPath(head, painter.pen().color());
  }
}

}  // namespace

QPixmap PaperPicture(const forms::Image& image, QSize size) {
  const bool forty = image.name() == "Image1";
  if ((!forty && image.name() != "Image2") || size.isEmpty()) return {};
  const std::vector<Band>& block = forty ? kBlock40 : kBlock20;
  const int blocks = forty ? 2 : 1;
  QPixmap pixmap(size);
  pixmap.fill(QColor(0xF4, 0xF4, 0xF4));
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font(QStringLiteral("BIZ UDPGothic"));
  font.setPixelSize(std::max(8, size.height() / 22));
  painter.setFont(font);

  // The sheet of paper, with room on the left and at the top for the arrows.
  const QRectF page(size.width() * 0.24, size.height() * 0.12, size.width() * 0.72,
                    size.height() * 0.84);
  painter.fillRect(page, Qt::white);
  painter.setPen(QPen(Qt::gray, 1));
  painter.drawRect(page);
  const QRectF inside = page.adjusted(6, 6, -6, -6);
  const int columns = 20;
  const double last_share = 1.1;  // column U (the page number) is a little wider
  const double col_width = inside.width() / (columns + last_share);
  double total = 0;
  for (const Band& band : block) total += band.weight;
  const double unit = inside.height() / (total * blocks);

  QPen box_pen(QColor(0x40, 0x40, 0x40), 1);
  QPen arrow_pen(QColor(0xC6, 0x28, 0x28), 1.2);
  double y = inside.top();
  for (int b = 0; b < blocks; ++b) {
    for (const Band& band : block) {
      const double h = band.weight * unit;
      if (band.boxes) {
        painter.setPen(box_pen);
        for (int c = 0; c < columns; ++c)
          painter.drawRect(QRectF(inside.left() + c * col_width, y, col_width, h));
      } else if (band.weight > 1) {
        // Question text stands in each column, top down.
        painter.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 2));
        for (int c = 0; c < columns; ++c) {
          const double x = inside.left() + (c + 0.5) * col_width;
          painter.drawLine(QPointF(x, y + 3), QPointF(x, y + h * 0.6));
        }
      }
      // The second block of the 40-question page ends with the other spacing row.
      const bool second_spacing = forty && b == 1 && &band == &block.back();
      if (b == 0 || second_spacing) {
        painter.setPen(arrow_pen);
        const double ax = page.left() - 6;
        Arrow(painter, QPointF(ax, y + 1), QPointF(ax, y + h - 1));
        painter.drawText(QRectF(0, y, ax - 4, h), Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromUtf8(second_spacing ? "終わり" : band.label));
      }
      y += h;
    }
  }
  // The row arrows set heights; the arrows along the top set widths.
  painter.setPen(arrow_pen);
  painter.drawText(QRectF(0, 0, page.left() - 2, page.top() - 2), Qt::AlignCenter | Qt::AlignBottom,
                   QStringLiteral("行の高さ"));
  const double ay = page.top() - 6;
  const double split = inside.left() + columns * col_width;
  Arrow(painter, QPointF(inside.left(), ay), QPointF(split - 2, ay));
  Arrow(painter, QPointF(split + 2, ay), QPointF(inside.right(), ay));
  painter.drawText(QRectF(inside.left(), 0, split - inside.left(), ay - 2),
                   Qt::AlignCenter | Qt::AlignBottom, QStringLiteral("A～T列の幅"));
  painter.drawText(QRectF(split - 30, 0, inside.right() - split + 40, ay - 2),
                   Qt::AlignCenter | Qt::AlignBottom, QStringLiteral("U列の幅"));
  return pixmap;
}

}  // namespace tessarin::desktop
