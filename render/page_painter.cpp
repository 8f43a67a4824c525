// One print page: the page's cells, scaled by the zoom, inside the margins.
#include "render/page_painter.h"

#include <QPainter>
#include <QPen>

#include "core/host/address.h"

namespace tessarin::render {

void PagePainter::Paint(QPainter& painter, const host::Worksheet& sheet, const PrintLayout& layout,
                        const PrintPage& page) {
  painter.save();
  painter.translate(page.frame.topLeft());
  painter.scale(layout.scale, layout.scale);
  PaintOptions options;
  options.gridlines = sheet.page_setup().print_gridlines;
  cells_.Paint(painter, sheet, page.area, QPointF(), options);
  if (!layout.headings.isEmpty()) PaintHeadings(painter, sheet, layout.headings, page.area);
  painter.restore();
}

void PagePainter::PaintHeadings(QPainter& painter, const host::Worksheet& sheet, QSizeF size,
                                const host::Area& area) {
  const GridGeometry grid(sheet, area);
  host::Style style = sheet.styles().Get(host::kDefaultStyle);
  style.horizontal = style.vertical = host::kXlCenter;
  style.shrink = true;
  painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5));
  const auto label = [&](const std::string& text, const QRectF& box) {
    painter.drawRect(box);
    CellPainter::PaintText(
        painter, LayoutCellText(fonts_, StyledText::Plain(text, style.font), style, box, 0), box,
        box);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5));
  };
  for (int32_t c = area.left; c <= area.right; ++c) {
    label(host::ColumnLetters(c),
          QRectF(QPointF(grid.ColumnLeft(c), -size.height()), QPointF(grid.ColumnLeft(c + 1), 0)));
  }
  for (int32_t r = area.top; r <= area.bottom; ++r) {
    label(std::to_string(r),
          QRectF(QPointF(-size.width(), grid.RowTop(r)), QPointF(0, grid.RowTop(r + 1))));
  }
}

}  // namespace tessarin::render
