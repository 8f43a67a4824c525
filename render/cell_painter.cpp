// Cell painting: gridlines, text as glyph runs, borders.
#include "render/cell_painter.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>

#include "core/host/range.h"
#include "core/host/units.h"

namespace tessarin::render {
namespace {

const host::Area* MergeAt(const host::Worksheet& sheet, int32_t row, int32_t col) {
  for (const host::Area& m : sheet.merges()) {
    if (m.Contains(row, col)) return &m;
  }
  return nullptr;
}

// One indent level: three digits of the workbook's default font (pixels of 0.75 points).
double IndentPoints(const host::Worksheet& sheet) {
  return 3 * host::MaxDigitWidth(sheet.styles().Get(host::kDefaultStyle).font) * 0.75;
}

bool IsEmptyCell(const host::Worksheet& sheet, int32_t row, int32_t col) {
  const host::Cell* c = sheet.cells().Find(row, col);
  return !c || c->type == host::ValueType::kEmpty;
}

// Pen of a border line: weight gives the width, line style the dashes.
QPen BorderPen(const host::BorderLine& b) {
  double width = 0.5;
  switch (b.weight) {
    case host::kXlHairline:
      width = 0.25;
      break;
    case host::kXlMedium:
      width = 1.25;
      break;
    case host::kXlThick:
      width = 2.0;
      break;
    default:
      break;
  }
  QPen pen(ColorOfIndex(b.color_index), width);
  pen.setCapStyle(Qt::SquareCap);
  switch (b.line_style) {
    case host::kXlDash:
      pen.setStyle(Qt::DashLine);
      break;
    case host::kXlDot:
      pen.setStyle(Qt::DotLine);
      break;
    case host::kXlDashDot:
    case host::kXlSlantDashDot:
      pen.setStyle(Qt::DashDotLine);
      break;
    case host::kXlDashDotDot:
      pen.setStyle(Qt::DashDotDotLine);
      break;
    default:
      break;
  }
  return pen;
}

// Border lines gathered for painting, each with its pen, in painting order.
using BorderLines = std::vector<std::pair<QPen, QLineF>>;

void AddBorders(BorderLines& out, const host::Style& style, const QRectF& r) {
  const auto line = [&](host::BorderSlot slot, QLineF l) {
    const host::BorderLine& b = style.borders[slot];
    if (!b.IsSet()) return;
    const QPen pen = BorderPen(b);
    if (b.line_style == host::kXlDouble) {
      // Two thin lines a line's width either side of the edge.
      const QPen thin(pen.color(), 0.5);
      const QPointF n = QLineF(QPointF(), QPointF(-(l.dy()), l.dx())).unitVector().p2() * 0.75;
      out.emplace_back(thin, l.translated(n));
      out.emplace_back(thin, l.translated(-n));
      return;
    }
    out.emplace_back(pen, l);
  };
  line(host::kLeft, QLineF(r.topLeft(), r.bottomLeft()));
  line(host::kRight, QLineF(r.topRight(), r.bottomRight()));
  line(host::kTop, QLineF(r.topLeft(), r.topRight()));
  line(host::kBottom, QLineF(r.bottomLeft(), r.bottomRight()));
  line(host::kDiagonalDown, QLineF(r.topLeft(), r.bottomRight()));
  line(host::kDiagonalUp, QLineF(r.bottomLeft(), r.topRight()));
}

// Paints the lines in order, each stretch of one pen in one call: a page of answer boxes is
// then a few strokes, not one per edge.
void PaintBorderLines(QPainter& painter, const BorderLines& lines) {
  std::vector<QLineF> stretch;
  for (size_t i = 0; i < lines.size(); ++i) {
    stretch.push_back(lines[i].second);
    if (i + 1 < lines.size() && lines[i + 1].first == lines[i].first) continue;
    painter.setPen(lines[i].first);
    painter.drawLines(stretch.data(), static_cast<int>(stretch.size()));
    stretch.clear();
  }
}

// The whole box of `merge` in the coordinates of `grid`, reaching past the grid's area where the
// merge does.
QRectF WholeBox(const host::Worksheet& sheet, const GridGeometry& grid, const host::Area& merge) {
  const host::Area& area = grid.area();
  QRectF box = grid.Box(merge.top, merge.left, merge.bottom, merge.right);
  for (int32_t c = merge.left; c < std::min(area.left, merge.right + 1); ++c)
    box.setLeft(box.left() - host::ColumnPoints(sheet, c));
  for (int32_t c = std::max(area.right + 1, merge.left); c <= merge.right; ++c)
    box.setRight(box.right() + host::ColumnPoints(sheet, c));
  for (int32_t r = merge.top; r < std::min(area.top, merge.bottom + 1); ++r)
    box.setTop(box.top() - host::RowPoints(sheet, r));
  for (int32_t r = std::max(area.bottom + 1, merge.top); r <= merge.bottom; ++r)
    box.setBottom(box.bottom() + host::RowPoints(sheet, r));
  return box;
}

bool Overlaps(const host::Area& a, const host::Area& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

GridGeometry::GridGeometry(const host::Worksheet& sheet, const host::Area& area) : area_(area) {
  x_.reserve(static_cast<size_t>(area.Columns()) + 1);
  y_.reserve(static_cast<size_t>(area.Rows()) + 1);
  double x = 0, y = 0;
  x_.push_back(0);
  for (int32_t c = area.left; c <= area.right; ++c) x_.push_back(x += host::ColumnPoints(sheet, c));
  y_.push_back(0);
  for (int32_t r = area.top; r <= area.bottom; ++r) y_.push_back(y += host::RowPoints(sheet, r));
}

QRectF GridGeometry::Box(int32_t top, int32_t left, int32_t bottom, int32_t right) const {
  top = std::clamp(top, area_.top, area_.bottom);
  bottom = std::clamp(bottom, area_.top, area_.bottom);
  left = std::clamp(left, area_.left, area_.right);
  right = std::clamp(right, area_.left, area_.right);
  return QRectF(QPointF(ColumnLeft(left), RowTop(top)),
                QPointF(ColumnLeft(right + 1), RowTop(bottom + 1)));
}

StyledText TextOfCell(const host::Worksheet& sheet, int32_t row, int32_t col) {
  const host::Cell* cell = sheet.cells().Find(row, col);
  if (!cell || cell->type == host::ValueType::kEmpty) return {};
  // The displayed text is the host's own (number formats and all).
  const std::string shown = host::DisplayedText(sheet, row, col);
  const host::Style& style = sheet.styles().Get(cell->style);
  StyledText t = StyledText::Plain(shown, style.font);
  t.is_number = cell->type == host::ValueType::kNumber;
  t.is_logical = cell->type == host::ValueType::kBoolean || cell->type == host::ValueType::kError;
  const host::CellExtra* extra = cell->has_extra() ? sheet.Extra(row, col) : nullptr;
  // Runs and phonetic guides index the stored text; a number format that changes the text
  // leaves them out.
  if (extra && cell->type == host::ValueType::kText && shown == sheet.TextView(row, col)) {
    for (const host::TextRun& run : extra->runs) {
      t.fonts.push_back(run.font);
      const size_t end = std::min<size_t>(t.text.size(), size_t{run.start} + run.length);
      for (size_t i = run.start; i < end; ++i)
        t.font_of[i] = static_cast<uint16_t>(t.fonts.size() - 1);
    }
    if (extra->phonetic) {
      t.phonetic = extra->phonetic->runs;
      t.phonetic_visible = extra->phonetic->visible;
    }
  }
  return t;
}

double ShrinkFactor(FontCatalog& fonts, const host::Worksheet& sheet, int32_t row, int32_t col) {
  const GridGeometry grid(sheet, host::Area::Cell(row, col));
  return CellPainter(fonts).Layout(sheet, row, col, grid.CellBox(row, col)).scale;
}

namespace {

// Ink within half a point of a clip's edge is clipped anyway: a screen's antialiasing may reach
// that far past the outline.
constexpr double kInkMargin = 0.5;

// The ink of a glyph as painted at `origin` (a turned glyph a quarter turn clockwise about the
// centre of its square), in the layout's coordinates.
QRectF InkBox(const PlacedGlyph& g, uint32_t glyph) {
  const QRectF em = g.face->InkEm(glyph);
  const QRectF ink(g.origin + em.topLeft() * g.size, em.size() * g.size);
  if (!g.turned) return ink;
  const QPointF c = g.square.center();
  return QRectF(QPointF(c.x() - (ink.bottom() - c.y()), c.y() + (ink.left() - c.x())),
                QPointF(c.x() - (ink.top() - c.y()), c.y() + (ink.right() - c.x())));
}

// True when the ink of every glyph and every line lies inside `clip` with a margin: clipping to
// it would then change nothing.
bool WellInside(const CellTextLayout& layout, const QRectF& clip) {
  const QRectF inner = clip.adjusted(kInkMargin, kInkMargin, -kInkMargin, -kInkMargin);
  const auto inside = [&](const QRectF& r) {
    return r.left() >= inner.left() && r.right() <= inner.right() && r.top() >= inner.top() &&
           r.bottom() <= inner.bottom();
  };
  for (const PlacedGlyph& g : layout.glyphs) {
    if (!inside(InkBox(g, g.glyph))) return false;
    if (g.text_glyph != 0 && !inside(InkBox(g, g.text_glyph))) return false;
  }
  for (const TextLine& l : layout.lines) {
    const double m = l.width;
    if (!inside(QRectF(l.line.p1(), l.line.p2()).normalized().adjusted(-m, -m, m, m))) return false;
  }
  return true;
}

}  // namespace

CellTextLayout CellPainter::Layout(const host::Worksheet& sheet, int32_t row, int32_t col,
                                   const QRectF& box) {
  const StyledText text = TextOfCell(sheet, row, col);
  return LayoutCellText(fonts_, text, sheet.StyleAt(row, col), box, IndentPoints(sheet));
}

void CellPainter::PaintText(QPainter& painter, const CellTextLayout& layout, const QRectF& cell,
                            const QRectF& clip) {
  if (layout.glyphs.empty() && layout.lines.empty()) return;
  // A clip, and a saved state, cost a clip path and a graphics state in a PDF for every cell;
  // text well inside its clip needs neither, only its pen put back.
  const bool plain = layout.rotation == 0 && WellInside(layout, clip);
  const QPen old_pen = painter.pen();
  if (!plain) {
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
  }
  if (layout.rotation != 0) {
    painter.translate(cell.center());
    painter.rotate(-layout.rotation);
    painter.translate(-cell.center());
  }
  // Consecutive glyphs of one face, size and colour make one glyph run; runs go out in text
  // order, so a PDF's text reads in order. Turned glyphs get their own quarter turn.
  struct Run {
    const FontFace* face = nullptr;
    double size = 0;
    QColor color;
    QList<quint32> glyphs;
    QList<QPointF> positions;
  };
  Run run;
  const auto flush = [&] {
    if (run.glyphs.isEmpty()) return;
    QGlyphRun glyphs;
    glyphs.setRawFont(run.face->AtSize(run.size));
    glyphs.setGlyphIndexes(run.glyphs);
    glyphs.setPositions(run.positions);
    painter.setPen(run.color);
    painter.drawGlyphRun(QPointF(), glyphs);
    run.glyphs.clear();
    run.positions.clear();
  };
  const auto add = [&](const FontFace* face, double size, const QColor& color, uint32_t glyph,
                       QPointF at) {
    if (face != run.face || size != run.size || color != run.color) {
      flush();
      run.face = face;
      run.size = size;
      run.color = color;
    }
    run.glyphs.push_back(glyph);
    run.positions.push_back(at);
  };
  for (const PlacedGlyph& g : layout.glyphs) {
    if (g.turned) {
      flush();
      painter.save();
      painter.translate(g.square.center());
      painter.rotate(90);
      painter.translate(-g.square.center());
      add(g.face, g.size, g.color, g.glyph, g.origin);
      flush();
      painter.restore();
      continue;
    }
    add(g.face, g.size, g.color, g.glyph, g.origin);
    if (g.text_glyph != 0) add(g.face, g.size, Qt::transparent, g.text_glyph, g.origin);
  }
  flush();
  for (const TextLine& l : layout.lines) {
    QPen pen(l.color, l.width);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(l.line);
  }
  if (plain) {
    painter.setPen(old_pen);
  } else {
    painter.restore();
  }
}

namespace {

using CellAt = std::pair<int32_t, const host::Cell*>;  // a stored cell and its row

void PaintGridlines(QPainter& painter, const GridGeometry& grid, const host::Area& area,
                    const QColor& color) {
  painter.setPen(QPen(color, 0));
  for (int32_t c = area.left; c <= area.right + 1; ++c)
    painter.drawLine(QLineF(grid.ColumnLeft(c), 0, grid.ColumnLeft(c), grid.Height()));
  for (int32_t r = area.top; r <= area.bottom + 1; ++r)
    painter.drawLine(QLineF(0, grid.RowTop(r), grid.Width(), grid.RowTop(r)));
}

// The cells with a value, in reading order, which is also the order a PDF's text is extracted
// in: a page written vertically reads each row from right to left.
std::vector<CellAt> CellsInReadingOrder(const host::Worksheet& sheet, const host::Area& area,
                                        bool whole_merges) {
  std::vector<CellAt> order;
  bool vertical_page = false;
  sheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
    if (cell.type == host::ValueType::kEmpty) return;
    order.emplace_back(row, &cell);
    vertical_page =
        vertical_page || sheet.styles().Get(cell.style).orientation == host::kXlVertical;
  });
  if (whole_merges) {
    // Merges whose first cell lies outside the area still show their text where they reach in.
    for (const host::Area& m : sheet.merges()) {
      if (area.Contains(m.top, m.left) || !Overlaps(m, area)) continue;
      const host::Cell* first = sheet.cells().Find(m.top, m.left);
      if (first != nullptr && first->type != host::ValueType::kEmpty)
        order.emplace_back(m.top, first);
    }
  }
  if (vertical_page) {
    std::stable_sort(order.begin(), order.end(), [](const CellAt& a, const CellAt& b) {
      return a.first != b.first ? a.first < b.first : a.second->col > b.second->col;
    });
  }
  return order;
}

// Where the text of the cell in `box` may show: the box, widened over the empty neighbours on
// the side an unwrapped, unshrunk, unturned text too wide for it grows to.
QRectF SpillClip(const host::Worksheet& sheet, const GridGeometry& grid, const host::Area& area,
                 int32_t row, int32_t col, const host::Style& style, const QRectF& box,
                 const QRectF& block) {
  QRectF clip = box;
  if (style.wrap || style.shrink || style.orientation != 0 || block.width() <= box.width())
    return clip;
  const bool right = block.right() > box.right(), left = block.left() < box.left();
  int32_t c = col;
  while (right && c < area.right && IsEmptyCell(sheet, row, c + 1) &&
         grid.ColumnLeft(c + 1) < block.right())
    ++c;
  clip.setRight(grid.ColumnLeft(c + 1));
  c = col;
  while (left && c > area.left && IsEmptyCell(sheet, row, c - 1) &&
         grid.ColumnLeft(c) > block.left())
    --c;
  clip.setLeft(grid.ColumnLeft(c));
  return clip;
}

void PaintAllBorders(QPainter& painter, const host::Worksheet& sheet, const GridGeometry& grid,
                     const host::Area& area) {
  BorderLines lines;
  sheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
    const host::Style& style = sheet.styles().Get(cell.style);
    bool any = false;
    for (const host::BorderLine& b : style.borders) any = any || b.IsSet();
    if (!any) return;
    const host::Area* merge = MergeAt(sheet, row, cell.col);
    const QRectF box = merge ? grid.Box(merge->top, merge->left, merge->bottom, merge->right)
                             : grid.CellBox(row, cell.col);
    AddBorders(lines, style, box);
  });
  PaintBorderLines(painter, lines);
}

}  // namespace

