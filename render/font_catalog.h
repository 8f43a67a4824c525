// FontCatalog: the installed fonts that stand for the font names workbooks carry, each ready for
// shaping (HarfBuzz) and painting (QRawFont made with QRawFont::fromFont, so a PDF embeds it as
// a searchable subset).
#pragma once

#include <QRawFont>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "render/shaped_glyph.h"

struct hb_font_t;

namespace tessarin::render {

// Used for any character the chosen font lacks.
inline constexpr std::string_view kFallbackFamily = "Noto Sans CJK JP";

// One installed face. Shaping works in em units, painting asks for a size.
class FontFace {
 public:
  // `family`, `bold` and `italic` say which installed font `raw` is (FontCatalog::Twin).
  FontFace(QRawFont raw, std::string family, bool bold, bool italic);
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  bool IsValid() const { return raw_.isValid(); }
  // The installed family, bold and italic this face was made for.
  const std::tuple<std::string, bool, bool>& key() const { return key_; }
  std::string FamilyName() const { return raw_.familyName().toStdString(); }
  // Whether the face has a glyph for `c`; remembered per character, as every cell asks again.
  bool Supports(char32_t c) const;
  // The face at `points` (the painter's unit). Cached; the returned font is implicitly shared.
  QRawFont AtSize(double points) const;
  // HarfBuzz font over this face's tables, scaled so positions come in font units.
  hb_font_t* hb() const { return hb_; }
  double units_per_em() const { return units_per_em_; }
  // Ascent and descent in em.
  double ascent() const { return ascent_; }
  double descent() const { return descent_; }
  // Horizontal advance of a glyph in em.
  double AdvanceEm(uint32_t glyph) const;
  // The glyph's ink box in em, y down from the baseline origin; remembered per glyph.
  QRectF InkEm(uint32_t glyph) const;

  // What Shape made of `text` in this face, when it is remembered; null otherwise. A printed
  // test repeats its numbers and labels on every page, so they are shaped once. The pointer
  // lives until the next Remember.
  const std::vector<ShapedGlyph>* Remembered(std::u32string_view text, bool vertical) const;
  // Remembers a shaping; past kShapesRemembered texts the memory starts afresh.
  void Remember(std::u32string_view text, bool vertical, std::vector<ShapedGlyph> glyphs) const;
  static constexpr size_t kShapesRemembered = 4096;

 private:
  QRawFont raw_;
  hb_font_t* hb_ = nullptr;
  std::tuple<std::string, bool, bool> key_;
  double units_per_em_ = 1000;
  double ascent_ = 0.88;
  double descent_ = 0.12;
  mutable std::map<int, QRawFont> sized_;  // by size in 1/64 point
  mutable std::unordered_map<char32_t, bool> supports_;
  mutable std::unordered_map<uint32_t, QRectF> ink_;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::u32string_view text) const {
      return std::hash<std::u32string_view>{}(text);
    }
  };
  // Shapings by text, horizontal [0] and vertical [1].
  mutable std::unordered_map<std::u32string, std::vector<ShapedGlyph>, TextHash, std::equal_to<>>
      shaped_[2];
};

// Maps workbook font names to installed faces and keeps the faces for the life of the catalog.
// Needs a QGuiApplication (see gui_session.h). Not thread-safe; one per thread, made, used and
// destroyed there (Qt keeps a thread's font files to that thread).
class FontCatalog {
 public:
  FontCatalog();
  ~FontCatalog();

  // The installed family a workbook's font name stands for: ＭＳ Ｐゴシック, MS UI Gothic and
  // other proportional Gothic names -> BIZ UDPGothic; ＭＳ ゴシック -> BIZ UDGothic; ＭＳ 明朝 ->
  // BIZ UDMincho; ＭＳ Ｐ明朝 -> BIZ UDPMincho; textbook hands and Klee One -> Klee One; a family
  // that is installed under its own name stays; anything else by its kind (明朝/Mincho/Serif or
  // Gothic).
  static std::string FamilyFor(std::string_view workbook_name);

  // The face for a workbook font; never null (falls back to kFallbackFamily).
  const FontFace& Face(std::string_view workbook_name, bool bold, bool italic);
  // `primary` when it has `c`, else the fallback face of the same weight when that has it, else
  // `primary` (which then paints its missing-glyph box).
  const FontFace& FaceFor(const FontFace& primary, char32_t c, bool bold);
  // This catalog's face of the same installed font as `other`, a face of another thread's
  // catalog: glyph ids agree, so text laid out there can be painted here. Reads only the other
  // face's key, which never changes.
  const FontFace& Twin(const FontFace& other);

 private:
  const FontFace& Installed(const std::string& family, bool bold, bool italic);
  std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<FontFace>, std::less<>> faces_;
  std::map<std::tuple<std::string, bool, bool>, const FontFace*> by_name_;
  std::string last_name_;
  bool last_bold_ = false;
  bool last_italic_ = false;
  const FontFace* last_face_ = nullptr;
};

}  // namespace tessarin::render
