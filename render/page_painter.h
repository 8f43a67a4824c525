// PagePainter: paints one print page of a sheet on a painter whose units are points of paper,
// (0, 0) being the paper's top-left corner. The PDF writer, page images and the printer share it.
#pragma once

#include "core/host/worksheet.h"
#include "render/cell_painter.h"
#include "render/font_catalog.h"
#include "render/page_layout.h"

class QPainter;

namespace tessarin::render {

class PagePainter {
 public:
  // `fonts` must outlive the painter.
  explicit PagePainter(FontCatalog& fonts) : fonts_(fonts), cells_(fonts) {}
  // Paints `page` (one of layout.pages) at the layout's zoom; gridlines and the row and column
  // headings when the setup prints them.
  void Paint(QPainter& painter, const host::Worksheet& sheet, const PrintLayout& layout,
             const PrintPage& page);

 private:
  void PaintHeadings(QPainter& painter, const host::Worksheet& sheet, QSizeF size,
                     const host::Area& area);
  FontCatalog& fonts_;
  CellPainter cells_;
};

}  // namespace tessarin::render
