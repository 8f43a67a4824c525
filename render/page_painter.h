// PagePainter: paints one print page of a sheet on a painter whose units are points of paper,
// (0, 0) being the paper's top-left corner. The PDF writer, page images and the printer share it.
#pragma once

#include <QPainter>
#include <functional>

#include "core/host/worksheet.h"
#include "render/cell_painter.h"
#include "render/font_catalog.h"
#include "render/page_layout.h"

namespace tessarin::render {

class PagePainter {
 public:
  // `fonts` must outlive the painter.
  explicit PagePainter(FontCatalog& fonts) : fonts_(fonts), cells_(fonts) {}
  // Paints `page` (one of layout.pages) at the layout's zoom; gridlines and the row and column
  // headings when the setup prints them.
  void Paint(QPainter& painter, const host::Worksheet& sheet, const PrintLayout& layout,
             const PrintPage& page);

  // The cells of `page`, read and laid out with this painter's fonts (CellPainter::Prepare).
  PreparedCells Prepare(const host::Worksheet& sheet, const PrintPage& page);
  // Paints `page` from its prepared cells, as Paint would. `twins` is this painter's catalog
  // when another thread's fonts laid the cells out (CellPainter::PaintPrepared), else null.
  void PaintPrepared(QPainter& painter, const host::Worksheet& sheet, const PrintLayout& layout,
                     const PrintPage& page, const PreparedCells& cells, FontCatalog* twins);

 private:
  void PaintHeadings(QPainter& painter, const host::Worksheet& sheet, QSizeF size,
                     const host::Area& area);
  FontCatalog& fonts_;
  CellPainter cells_;
};

// Paints every page of `layout` in order, page i on the painter `start_page(i)` returns (having
// started its sheet of paper). While one page is painted, the cells of the next are read and laid
// out on a second thread with fonts of its own, so a long test prints on two cores; the sheet must
// not change meanwhile. `fonts` is the calling thread's catalog. An error on either thread comes
// out here once the second thread has stopped.
void PaintPages(const host::Worksheet& sheet, const PrintLayout& layout, FontCatalog& fonts,
                const std::function<QPainter&(size_t)>& start_page);

}  // namespace tessarin::render
