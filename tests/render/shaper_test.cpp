// Vertical shaping put together character by character against HarfBuzz shaping the whole
// column at once, for every question of the sample and the characters vertical setting treats
// apart, in every face the catalog maps workbook fonts to.
#include "render/shaper.h"

#include <gtest/gtest.h>
#include <hb.h>

#include <QString>
#include <fstream>
#include <sstream>

#include "render/vertical_forms.h"
#include "tests/render/render_fixture.h"

namespace tessarin::render {
namespace {

// The whole text shaped top to bottom in one HarfBuzz call, vertical forms where Shape asks for
// them.
std::vector<ShapedGlyph> WholeColumn(const FontFace& face, std::u32string_view text) {
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text.data()),
                      static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
  hb_buffer_guess_segment_properties(buffer);
  hb_buffer_set_direction(buffer, HB_DIRECTION_TTB);
  hb_buffer_set_language(buffer, hb_language_from_string("ja", 2));
  std::vector<hb_feature_t> features = {
      {HB_TAG('v', 'e', 'r', 't'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
      {HB_TAG('v', 'r', 't', '2'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END}};
  for (unsigned i = 0; i < text.size(); ++i) {
    if (!HasVerticalForm(text[i])) continue;
    features.push_back({HB_TAG('v', 'e', 'r', 't'), 1, i, i + 1});
    features.push_back({HB_TAG('v', 'r', 't', '2'), 1, i, i + 1});
  }
  hb_shape(face.hb(), buffer, features.data(), static_cast<unsigned>(features.size()));
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
  const double u = face.units_per_em();
  std::vector<ShapedGlyph> out;
  for (unsigned i = 0; i < count; ++i) {
    out.push_back({info[i].codepoint, info[i].cluster, pos[i].x_advance / u, -pos[i].y_advance / u,
                   pos[i].x_offset / u, -pos[i].y_offset / u});
  }
  hb_buffer_destroy(buffer);
  return out;
}

std::u32string U32(const std::string& utf8) {
  const QList<uint> ucs4 = QString::fromStdString(utf8).toUcs4();
  return std::u32string(ucs4.begin(), ucs4.end());
}

class ShaperTest : public RenderTest {};

TEST_F(ShaperTest, AColumnShapesAsTheWholeColumnWouldInEveryFace) {
  std::vector<std::string> texts = {"ヤマにのぼる。",  "「カワ」でさかなをつる、ー―…",
                                    "ABCabc123",       "きゃっと！？",
                                    "か\u3099きく",    "葛\U000E0100城",
                                    "한글도",          "mixed 漢字 and ｶﾀｶﾅ",
                                    "（カッコ）〔〕〜"};
  std::ifstream tsv(std::string(TESSARIN_SOURCE_DIR) + "/data/sample_questions.tsv");
  std::string line;
  while (std::getline(tsv, line)) {
    std::istringstream fields(line);
    std::string field;
    for (int column = 0; std::getline(fields, field, '\t'); ++column) {
      if (column == 4 && !field.empty()) texts.push_back(field);
    }
  }
  ASSERT_GT(texts.size(), 100u);
  for (const char* name : {"ＭＳ Ｐゴシック", "ＭＳ ゴシック", "ＭＳ 明朝", "教科書体"}) {
    for (bool bold : {false, true}) {
      const FontFace& face = fonts_.Face(name, bold, false);
      ASSERT_TRUE(face.IsValid()) << name;
      for (const std::string& text : texts) {
        SCOPED_TRACE(std::string(name) + " " + text);
        const std::u32string u = U32(text);
        const std::vector<ShapedGlyph> want = WholeColumn(face, u);
        // Twice: made, then put together from what the face remembers.
        for (int pass = 0; pass < 2; ++pass) {
          const std::vector<ShapedGlyph> got = Shape(face, u, true);
          ASSERT_EQ(got.size(), want.size());
          for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].glyph, want[i].glyph) << i;
            EXPECT_EQ(got[i].cluster, want[i].cluster) << i;
            EXPECT_DOUBLE_EQ(got[i].y_advance, want[i].y_advance) << i;
            EXPECT_DOUBLE_EQ(got[i].x_offset, want[i].x_offset) << i;
            EXPECT_DOUBLE_EQ(got[i].y_offset, want[i].y_offset) << i;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessarin::render
