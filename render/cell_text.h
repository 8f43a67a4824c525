// Cell text layout: where every glyph of a cell's displayed text lands, for horizontal, rotated
// and stacked vertical text, with wrap, shrink to fit, indent, underlines and phonetic guides.
#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <cstdint>
#include <string>
#include <vector>

#include "core/host/cell.h"
#include "core/host/style.h"
#include "render/font_catalog.h"

namespace tessarin::render {

// The text of one cell with everything that shapes it.
struct StyledText {
  std::u32string text;
  std::vector<host::Font> fonts;            // fonts[0] is the cell's own font
  std::vector<uint16_t> font_of;            // per character, an index into fonts
  std::vector<host::PhoneticRun> phonetic;  // shown when phonetic_visible
  bool phonetic_visible = false;
  bool is_number = false;   // general alignment puts numbers on the right
  bool is_logical = false;  // Booleans and errors are centred

  // Plain text in the cell's font, no runs.
  static StyledText Plain(std::string_view utf8, const host::Font& font);
};

// A glyph placed in page units (points), y down. `origin` is the glyph's horizontal baseline
// origin; a turned glyph is painted a quarter turn clockwise about the centre of `square`.
struct PlacedGlyph {
  const FontFace* face = nullptr;
  double size = 0;  // points
  uint32_t glyph = 0;
  QPointF origin;
  QRectF square;  // the advance box: one em square in vertical text
  QColor color;
  int32_t index = -1;  // character of the cell text; -1 for ruby
  bool turned = false;
  // For a vertical form, which a PDF cannot map back to its character: the character's ordinary
  // glyph, painted invisibly in the same place so the text stays searchable. 0 when none.
  uint32_t text_glyph = 0;
};

struct TextLine {
  QLineF line;
  double width = 0.5;
  QColor color;
};

struct CellTextLayout {
  std::vector<PlacedGlyph> glyphs;
  std::vector<TextLine> lines;  // underlines (side lines in vertical text), strikethroughs
  double scale = 1;             // the shrink-to-fit factor applied to every size
  QRectF block;                 // the box the text occupies, ruby included
  double rotation = 0;          // degrees anticlockwise, about the centre of the cell
};

// Cell padding inside the cell box, in points.
inline constexpr double kCellPaddingX = 1.5;
inline constexpr double kCellPaddingY = 1.0;

// Lays out `text` in `cell` (points) under the style's alignment, orientation, wrap, shrink and
// indent. `indent_points` is the width of one indent level. Shrink to fit reduces every size by
// one factor until the whole text fits the cell; wrapped text is never shrunk.
CellTextLayout LayoutCellText(FontCatalog& fonts, const StyledText& text, const host::Style& style,
                              const QRectF& cell, double indent_points);

// The colour of a font colour index (the host's 56-colour palette; automatic is black).
QColor ColorOfIndex(int color_index);

}  // namespace tessarin::render
