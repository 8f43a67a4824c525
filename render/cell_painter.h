// CellPainter: paints a rectangle of a sheet's cells (gridlines, text, borders) through QPainter.
// The printed page, the PDF, page images and the desktop grid all paint cells through this one
// class, so the screen shows what the paper will.
//
// Units: the painter works in points (1/72 inch) with the area's top-left cell corner at
// `origin`. A screen grid scales the painter (dpi / 72 times its zoom) before calling Paint; a
// page scales it by the print zoom. Paint reads the sheet and never changes it.
#pragma once

#include <QColor>
#include <QLineF>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/host/geometry.h"
#include "core/host/worksheet.h"
#include "render/cell_text.h"
#include "render/font_catalog.h"

class QPainter;

namespace tessarin::render {

// Row and column positions of an area of a sheet, in points from the area's top-left corner.
class GridGeometry {
 public:
  GridGeometry() : x_{0}, y_{0} {}  // no cells
  GridGeometry(const host::Worksheet& sheet, const host::Area& area);
  const host::Area& area() const { return area_; }
  // Left edge of column `col` (area.left .. area.right + 1, the last giving the right edge).
  double ColumnLeft(int32_t col) const { return x_[static_cast<size_t>(col - area_.left)]; }
  double RowTop(int32_t row) const { return y_[static_cast<size_t>(row - area_.top)]; }
  double Width() const { return x_.back(); }
  double Height() const { return y_.back(); }
  // The box of the cells rows top..bottom, columns left..right (clamped to the area).
  QRectF Box(int32_t top, int32_t left, int32_t bottom, int32_t right) const;
  QRectF CellBox(int32_t row, int32_t col) const { return Box(row, col, row, col); }

 private:
  host::Area area_;
  std::vector<double> x_, y_;
};

struct PaintOptions {
  // Light lines between all cells: the screen grid, or a page whose setup prints gridlines.
  bool gridlines = false;
  QColor gridline_color{0xC0, 0xC0, 0xC0};
  // A merged area that reaches into the painted area from outside is laid out over its whole
  // box and painted clipped to the area, as a scrolled window shows it. Off for pages, which
  // paint only the merges that start on them.
  bool whole_merges = false;
};

// The displayed text of a cell with its fonts, character runs and phonetic guide.
StyledText TextOfCell(const host::Worksheet& sheet, int32_t row, int32_t col);

// The factor by which shrink to fit scales the text of the cell (`row`, `col`) of `sheet` to fit
// the cell as printed: 1 when it fits, the cell does not shrink, or it is empty. Merged areas are
// not looked at (the cell alone is the box). Needs a QGuiApplication (EnsureGuiApplication).
double ShrinkFactor(FontCatalog& fonts, const host::Worksheet& sheet, int32_t row, int32_t col);

// A rectangle of cells made ready to paint: read from the sheet and laid out, nothing painted
// yet. Making it needs no painter, so a page can be made ready on one thread while the page
// before is painted on another. Its glyphs name faces of the catalog that laid them out.
struct PreparedCells {
  struct Text {
    CellTextLayout layout;
    QRectF cell;           // the box the text was laid out in
    QRectF clip;           // where it may show
    bool clipped = false;  // painted clipped: its ink reaches the clip's edge, or it is turned
  };
  GridGeometry grid;
  QPointF origin;
  bool gridlines = false;
  QColor gridline_color;
  std::vector<Text> texts;                       // in reading order
  std::vector<std::pair<QPen, QLineF>> borders;  // in painting order
};

class CellPainter {
 public:
  // `fonts` must outlive the painter.
  explicit CellPainter(FontCatalog& fonts) : fonts_(fonts) {}

  // Paints the cells of `area` with its top-left corner at `origin`: gridlines when asked, then
  // every cell's text (clipped to its cell; a merged area paints once over its whole box;
  // horizontal text that does not fit spills into empty neighbours as the host shows it), then
  // borders. Cells outside `area` are not painted, even when a merge reaches in, unless
  // options.whole_merges asks for it.
  void Paint(QPainter& painter, const host::Worksheet& sheet, const host::Area& area,
             QPointF origin, const PaintOptions& options = {});

  // What Paint paints, read and laid out with this painter's fonts; reads the sheet only.
  PreparedCells Prepare(const host::Worksheet& sheet, const host::Area& area, QPointF origin,
                        const PaintOptions& options = {});
  // Paints prepared cells as Paint would. `twins`, when given, is the painting thread's catalog:
  // glyphs laid out with another thread's faces are painted with their twins there.
  static void PaintPrepared(QPainter& painter, const PreparedCells& cells,
                            FontCatalog* twins = nullptr);

  // The layout of one cell's text in `box` (points), as Paint would place it.
  CellTextLayout Layout(const host::Worksheet& sheet, int32_t row, int32_t col, const QRectF& box);

  // Paints a laid-out text, clipped to `clip`.
  static void PaintText(QPainter& painter, const CellTextLayout& layout, const QRectF& cell,
                        const QRectF& clip);

 private:
  FontCatalog& fonts_;
};

}  // namespace tessarin::render
