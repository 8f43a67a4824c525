// ShapedGlyph: one glyph as shaping places it.
#pragma once

#include <cstdint>

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

}  // namespace tessarin::render
