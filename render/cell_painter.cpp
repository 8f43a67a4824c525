// Cell painting: gridlines, text as glyph runs, borders.
#include "render/cell_painter.h"

#include <QGlyphRun>
#include <QPaintEngine>
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

// Joins the level and upright lines of `lines` that lie on one line and touch or overlap into
// one line each, and drops repeats: the shared edge of two boxed cells is stroked once, and a row
// of boxes is a few long lines. Only for a solid pen with square or flat caps, whose stroke of
// joined lines covers what the pieces covered; slanted lines stay as they are, after the others.
void JoinStraightLines(std::vector<QLineF>& lines) {
  struct Span {
    double at, from, to;
    bool operator<(const Span& o) const { return at != o.at ? at < o.at : from < o.from; }
  };
  std::vector<Span> level, upright;
  std::vector<QLineF> slanted;
  for (const QLineF& l : lines) {
    if (l.y1() == l.y2()) {
      level.push_back({l.y1(), std::min(l.x1(), l.x2()), std::max(l.x1(), l.x2())});
    } else if (l.x1() == l.x2()) {
      upright.push_back({l.x1(), std::min(l.y1(), l.y2()), std::max(l.y1(), l.y2())});
    } else {
      slanted.push_back(l);
    }
  }
  const auto join = [](std::vector<Span>& spans) {
    std::sort(spans.begin(), spans.end());
    size_t kept = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
      if (kept > 0 && spans[kept - 1].at == spans[i].at && spans[i].from <= spans[kept - 1].to) {
        spans[kept - 1].to = std::max(spans[kept - 1].to, spans[i].to);
      } else {
        spans[kept++] = spans[i];
      }
    }
    spans.resize(kept);
  };
  join(level);
  join(upright);
  lines.clear();
  for (const Span& s : level) lines.emplace_back(s.from, s.at, s.to, s.at);
  for (const Span& s : upright) lines.emplace_back(s.at, s.from, s.at, s.to);
  lines.insert(lines.end(), slanted.begin(), slanted.end());
}

