// PrintSheetPages: rows cut into pages that fit the paper inside the margins.
#include "app/desktop/print_pages.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "app/desktop/cell_paint.h"
#include "core/host/units.h"
#include "core/host/address.h"
#include "core/host/constants.h"

namespace tessarin::desktop {

void SetUpPrinter(const host::Worksheet& sheet, QPrinter& printer) {
  const host::PageSetup& setup = sheet.page_setup();
  printer.setPageSize(QPageSize(setup.paper_size == host::kXlPaperA4 ? QPageSize::A4 : QPageSize::A4));
  printer.setPageOrientation(setup.orientation == host::kXlLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  printer.setPageMargins(QMarginsF(setup.left_margin, setup.top_margin, setup.right_margin, setup.bottom_margin),
                         QPageLayout::Point);
}

int PrintSheetPages(const host::Worksheet& sheet, QPrinter& printer) {
  host::Area area = sheet.UsedArea();
  if (!sheet.page_setup().print_area.empty()) {
    try {
      area = host::ParseArea(sheet.page_setup().print_area);
    } catch (...) {
    }
  }
  const QRectF paper = printer.pageLayout().paintRect(QPageLayout::Point);
  double width = 0;
  for (int32_t col = area.left; col <= area.right; ++col) width += host::ColumnPoints(sheet, col);
  double scale = std::max(10, sheet.page_setup().zoom > 0 ? sheet.page_setup().zoom : 100) / 100.0;
  if (width * scale > paper.width()) scale = paper.width() / width;
  QPainter painter(&printer);
  const double device = printer.resolution() / 72.0;
  int pages = 0;
  int32_t top = area.top;
  while (top <= area.bottom) {
    double height = 0;
    int32_t bottom = top;
    while (bottom <= area.bottom && (height + host::RowPoints(sheet, bottom)) * scale <= paper.height()) {
      height += host::RowPoints(sheet, bottom);
      ++bottom;
    }
    if (bottom == top) ++bottom;  // a row taller than the page still gets printed
    if (pages > 0) printer.newPage();
    painter.save();
    painter.scale(device * scale, device * scale);
    PaintCells(painter, sheet, host::Area{top, area.left, bottom - 1, area.right}, QPointF(0, 0),
               sheet.page_setup().print_gridlines);
    painter.restore();
    ++pages;
    top = bottom;
  }
  return pages;
}

}  // namespace tessarin::desktop
