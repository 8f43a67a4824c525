// Shaper: HarfBuzz shaping of one font's text, left to right or top to bottom.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/font_catalog.h"
#include "render/shaped_glyph.h"

namespace tessarin::render {

// Shapes `text` as Japanese. Vertical shaping uses the font's vertical metrics and applies its
// vertical forms (vert/vrt2) to the characters that Japanese vertical setting turns or moves:
// punctuation, long vowel marks, dashes and brackets. Every other character keeps its ordinary
// glyph, which a PDF maps back to its character, so the question stays searchable. Clusters
// index `text`. The face remembers what it shaped (FontFace::Remembered).
std::vector<ShapedGlyph> Shape(const FontFace& face, std::u32string_view text, bool vertical);

}  // namespace tessarin::render
