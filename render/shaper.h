// Shaper: HarfBuzz shaping of one font's text, left to right or top to bottom.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/font_catalog.h"

namespace tessarin::render {

// One shaped glyph; lengths in em. For top-to-bottom text the pen moves down (y_advance > 0
// down) and the offset places the glyph's horizontal origin from the pen on the column's centre
// line, y down.
struct ShapedGlyph {
  uint32_t glyph = 0;
  uint32_t cluster = 0;  // index into the shaped text
  double x_advance = 0;
  double y_advance = 0;
  double x_offset = 0;
  double y_offset = 0;
};

// Shapes `text` as Japanese. Vertical shaping uses the font's vertical metrics and applies its
// vertical forms (vert/vrt2) to the characters that Japanese vertical setting turns or moves:
// punctuation, long vowel marks, dashes and brackets. Every other character keeps its ordinary
// glyph, which a PDF maps back to its character, so the question stays searchable. Clusters
// index `text`.
std::vector<ShapedGlyph> Shape(const FontFace& face, std::u32string_view text, bool vertical);

}  // namespace tessarin::render
