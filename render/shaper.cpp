// HarfBuzz shaping into em units.
#include "render/shaper.h"

#include <hb.h>

#include "render/vertical_forms.h"

namespace tessarin::render {

namespace {
constexpr size_t kLongestRemembered = 64;
}  // namespace

std::vector<ShapedGlyph> Shape(const FontFace& face, std::u32string_view text, bool vertical) {
  std::vector<ShapedGlyph> out;
  if (text.empty() || !face.IsValid()) return out;
  if (const std::vector<ShapedGlyph>* known = face.Remembered(text, vertical)) return *known;
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text.data()),
                      static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
  hb_buffer_guess_segment_properties(buffer);
  hb_buffer_set_direction(buffer, vertical ? HB_DIRECTION_TTB : HB_DIRECTION_LTR);
  hb_buffer_set_language(buffer, hb_language_from_string("ja", 2));
  std::vector<hb_feature_t> features;
  if (vertical) {
    features.push_back(
        {HB_TAG('v', 'e', 'r', 't'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END});
    features.push_back(
        {HB_TAG('v', 'r', 't', '2'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END});
    for (size_t i = 0; i < text.size(); ++i) {
      if (!HasVerticalForm(text[i])) continue;
      const unsigned at = static_cast<unsigned>(i);
      features.push_back({HB_TAG('v', 'e', 'r', 't'), 1, at, at + 1});
      features.push_back({HB_TAG('v', 'r', 't', '2'), 1, at, at + 1});
    }
  }
  hb_shape(face.hb(), buffer, features.data(), static_cast<unsigned>(features.size()));
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
  const double u = face.units_per_em();
  out.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    // HarfBuzz works y up; the painter y down.
    out.push_back({info[i].codepoint, info[i].cluster, pos[i].x_advance / u, -pos[i].y_advance / u,
                   pos[i].x_offset / u, -pos[i].y_offset / u});
  }
  hb_buffer_destroy(buffer);
  // Long texts are seldom repeated; remembering them would only hold memory.
  if (text.size() <= kLongestRemembered) face.Remember(text, vertical, out);
  return out;
}

}  // namespace tessarin::render
