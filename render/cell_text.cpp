// Cell text layout. Everything is laid out at the nominal sizes first; shrink to fit then scales
// the whole block by one factor (layout is linear in size: glyphs come unhinted, in em units).
#include "render/cell_text.h"

#include <hb.h>

#include <QString>
#include <algorithm>
#include <cmath>
#include <span>

#include "core/host/constants.h"
#include "core/host/palette.h"
#include "render/shaper.h"
#include "render/vertical_forms.h"

namespace tessarin::render {
namespace {

using host::kXlBottom;
using host::kXlCenter;
using host::kXlGeneral;
using host::kXlLeft;
using host::kXlRight;
using host::kXlTop;

// A stretch of characters shaped together: one font of the cell, one installed face.
struct Item {
  size_t start = 0;
  size_t end = 0;
  uint16_t font = 0;
  const FontFace* face = nullptr;
};

std::vector<Item> Itemize(FontCatalog& fonts, const StyledText& t) {
  std::vector<Item> items;
  // Each font of the cell is looked up once, not once a character.
  std::vector<const FontFace*> primary(t.fonts.size(), nullptr);
  for (size_t i = 0; i < t.text.size(); ++i) {
    const uint16_t fi = t.font_of[i];
    const host::Font& f = t.fonts[fi];
    if (primary[fi] == nullptr) primary[fi] = &fonts.Face(f.name, f.bold, f.italic);
    const FontFace* face = &fonts.FaceFor(*primary[fi], t.text[i], f.bold);
    if (!items.empty() && items.back().font == fi && items.back().face == face &&
        t.text[i] != U'\n' && t.text[i - 1] != U'\n') {
      items.back().end = i + 1;
    } else {
      items.push_back({i, i + 1, fi, face});
    }
  }
  return items;
}

// The items that overlap characters [a, b), found by bisection: the items are in text order,
// so a cell broken into many lines or columns is laid out in time linear in its length.
std::span<const Item> ItemsIn(const std::vector<Item>& items, size_t a, size_t b) {
  const auto first =
      std::partition_point(items.begin(), items.end(), [a](const Item& i) { return i.end <= a; });
  const auto last =
      std::partition_point(first, items.end(), [b](const Item& i) { return i.start < b; });
  return {first, last};
}

bool Underlined(const host::Font& f) {
  return f.underline != host::kXlUnderlineStyleNone && f.underline != 0;
}
bool DoubleUnderline(const host::Font& f) {
  return f.underline == host::kXlUnderlineStyleDouble ||
         f.underline == host::kXlUnderlineStyleDoubleAccounting;
}

// Adds a line, joining it to the previous one when it continues it.
void AddLine(std::vector<TextLine>& lines, QLineF line, double width, const QColor& color) {
  if (!lines.empty()) {
    TextLine& last = lines.back();
    if (last.color == color && std::abs(last.width - width) < 1e-9 &&
        std::abs(last.line.p2().x() - line.p1().x()) < 1e-6 &&
        std::abs(last.line.p2().y() - line.p1().y()) < 1e-6 &&
        (std::abs(line.p1().x() - line.p2().x()) < 1e-9) ==
            (std::abs(last.line.p1().x() - last.line.p2().x()) < 1e-9)) {
      last.line.setP2(line.p2());
      return;
    }
  }
  lines.push_back({line, width, color});
}

// One line (horizontal) or column (vertical) of laid-out text, in its own coordinates.
struct Strip {
  std::vector<PlacedGlyph> glyphs;
  std::vector<TextLine> lines;
  double length = 0;  // advance along the writing direction
  double before = 0;  // horizontal: ascent (+ ruby above); vertical: half the base width
  double after = 0;   // horizontal: descent; vertical: half the base width + ruby on the right
};

// --- Vertical (stacked) text -------------------------------------------------------------------

// The glyph of character `k` in its em square, in its vertical form and position.
PlacedGlyph PlaceVerticalGlyph(const Item& item, const ShapedGlyph& g, double size,
                               const QColor& color, size_t k, char32_t c, const QRectF& square) {
  PlacedGlyph p{item.face,
                size,
                g.glyph,
                QPointF(g.x_offset * size, square.top() + g.y_offset * size),
                square,
                color,
                static_cast<int32_t>(k)};
  // A font without vertical forms leaves the horizontal glyph: correct it by hand.
  uint32_t nominal = 0;
  const bool unchanged =
      hb_font_get_nominal_glyph(item.face->hb(), c, &nominal) && nominal == g.glyph;
  if (!unchanged && nominal != 0 && HasVerticalForm(c)) p.text_glyph = nominal;
  if (unchanged && TurnsInVerticalText(c)) {
    p.turned = true;
    const double adv = item.face->AdvanceEm(g.glyph) * size;
    p.origin = QPointF(
        -adv / 2, square.center().y() + (item.face->ascent() - item.face->descent()) * size / 2);
  } else if (unchanged && IsVerticalCornerPunctuation(c)) {
    p.origin += QPointF(0.6 * size, -0.6 * size);
  } else if (unchanged && IsSmallKana(c)) {
    p.origin += QPointF(0.1 * size, -0.1 * size);
  }
  return p;
}

// Shapes the characters [a, b) item by item into `s`, one em square each; fills `squares` and
// returns the widest square.
double PlaceColumnGlyphs(const StyledText& t, const std::vector<Item>& items, size_t a, size_t b,
                         Strip& s, std::vector<QRectF>& squares) {
  double widest = 0;
  for (const Item& item : ItemsIn(items, a, b)) {
    const size_t from = std::max(item.start, a), to = std::min(item.end, b);
    if (from >= to) continue;
    const host::Font& font = t.fonts[item.font];
    const double size = font.size;
    const QColor color = ColorOfIndex(font.color_index);
    std::u32string_view run(t.text.data() + from, to - from);
    const std::vector<ShapedGlyph> shaped = Shape(*item.face, run, true);
    const double top = s.length;
    // Solid setting: every character takes one em square, whatever the font's vertical advance.
    for (size_t k = from; k < to; ++k)
      squares[k - a] = QRectF(-size / 2, top + (k - from) * size, size, size);
    for (const ShapedGlyph& g : shaped) {
      const size_t k = from + g.cluster;
      s.glyphs.push_back(PlaceVerticalGlyph(item, g, size, color, k, t.text[k], squares[k - a]));
    }
    s.length = top + (to - from) * size;
    widest = std::max(widest, size);
  }
  return widest;
}

// Underlines become side lines on the right; strikethroughs run down the middle.
void AddColumnLines(const StyledText& t, size_t a, size_t b, const std::vector<QRectF>& squares,
                    double widest, Strip& s) {
  for (size_t k = a; k < b; ++k) {
    const host::Font& f = t.fonts[t.font_of[k]];
    const QRectF& sq = squares[k - a];
    const double w = std::max(0.5, f.size / 18);
    const QColor color = ColorOfIndex(f.color_index);
    if (Underlined(f)) {
      const double x = widest / 2 + 0.08 * f.size;
      AddLine(s.lines, QLineF(x, sq.top(), x, sq.bottom()), w, color);
      if (DoubleUnderline(f))
        AddLine(s.lines, QLineF(x + 2 * w, sq.top(), x + 2 * w, sq.bottom()), w, color);
      s.after = std::max(s.after, x + (DoubleUnderline(f) ? 2.5 : 0.5) * w);
    }
    if (f.strikethrough) AddLine(s.lines, QLineF(0, sq.top(), 0, sq.bottom()), w, color);
  }
}

Strip LayoutColumn(FontCatalog& fonts, const StyledText& t, const std::vector<Item>& items,
                   size_t a, size_t b);

// Visible phonetic guides stand on the right at half size, centred on their base characters.
void AddColumnRuby(FontCatalog& fonts, const StyledText& t, size_t a, size_t b,
                   const std::vector<QRectF>& squares, Strip& s) {
  const double base_right = s.after;
  for (const host::PhoneticRun& run : t.phonetic) {
    const size_t from = std::max<size_t>(run.start, a),
                 to = std::min<size_t>(run.start + run.length, b);
    if (from >= to || run.text.empty()) continue;
    const host::Font& base = t.fonts[t.font_of[from]];
    const double rs = base.size / 2;
    StyledText ruby = StyledText::Plain(run.text, base);
    const std::vector<Item> ruby_items = Itemize(fonts, ruby);
    Strip r = LayoutColumn(fonts, ruby, ruby_items, 0, ruby.text.size());
    const double scale = rs / base.size;
    const double mid = (squares[from - a].top() + squares[to - 1 - a].bottom()) / 2;
    const double x = base_right + 0.05 * base.size + rs / 2;
    const double y = mid - r.length * scale / 2;
    for (PlacedGlyph g : r.glyphs) {
      g.size *= scale;
      g.origin = QPointF(x + g.origin.x() * scale, y + g.origin.y() * scale);
      g.square = QRectF(x + g.square.left() * scale, y + g.square.top() * scale,
                        g.square.width() * scale, g.square.height() * scale);
      g.index = -1;
      s.glyphs.push_back(g);
    }
    s.after = std::max(s.after, x + rs / 2);
  }
}

// Places one column's characters [a, b) top-down on the centre line x = 0 from y = 0.
Strip LayoutColumn(FontCatalog& fonts, const StyledText& t, const std::vector<Item>& items,
                   size_t a, size_t b) {
  Strip s;
  std::vector<QRectF> squares(b - a);
  const double widest = PlaceColumnGlyphs(t, items, a, b, s, squares);
  s.before = s.after = widest / 2;
  AddColumnLines(t, a, b, squares, widest, s);
  if (t.phonetic_visible) AddColumnRuby(fonts, t, a, b, squares, s);
  return s;
}

// Column breaks: at new lines, and with wrap where the next square would pass `limit`.
std::vector<std::pair<size_t, size_t>> BreakColumns(const StyledText& t, bool wrap, double limit) {
  std::vector<std::pair<size_t, size_t>> out;
  size_t start = 0;
  double length = 0;
  for (size_t i = 0; i < t.text.size(); ++i) {
    if (t.text[i] == U'\n') {
      out.emplace_back(start, i);
      start = i + 1;
      length = 0;
      continue;
    }
    const double size = t.fonts[t.font_of[i]].size;
    if (wrap && i > start && length + size > limit + 1e-6 && !IsNoLineStart(t.text[i])) {
      out.emplace_back(start, i);
      start = i;
      length = 0;
    }
    length += size;
  }
  out.emplace_back(start, t.text.size());
  return out;
}

// --- Horizontal text ---------------------------------------------------------------------------

struct HGlyph {
  ShapedGlyph g;
  size_t item;
};

// Places the shaped glyphs of characters [a, b) along the base line into `s`; returns each
// character's left edge (and the line's end at [b - a]).
std::vector<double> PlaceLineGlyphs(const StyledText& t, const std::vector<Item>& items,
                                    const std::vector<std::vector<ShapedGlyph>>& shaped, size_t a,
                                    size_t b, Strip& s) {
  std::vector<double> x_of(b - a + 1, 0);
  double pen = 0;
  for (const Item& item : ItemsIn(items, a, b)) {
    const size_t it = static_cast<size_t>(&item - items.data());
    const host::Font& font = t.fonts[item.font];
    const QColor color = ColorOfIndex(font.color_index);
    s.before = std::max(s.before, item.face->ascent() * font.size);
    s.after = std::max(s.after, item.face->descent() * font.size);
    // Left-to-right shaping keeps clusters in text order: the line's glyphs are one stretch.
    const std::vector<ShapedGlyph>& glyphs = shaped[it];
    const auto begin = std::partition_point(
        glyphs.begin(), glyphs.end(), [&](const auto& g) { return item.start + g.cluster < a; });
    for (auto g_it = begin; g_it != glyphs.end(); ++g_it) {
      const ShapedGlyph& g = *g_it;
      const size_t k = item.start + g.cluster;
      if (k >= b) break;
      if (x_of[k - a] == 0 && k > a) x_of[k - a] = pen;
      const QRectF box(pen, -item.face->ascent() * font.size, g.x_advance * font.size,
                       (item.face->ascent() + item.face->descent()) * font.size);
      s.glyphs.push_back({item.face, font.size, g.glyph,
                          QPointF(pen + g.x_offset * font.size, g.y_offset * font.size), box, color,
                          static_cast<int32_t>(k)});
      pen += g.x_advance * font.size;
    }
  }
  x_of[b - a] = pen;
  for (size_t k = b - a; k-- > 1;) {
    if (x_of[k] == 0) x_of[k] = x_of[k + 1];
  }
  return x_of;
}

// Underlines below the base line, strikethroughs through the middle of the characters.
void AddLineLines(const StyledText& t, size_t a, size_t b, const std::vector<double>& x_of,
                  Strip& s) {
  for (size_t k = a; k < b; ++k) {
    const host::Font& f = t.fonts[t.font_of[k]];
    const double w = std::max(0.5, f.size / 18);
    const QColor color = ColorOfIndex(f.color_index);
    if (Underlined(f)) {
      const double y = 0.12 * f.size;
      AddLine(s.lines, QLineF(x_of[k - a], y, x_of[k + 1 - a], y), w, color);
      if (DoubleUnderline(f))
        AddLine(s.lines, QLineF(x_of[k - a], y + 2 * w, x_of[k + 1 - a], y + 2 * w), w, color);
    }
    if (f.strikethrough)
      AddLine(s.lines, QLineF(x_of[k - a], -0.3 * f.size, x_of[k + 1 - a], -0.3 * f.size), w,
              color);
  }
}

Strip LayoutLine(FontCatalog& fonts, const StyledText& t, const std::vector<Item>& items,
                 const std::vector<std::vector<ShapedGlyph>>& shaped, size_t a, size_t b);

// Visible phonetic guides stand above their base characters at half size, centred on them.
void AddLineRuby(FontCatalog& fonts, const StyledText& t, size_t a, size_t b,
                 const std::vector<double>& x_of, Strip& s) {
  double ruby_height = 0;
  std::vector<PlacedGlyph> ruby_glyphs;
  for (const host::PhoneticRun& run : t.phonetic) {
    const size_t from = std::max<size_t>(run.start, a),
                 to = std::min<size_t>(run.start + run.length, b);
    if (from >= to || run.text.empty()) continue;
    host::Font rf = t.fonts[t.font_of[from]];
    rf.size /= 2;
    rf.underline = host::kXlUnderlineStyleNone;
    StyledText ruby = StyledText::Plain(run.text, rf);
    const std::vector<Item> ruby_items = Itemize(fonts, ruby);
    std::vector<std::vector<ShapedGlyph>> ruby_shaped;
    for (const Item& item : ruby_items) {
      ruby_shaped.push_back(
          Shape(*item.face,
                std::u32string_view(ruby.text).substr(item.start, item.end - item.start), false));
    }
    Strip r = LayoutLine(fonts, ruby, ruby_items, ruby_shaped, 0, ruby.text.size());
    const double x = (x_of[from - a] + x_of[to - a]) / 2 - r.length / 2;
    const double base_y = -s.before - r.after;
    for (PlacedGlyph g : r.glyphs) {
      g.origin += QPointF(x, base_y);
      g.square.translate(x, base_y);
      g.index = -1;
      ruby_glyphs.push_back(g);
    }
    ruby_height = std::max(ruby_height, r.before + r.after);
  }
  s.glyphs.insert(s.glyphs.end(), ruby_glyphs.begin(), ruby_glyphs.end());
  s.before += ruby_height;
}

// Places line [a, b) from x = 0 on the baseline y = 0 (ruby above).
Strip LayoutLine(FontCatalog& fonts, const StyledText& t, const std::vector<Item>& items,
                 const std::vector<std::vector<ShapedGlyph>>& shaped, size_t a, size_t b) {
  Strip s;
  const std::vector<double> x_of = PlaceLineGlyphs(t, items, shaped, a, b, s);
  // Trailing spaces do not count towards alignment.
  size_t end = b;
  while (end > a && (t.text[end - 1] == U' ' || t.text[end - 1] == U'\u3000')) --end;
  s.length = x_of[end - a];
  AddLineLines(t, a, b, x_of, s);
  if (t.phonetic_visible) AddLineRuby(fonts, t, a, b, x_of, s);
  return s;
}

// Line breaks: at new lines, and with wrap before the character that would pass `limit`, at the
// last place a line may break (after a space, around ideographs and kana, never before 、。 and
// the like); a word longer than the line breaks where it must.
std::vector<std::pair<size_t, size_t>> BreakLines(const StyledText& t,
                                                  const std::vector<double>& advance, bool wrap,
                                                  double limit) {
  std::vector<std::pair<size_t, size_t>> out;
  size_t start = 0, last_break = 0;
  double width = 0;
  for (size_t i = 0; i < t.text.size(); ++i) {
    const char32_t c = t.text[i];
    if (c == U'\n') {
      out.emplace_back(start, i);
      start = last_break = i + 1;
      width = 0;
      continue;
    }
    if (i > start && !IsNoLineStart(c) &&
        (t.text[i - 1] == U' ' || IsWideBreakable(c) || IsWideBreakable(t.text[i - 1]))) {
      last_break = i;
    }
    if (wrap && i > start && c != U' ' && width + advance[i] > limit + 1e-6) {
      const size_t cut = last_break > start ? last_break : i;
      out.emplace_back(start, cut);
      start = last_break = cut;
      width = 0;
      for (size_t k = cut; k < i; ++k) width += advance[k];
    }
    width += advance[i];
  }
  out.emplace_back(start, t.text.size());
  return out;
}

// Moves and scales laid-out glyphs and lines: p -> offset + p * scale.
void Place(CellTextLayout& out, const Strip& s, QPointF offset, double scale) {
  for (PlacedGlyph g : s.glyphs) {
    g.size *= scale;
    g.origin = offset + g.origin * scale;
    g.square = QRectF(offset + g.square.topLeft() * scale, g.square.size() * scale);
    out.glyphs.push_back(g);
  }
  for (TextLine l : s.lines) {
    l.line = QLineF(offset + l.line.p1() * scale, offset + l.line.p2() * scale);
    l.width *= scale;
    out.lines.push_back(l);
  }
}

// Where a block of `size` goes in `box` under the alignments.
QPointF Align(const QRectF& box, QSizeF size, int horizontal, int vertical) {
  double x = box.left() + (box.width() - size.width()) / 2;
  if (horizontal == kXlLeft) x = box.left();
  if (horizontal == kXlRight) x = box.right() - size.width();
  double y = box.top() + (box.height() - size.height()) / 2;
  if (vertical == kXlTop) y = box.top();
  if (vertical == kXlBottom) y = box.bottom() - size.height();
  return {x, y};
}

int EffectiveHorizontal(const StyledText& t, const host::Style& style) {
  switch (style.horizontal) {
    case kXlGeneral:
      return t.is_number ? kXlRight : t.is_logical ? kXlCenter : kXlLeft;
    case kXlLeft:
    case kXlRight:
    case kXlCenter:
      return style.horizontal;
    case host::kXlFill:
    case host::kXlJustify:
      return kXlLeft;
    default:
      return kXlCenter;
  }
}

}  // namespace

StyledText StyledText::Plain(std::string_view utf8, const host::Font& font) {
  StyledText t;
  const QList<uint> ucs4 =
      QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUcs4();
  t.text.assign(ucs4.begin(), ucs4.end());
  t.fonts.push_back(font);
  t.font_of.assign(t.text.size(), 0);
  return t;
}

namespace {

// The strips of a cell's text and the size of the block they make, unscaled.
struct Block {
  std::vector<Strip> strips;
  double width = 0;
  double height = 0;
};

// Stacked text: columns broken at line ends and, with wrap, at the bottom of `box`.
Block StackColumns(FontCatalog& fonts, const StyledText& t, const std::vector<Item>& items,
                   const host::Style& style, const QRectF& box) {
  Block block;
  for (auto [a, b] : BreakColumns(t, style.wrap, box.height()))
    block.strips.push_back(LayoutColumn(fonts, t, items, a, b));
  for (const Strip& s : block.strips) {
    block.width += s.before + s.after;
    block.height = std::max(block.height, s.length);
  }
  return block;
}

// Horizontal text: lines broken at line ends and, with wrap, at the width left by the indent.
Block SetLines(FontCatalog& fonts, const StyledText& t, const std::vector<Item>& items, bool wrap,
               double width) {
  std::vector<std::vector<ShapedGlyph>> shaped;
  std::vector<double> advance(t.text.size(), 0);
  for (const Item& item : items) {
    shaped.push_back(Shape(
        *item.face, std::u32string_view(t.text).substr(item.start, item.end - item.start), false));
    for (const ShapedGlyph& g : shaped.back())
      advance[item.start + g.cluster] += g.x_advance * t.fonts[item.font].size;
  }
  Block block;
  for (auto [a, b] : BreakLines(t, advance, wrap, width))
    block.strips.push_back(LayoutLine(fonts, t, items, shaped, a, b));
  for (const Strip& s : block.strips) {
    block.width = std::max(block.width, s.length);
    block.height += s.before + s.after;
  }
  return block;
}

// Shrink to fit: one factor for the whole text, never below what makes it fit.
double ShrinkFactor(const Block& block, bool stacked, const QRectF& box, double indent) {
  double fit = 1;
  if (block.width > 0 && block.width > box.width() - indent)
    fit = std::min(fit, std::max(0.0, box.width() - indent) / block.width);
  if (stacked && block.height > box.height())
    fit = std::min(fit, std::max(0.0, box.height()) / block.height);
  return std::max(fit, 0.01);
}

// Puts the strips of `block` into `out`, the block's top left at `at`, scaled by out.scale.
void PlaceStrips(const Block& block, bool stacked, int horizontal, QPointF at,
                 CellTextLayout& out) {
  const double f = out.scale;
  if (stacked) {
    // Columns run from right to left; each column's base centre sits left of its ruby.
    double right = at.x() + block.width * f;
    for (const Strip& s : block.strips) {
      const double centre = right - s.after * f;
      Place(out, s, QPointF(centre, at.y()), f);
      right -= (s.before + s.after) * f;
    }
    return;
  }
  double y = at.y();
  for (const Strip& s : block.strips) {
    const QPointF line_at =
        Align(QRectF(at.x(), y, block.width * f, 0), QSizeF(s.length * f, 0), horizontal, kXlTop);
    Place(out, s, QPointF(line_at.x(), y + s.before * f), f);
    y += (s.before + s.after) * f;
  }
}

}  // namespace

CellTextLayout LayoutCellText(FontCatalog& fonts, const StyledText& t, const host::Style& style,
                              const QRectF& cell, double indent_points) {
  CellTextLayout out;
  if (t.text.empty()) return out;
  const std::vector<Item> items = Itemize(fonts, t);
  const QRectF box = cell.adjusted(kCellPaddingX, kCellPaddingY, -kCellPaddingX, -kCellPaddingY);
  const bool stacked = style.orientation == host::kXlVertical;
  const int horizontal =
      stacked && style.horizontal == kXlGeneral ? kXlCenter : EffectiveHorizontal(t, style);
  const double indent =
      (horizontal == kXlLeft || horizontal == kXlRight) ? style.indent * indent_points : 0;

  Block block;
  if (stacked) {
    block = StackColumns(fonts, t, items, style, box);
  } else {
    const bool turned = style.orientation != 0 && style.orientation != host::kXlHorizontal;
    block = SetLines(fonts, t, items, style.wrap && !turned, std::max(1.0, box.width() - indent));
    if (turned) {
      out.rotation = style.orientation == host::kXlUpward     ? 90
                     : style.orientation == host::kXlDownward ? -90
                                                              : style.orientation;
    }
  }

  if (style.shrink && !style.wrap && out.rotation == 0)
    out.scale = ShrinkFactor(block, stacked, box, indent);
  const double f = out.scale;
  QRectF align_box =
      box.adjusted(horizontal == kXlLeft ? indent : 0, 0, horizontal == kXlRight ? -indent : 0, 0);
  if (out.rotation != 0) {
    align_box = QRectF(cell.center().x() - block.width / 2, cell.center().y() - block.height / 2,
                       block.width, block.height);
  }
  const QSizeF size(block.width * f, block.height * f);
  const QPointF at = Align(align_box, size, out.rotation != 0 ? kXlCenter : horizontal,
                           out.rotation != 0 ? kXlCenter : style.vertical);
  out.block = QRectF(at, size);
  PlaceStrips(block, stacked, horizontal, at, out);
  return out;
}

QColor ColorOfIndex(int index) { return QColor(QRgb(host::PaletteRgb(index))); }

}  // namespace tessarin::render
