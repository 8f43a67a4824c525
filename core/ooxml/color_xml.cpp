// Colour elements and palette matching.
#include "core/ooxml/color_xml.h"

#include <climits>
#include <pugixml.hpp>

#include "core/host/constants.h"
#include "core/host/palette.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

// The ColorIndex a stored <color .../> element stands for.
int ColorIndexOfXml(std::string_view piece) {
  pugi::xml_document doc;
  if (!doc.load_buffer(piece.data(), piece.size())) return host::kXlAutomatic;
  auto els = ChildElements(doc);
  return els.empty() ? host::kXlAutomatic : ColorIndexOf(els.front());
}

}  // namespace

int ColorIndexOf(const ElementAttrs& color) {
  int64_t v;
  if (ParseInt(color.Get("indexed"), v)) {
    if (v >= 0 && v <= 7) return static_cast<int>(v + 1);
    if (v >= 8 && v <= 63) return static_cast<int>(v - 7);
    return host::kXlAutomatic;
  }
  std::string_view rgb = color.Get("rgb");
  if (rgb.size() == 8) rgb.remove_prefix(2);
  if (rgb.size() != 6) return host::kXlAutomatic;
  uint32_t c = 0;
  for (char ch : rgb) {
    const int h = (ch >= '0' && ch <= '9')   ? ch - '0'
                  : (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10
                  : (ch >= 'A' && ch <= 'F') ? ch - 'A' + 10
                                             : -1;
    if (h < 0) return host::kXlAutomatic;
    c = c * 16 + static_cast<uint32_t>(h);
  }
  // The nearest palette entry by squared distance in RGB; the first of equals.
  const auto& palette = host::kDefaultPalette;
  int best = 1;
  long best_d = LONG_MAX;
  for (size_t i = 0; i < palette.size(); ++i) {
    const long dr = long((c >> 16) & 255) - long((palette[i] >> 16) & 255);
    const long dg = long((c >> 8) & 255) - long((palette[i] >> 8) & 255);
    const long db = long(c & 255) - long(palette[i] & 255);
    const long d = dr * dr + dg * dg + db * db;
    if (d < best_d) best_d = d, best = static_cast<int>(i) + 1;
  }
  return best;
}

void ReadColor(const ElementAttrs& e, int& color_index, std::string& color_xml) {
  color_index = ColorIndexOf(e);
  int64_t idx;
  if (e.attrs.size() == 1 && e.attrs[0].first == "indexed" && ParseInt(e.attrs[0].second, idx) &&
      idx >= 0 && idx < 64) {
    return;
  }
  color_xml.clear();
  AppendElement(color_xml, e);
}

void AppendColorXml(std::string& out, int color_index, std::string_view color_xml) {
  if (!color_xml.empty() && ColorIndexOfXml(color_xml) == color_index) {
    out.append(color_xml);
  } else if (color_index >= 1 && color_index <= 56) {
    out.append("<color indexed=\"");
    AppendInt(out, color_index + 7);
    out.append("\"/>");
  }
}

}  // namespace tessarin::ooxml
