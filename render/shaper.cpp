// HarfBuzz shaping into em units.
#include "render/shaper.h"

#include <hb.h>

#include <algorithm>

#include "render/vertical_forms.h"

namespace tessarin::render {

namespace {
constexpr size_t kLongestRemembered = 64;

// Whether `c` is shaped the same alone as beside any other such character in vertical text: not
// a mark, joiner, selector or modifier, which attach to a neighbour, nor a Hangul jamo, which
// composes with one. Vertical shaping applies no kerning and no ligatures, so a column of such
// characters is the characters shaped one by one.
bool StandsAlone(char32_t c) {
  if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0xA960 && c <= 0xA97F) ||
      (c >= 0xD7B0 && c <= 0xD7FF)) {
    return false;
  }
  switch (hb_unicode_general_category(hb_unicode_funcs_get_default(), c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
    case HB_UNICODE_GENERAL_CATEGORY_MODIFIER_SYMBOL:
    case HB_UNICODE_GENERAL_CATEGORY_SURROGATE:
    case HB_UNICODE_GENERAL_CATEGORY_UNASSIGNED:
    case HB_UNICODE_GENERAL_CATEGORY_PRIVATE_USE:
      return false;
    default:
      return true;
  }
}

// The script HarfBuzz would guess for `text`: that of its first character of a script of its
// own; HB_SCRIPT_INVALID when none has one.
hb_script_t GuessedScript(std::u32string_view text) {
  hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
  for (char32_t c : text) {
    const hb_script_t script = hb_unicode_script(unicode, c);
    if (script != HB_SCRIPT_COMMON && script != HB_SCRIPT_INHERITED && script != HB_SCRIPT_UNKNOWN)
      return script;
  }
  return HB_SCRIPT_INVALID;
}

// HarfBuzz shaping of `text` in `script` (guessed from the text when HB_SCRIPT_INVALID).
std::vector<ShapedGlyph> ShapeRun(const FontFace& face, std::u32string_view text, bool vertical,
                                  hb_script_t script) {
  std::vector<ShapedGlyph> out;
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text.data()),
                      static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
  if (script != HB_SCRIPT_INVALID) hb_buffer_set_script(buffer, script);
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
  return out;
}

}  // namespace

std::vector<ShapedGlyph> Shape(const FontFace& face, std::u32string_view text, bool vertical) {
  std::vector<ShapedGlyph> out;
  if (text.empty() || !face.IsValid()) return out;
  if (const std::vector<ShapedGlyph>* known = face.Remembered(text, vertical)) return *known;
  // Every question is a new text, but its characters are few: a column of characters that stand
  // alone is put together from each character's shaping in the column's script, made once. The
  // face remembers those under the character followed by the script's tag with its top bit set,
  // which is no character, so no text is ever mistaken for one.
  if (vertical && text.size() > 1 && std::all_of(text.begin(), text.end(), StandsAlone)) {
    const hb_script_t script = GuessedScript(text);
    std::u32string key(2, U'\0');
    key[1] = static_cast<char32_t>(0x80000000u | static_cast<uint32_t>(script));
    for (size_t i = 0; i < text.size(); ++i) {
      key[0] = text[i];
      const std::vector<ShapedGlyph>* alone = face.Remembered(key, true);
      if (alone == nullptr) {
        face.Remember(key, true, ShapeRun(face, text.substr(i, 1), true, script));
        alone = face.Remembered(key, true);
      }
      for (ShapedGlyph g : *alone) {
        g.cluster = static_cast<uint32_t>(i);
        out.push_back(g);
      }
    }
    return out;
  }
  out = ShapeRun(face, text, vertical, HB_SCRIPT_INVALID);
  // Long texts are seldom repeated; remembering them would only hold memory.
  if (text.size() <= kLongestRemembered) face.Remember(text, vertical, out);
  return out;
}

}  // namespace tessarin::render
