// Font name mapping and the faces behind it.
#include "render/font_catalog.h"

#include <hb-ot.h>
#include <hb.h>

#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <cmath>

namespace tessarin::render {
namespace {

// Workbook names reduced to a key: full-width Latin to ASCII, no spaces, lower case.
std::string NameKey(std::string_view name) {
  QString out;
  for (char32_t c : QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toUcs4()) {
    if (c >= 0xFF01 && c <= 0xFF5E) c = c - 0xFF01 + 0x21;
    if (c == U' ' || c == U'\u3000' || c == U'-' || c == U'_') continue;
    out += QString::fromUcs4(&c, 1);
  }
  return out.toLower().toStdString();
}

struct NameMap {
  std::string_view key;
  std::string_view family;
};
// Fonts that Japanese workbooks name and the free fonts drawn in their place: same kind (Gothic
// or Mincho), same spacing (proportional or fixed).
constexpr NameMap kNames[] = {
    {"msp ゴシック", "BIZ UDPGothic"},
    {"mspgothic", "BIZ UDPGothic"},
    {"msuigothic", "BIZ UDPGothic"},
    {"メイリオ", "BIZ UDPGothic"},
    {"meiryo", "BIZ UDPGothic"},
    {"meiryoui", "BIZ UDPGothic"},
    {"游ゴシック", "BIZ UDPGothic"},
    {"yugothic", "BIZ UDPGothic"},
    {"游ゴシックmedium", "BIZ UDPGothic"},
    {"msゴシック", "BIZ UDGothic"},
    {"msgothic", "BIZ UDGothic"},
    {"osaka等幅", "BIZ UDGothic"},
    {"ms明朝", "BIZ UDMincho"},
    {"msmincho", "BIZ UDMincho"},
    {"游明朝", "BIZ UDMincho"},
    {"yumincho", "BIZ UDMincho"},
    {"msp明朝", "BIZ UDPMincho"},
    {"mspmincho", "BIZ UDPMincho"},
    {"kleeone", "Klee One"},
    {"クレーone", "Klee One"},
};

bool HasFamily(const std::string& family) {
  return QFontDatabase::hasFamily(QString::fromStdString(family));
}

}  // namespace

FontFace::FontFace(QRawFont raw, std::string family, bool bold, bool italic)
    : raw_(std::move(raw)), key_(std::move(family), bold, italic) {
  if (!raw_.isValid()) return;
  units_per_em_ = raw_.unitsPerEm();
  // HarfBuzz reads the same tables the painter uses, so glyph ids agree by construction.
  hb_face_t* face = hb_face_create_for_tables(
      [](hb_face_t*, hb_tag_t tag, void* user) -> hb_blob_t* {
        if (tag == 0) return nullptr;
        const char name[5] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag), 0};
        auto* bytes = new QByteArray(static_cast<const QRawFont*>(user)->fontTable(name));
        if (bytes->isEmpty()) {
          delete bytes;
          return nullptr;
        }
        return hb_blob_create(bytes->constData(), static_cast<unsigned>(bytes->size()),
                              HB_MEMORY_MODE_READONLY, bytes,
                              [](void* b) { delete static_cast<QByteArray*>(b); });
      },
      &raw_, nullptr);
  hb_face_set_upem(face, static_cast<unsigned>(units_per_em_));
  hb_ = hb_font_create(face);
  hb_face_destroy(face);
  const int upem = static_cast<int>(units_per_em_);
  hb_font_set_scale(hb_, upem, upem);
  hb_font_extents_t ext;
  if (hb_font_get_h_extents(hb_, &ext) && ext.ascender > 0) {
    ascent_ = ext.ascender / units_per_em_;
    descent_ = -ext.descender / units_per_em_;
  }
}

FontFace::~FontFace() {
  if (hb_) hb_font_destroy(hb_);
}

const std::vector<ShapedGlyph>* FontFace::Remembered(std::u32string_view text,
                                                     bool vertical) const {
  const auto& shaped = shaped_[vertical ? 1 : 0];
  const auto it = shaped.find(text);
  return it == shaped.end() ? nullptr : &it->second;
}

