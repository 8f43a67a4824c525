// Printing through QPrinter.
#include "render/printer_output.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include "core/host/host_error.h"
#include "render/font_catalog.h"
#include "render/page_layout.h"
#include "render/page_painter.h"

namespace tessarin::render {

namespace {

void SetUpPrinter(const PrintLayout& layout, QPrinter& printer) {
  const QSizeF portrait = layout.landscape ? layout.paper.transposed() : layout.paper;
  printer.setFullPage(true);
  printer.setPageLayout(
      QPageLayout(QPageSize(portrait, QPageSize::Point),
                  layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
}

}  // namespace

void SetUpPrinter(const host::Worksheet& sheet, QPrinter& printer) {
  SetUpPrinter(LayoutPrintPages(sheet), printer);
}

int PrintSheet(const host::Worksheet& sheet, QPrinter& printer) {
  constexpr int kErrApplication = host::kErrApplicationDefined;
  if (sheet.cells().CellCount() == 0) {
    throw host::HostError(kErrApplication,
                          "the sheet \"" + sheet.name() + "\" has nothing to print");
  }
  const PrintLayout layout = LayoutPrintPages(sheet);
  SetUpPrinter(layout, printer);
  QPainter painter;
  if (!painter.begin(&printer))
    throw host::HostError(kErrApplication, "the printer could not start");
  // The page painter works in points; the printer in its own resolution.
  const double px = printer.resolution() / 72.0;
  painter.scale(px, px);
  FontCatalog fonts;
  PaintPages(sheet, layout, fonts, [&](size_t i) -> QPainter& {
    if (i > 0) printer.newPage();
    return painter;
  });
  painter.end();
  return static_cast<int>(layout.pages.size());
}

}  // namespace tessarin::render