// Paints the lines in order, each stretch of one pen in one call: a page of answer boxes is
// then a few strokes, not one per edge. A PDF strokes the lines of one call as one path, which
// paints their union once, so there the lines are joined first and the page looks the same; a
// raster painter lays each line's antialiased edge over the last, so it keeps the pieces and
// the screen and page images keep their look.
void PaintBorderLines(QPainter& painter, const BorderLines& lines) {
  const bool pdf =
      painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Pdf;
  std::vector<QLineF> stretch;
  for (size_t i = 0; i < lines.size(); ++i) {
    stretch.push_back(lines[i].second);
    if (i + 1 < lines.size() && lines[i + 1].first == lines[i].first) continue;
    const QPen& pen = lines[i].first;
    if (pdf && pen.style() == Qt::SolidLine && pen.capStyle() != Qt::RoundCap)
      JoinStraightLines(stretch);
    painter.setPen(pen);
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

namespace {

// Glyphs waiting to be painted as one glyph run: consecutive glyphs of one face, size and colour,
// in text order, so a PDF's text reads in order. A page's cells that need no clip add to the same
// run, so a row of numbers is one piece of text in a PDF, not one per cell (each costs a saved
// state, a transform, a colour and a font). Whoever changes the painter's transform or clip
// flushes first.
class GlyphRuns {
 public:
  // `twins`, when given, paints each face's twin in that catalog (CellPainter::PaintPrepared).
  GlyphRuns(QPainter& painter, FontCatalog* twins) : painter_(painter), twins_(twins) {}
  ~GlyphRuns() { Flush(); }
  GlyphRuns(const GlyphRuns&) = delete;
  GlyphRuns& operator=(const GlyphRuns&) = delete;

  void Add(const FontFace* face, double size, const QColor& color, uint32_t glyph, QPointF at) {
    if (face != face_ || size != size_ || color != color_) {
      Flush();
      face_ = face;
      size_ = size;
      color_ = color;
    }
    glyphs_.push_back(glyph);
    positions_.push_back(at);
  }

  void Flush() {
    if (glyphs_.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont((twins_ != nullptr ? twins_->Twin(*face_) : *face_).AtSize(size_));
    run.setGlyphIndexes(glyphs_);
    run.setPositions(positions_);
    painter_.setPen(color_);
    painter_.drawGlyphRun(QPointF(), run);
    glyphs_.clear();
    positions_.clear();
  }

 private:
  QPainter& painter_;
  FontCatalog* twins_;
  const FontFace* face_ = nullptr;
  double size_ = 0;
  QColor color_;
  QList<quint32> glyphs_;
  QList<QPointF> positions_;
};

// Whether a laid-out text must be painted clipped: a clip, and a saved state, cost a clip path
// and a graphics state in a PDF for every cell, so only text whose ink reaches the clip's edge,
// or turned text, gets them.
bool NeedsClip(const CellTextLayout& layout, const QRectF& clip) {
  return layout.rotation != 0 || !WellInside(layout, clip);
}

// Paints a laid-out text, its glyphs through `runs`; clipped to `clip` when `clipped`, else it
// joins the runs as it stands. The pen is left as the last glyph or line set it.
void PaintLayout(QPainter& painter, const CellTextLayout& layout, const QRectF& cell,
                 const QRectF& clip, bool clipped, GlyphRuns& runs) {
  if (layout.glyphs.empty() && layout.lines.empty()) return;
  if (clipped) {
    runs.Flush();
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
  }
  if (layout.rotation != 0) {
    painter.translate(cell.center());
    painter.rotate(-layout.rotation);
    painter.translate(-cell.center());
  }
  for (const PlacedGlyph& g : layout.glyphs) {
    if (g.turned) {
      // A turned glyph gets its own quarter turn.
      runs.Flush();
      painter.save();
      painter.translate(g.square.center());
      painter.rotate(90);
      painter.translate(-g.square.center());
      runs.Add(g.face, g.size, g.color, g.glyph, g.origin);
      runs.Flush();
      painter.restore();
      continue;
    }
    runs.Add(g.face, g.size, g.color, g.glyph, g.origin);
    if (g.text_glyph != 0) runs.Add(g.face, g.size, Qt::transparent, g.text_glyph, g.origin);
  }
  if (!layout.lines.empty()) {
    // Lines go over the cell's own glyphs.
    runs.Flush();
    for (const TextLine& l : layout.lines) {
      QPen pen(l.color, l.width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(l.line);
    }
  }
  if (clipped) {
    runs.Flush();
    painter.restore();
  }
}

}  // namespace

void CellPainter::PaintText(QPainter& painter, const CellTextLayout& layout, const QRectF& cell,
                            const QRectF& clip) {
  if (layout.glyphs.empty() && layout.lines.empty()) return;
  const QPen old_pen = painter.pen();
  {
    GlyphRuns runs(painter, nullptr);
    PaintLayout(painter, layout, cell, clip, NeedsClip(layout, clip), runs);
  }
  painter.setPen(old_pen);
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

BorderLines AllBorders(const host::Worksheet& sheet, const GridGeometry& grid,
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
  return lines;
}

}  // namespace

void CellPainter::Paint(QPainter& painter, const host::Worksheet& sheet, const host::Area& area,
                        QPointF origin, const PaintOptions& options) {
  PaintPrepared(painter, Prepare(sheet, area, origin, options));
}

PreparedCells CellPainter::Prepare(const host::Worksheet& sheet, const host::Area& area,
                                   QPointF origin, const PaintOptions& options) {
  PreparedCells out;
  out.grid = GridGeometry(sheet, area);
  const GridGeometry& grid = out.grid;
  out.origin = origin;
  out.gridlines = options.gridlines;
  out.gridline_color = options.gridline_color;
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
    PreparedCells::Text text;
    text.layout = Layout(sheet, row, cell.col, box);
    if (text.layout.glyphs.empty() && text.layout.lines.empty()) continue;
    text.cell = box;
    // A merged area keeps its text inside.
    text.clip = (merge ? box
                       : SpillClip(sheet, grid, area, row, cell.col, sheet.styles().Get(cell.style),
                                   box, text.layout.block))
                    .intersected(whole);
    text.clipped = NeedsClip(text.layout, text.clip);
    out.texts.push_back(std::move(text));
  }
  out.borders = AllBorders(sheet, grid, area);
  return out;
}

void CellPainter::PaintPrepared(QPainter& painter, const PreparedCells& cells, FontCatalog* twins) {
  painter.save();
  painter.translate(cells.origin);
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (cells.gridlines) PaintGridlines(painter, cells.grid, cells.grid.area(), cells.gridline_color);
  {
    GlyphRuns runs(painter, twins);
    for (const PreparedCells::Text& t : cells.texts)
      PaintLayout(painter, t.layout, t.cell, t.clip, t.clipped, runs);
  }
  PaintBorderLines(painter, cells.borders);
  painter.restore();
}

}  // namespace tessarin::render