void FontFace::Remember(std::u32string_view text, bool vertical,
                        std::vector<ShapedGlyph> glyphs) const {
  auto& shaped = shaped_[vertical ? 1 : 0];
  if (shaped.size() >= kShapesRemembered) shaped.clear();
  shaped.emplace(std::u32string(text), std::move(glyphs));
}

QRawFont FontFace::AtSize(double points) const {
  const int key = static_cast<int>(std::lround(points * 64));
  auto it = sized_.find(key);
  if (it == sized_.end()) {
    QRawFont sized = raw_;
    sized.setPixelSize(key / 64.0);
    it = sized_.emplace(key, sized).first;
  }
  return it->second;
}

double FontFace::AdvanceEm(uint32_t glyph) const {
  return hb_font_get_glyph_h_advance(hb_, glyph) / units_per_em_;
}

bool FontFace::Supports(char32_t c) const {
  const auto [it, added] = supports_.try_emplace(c, false);
  if (added) it->second = raw_.supportsCharacter(c);
  return it->second;
}

QRectF FontFace::InkEm(uint32_t glyph) const {
  const auto [it, added] = ink_.try_emplace(glyph);
  hb_glyph_extents_t e;
  if (added && hb_font_get_glyph_extents(hb_, glyph, &e)) {
    const double u = units_per_em_;
    it->second = QRectF(e.x_bearing / u, -e.y_bearing / u, e.width / u, -e.height / u);
  }
  return it->second;
}

FontCatalog::FontCatalog() = default;
FontCatalog::~FontCatalog() = default;

std::string FontCatalog::FamilyFor(std::string_view workbook_name) {
  const std::string key = NameKey(workbook_name);
  for (const NameMap& m : kNames) {
    if (NameKey(m.key) == key) return std::string(m.family);
  }
  // Textbook hands read like a teacher's writing; Klee One is the free one.
  if (key.find("教科書") != std::string::npos || key.find("kyokasho") != std::string::npos)
    return "Klee One";
  if (!workbook_name.empty() && HasFamily(std::string(workbook_name)))
    return std::string(workbook_name);
  if (key.find("明朝") != std::string::npos || key.find("mincho") != std::string::npos ||
      key.find("serif") != std::string::npos) {
    return "BIZ UDMincho";
  }
  return "BIZ UDPGothic";
}

const FontFace& FontCatalog::Face(std::string_view workbook_name, bool bold, bool italic) {
  // Cell after cell asks for the same font: the last answer is checked before the map.
  if (last_face_ != nullptr && last_bold_ == bold && last_italic_ == italic &&
      last_name_ == workbook_name) {
    return *last_face_;
  }
  const auto key = std::make_tuple(std::string(workbook_name), bold, italic);
  const FontFace* face = nullptr;
  if (auto it = by_name_.find(key); it != by_name_.end()) {
    face = it->second;
  } else {
    face = &Installed(FamilyFor(workbook_name), bold, italic);
    if (!face->IsValid()) face = &Installed(std::string(kFallbackFamily), bold, italic);
    by_name_.emplace(key, face);
  }
  last_name_ = workbook_name;
  last_bold_ = bold;
  last_italic_ = italic;
  last_face_ = face;
  return *face;
}

const FontFace& FontCatalog::FaceFor(const FontFace& primary, char32_t c, bool bold) {
  if (primary.Supports(c)) return primary;
  const FontFace& fallback = Installed(std::string(kFallbackFamily), bold, false);
  return fallback.IsValid() && fallback.Supports(c) ? fallback : primary;
}

const FontFace& FontCatalog::Twin(const FontFace& other) {
  const auto& [family, bold, italic] = other.key();
  return Installed(family, bold, italic);
}

const FontFace& FontCatalog::Installed(const std::string& family, bool bold, bool italic) {
  auto it = faces_.find(std::tie(family, bold, italic));
  if (it == faces_.end()) {
    QFont font(QString::fromStdString(family));
    font.setPixelSize(64);
    font.setBold(bold);
    font.setItalic(italic);
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setHintingPreference(QFont::PreferNoHinting);
    it = faces_
             .emplace(std::make_tuple(family, bold, italic),
                      std::make_unique<FontFace>(QRawFont::fromFont(font, QFontDatabase::Japanese),
                                                 family, bold, italic))
             .first;
  }
  return *it->second;
}

}  // namespace tessarin::render