void CellPainter::Paint(QPainter& painter, const host::Worksheet& sheet, const host::Area& area,
                        QPointF origin, const PaintOptions& options) {
  const GridGeometry grid(sheet, area);
  painter.save();
  painter.translate(origin);
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (options.gridlines) PaintGridlines(painter, grid, area, options.gridline_color);
  const QRectF whole(0, 0, grid.Width(), grid.Height());
  for (const auto& [row, cell_ptr] : CellsInReadingOrder(sheet, area, options.whole_merges)) {
    const host::Cell& cell = *cell_ptr;
    const host::Area* merge = MergeAt(sheet, row, cell.col);
    if (merge && (merge->top != row || merge->left != cell.col)) continue;
    const QRectF box = !merge ? grid.CellBox(row, cell.col)
                       : options.whole_merges
                           ? WholeBox(sheet, grid, *merge)
                           : grid.Box(merge->top, merge->left, merge->bottom, merge->right);
    if (box.isEmpty()) continue;
    const CellTextLayout layout = Layout(sheet, row, cell.col, box);
    // A merged area keeps its text inside.
    const QRectF clip = merge ? box
                              : SpillClip(sheet, grid, area, row, cell.col,
                                          sheet.styles().Get(cell.style), box, layout.block);
    PaintText(painter, layout, box, clip.intersected(whole));
  }
  PaintAllBorders(painter, sheet, grid, area);
  painter.restore();
}

}  // namespace tessarin::render
