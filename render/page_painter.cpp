// One print page: the page's cells, scaled by the zoom, inside the margins.
#include "render/page_painter.h"

#include <QPainter>

namespace tessarin::render {

void PagePainter::Paint(QPainter& painter, const host::Worksheet& sheet, const PrintLayout& layout,
                        const PrintPage& page) {
  painter.save();
  painter.translate(page.frame.topLeft());
  painter.scale(layout.scale, layout.scale);
  PaintOptions options;
  options.gridlines = sheet.page_setup().print_gridlines;
  cells_.Paint(painter, sheet, page.area, QPointF(), options);
  painter.restore();
}

}  // namespace tessarin::render
