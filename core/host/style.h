// Cell styles: fonts, alignment, borders and number formats, shared through a per-workbook pool.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/host/constants.h"
#include "core/host/file_extras.h"

namespace tessarin::host {

// The default font of a Japanese-locale workbook.
inline constexpr std::string_view kDefaultFontName = "ＭＳ Ｐゴシック";
inline constexpr double kDefaultFontSize = 11.0;

struct Font {
  std::string name{kDefaultFontName};
  double size = kDefaultFontSize;
  bool bold = false;
  bool italic = false;
  bool strikethrough = false;
  bool superscript = false;
  bool subscript = false;
  bool outline = false;
  bool shadow = false;
  int underline = kXlUnderlineStyleNone;
  int color_index = kXlAutomatic;
  // What a file said of the font that the model does not use (theme colours, rgb, family,
  // charset, scheme), kept so that saving in that format writes it back.
  FileExtrasRef file_extras;

  // "標準", "太字", "斜体" or "太字 斜体", as the Japanese host names the style.
  std::string FontStyle() const;
  // Sets bold and italic from a style name; unknown names leave the font unchanged and return
  // false.
  bool SetFontStyle(std::string_view style);
  friend bool operator==(const Font&, const Font&) = default;
};

struct BorderLine {
  int line_style = kXlNone;  // kXlNone: no line
  int weight = kXlThin;
  int color_index = kXlAutomatic;
  FileExtrasRef file_color;  // an rgb or theme colour from a file, kept as given
  bool IsSet() const { return line_style != kXlNone; }
  friend bool operator==(const BorderLine&, const BorderLine&) = default;
};

// Borders a cell can own, indexed by host border index minus kXlDiagonalDown (5..10).
enum BorderSlot { kDiagonalDown = 0, kDiagonalUp, kLeft, kTop, kBottom, kRight, kBorderSlots };

struct Style {
  Font font;
  int horizontal = kXlGeneral;
  int vertical = kXlBottom;
  int orientation = 0;  // degrees -90..90 or kXlVertical (stacked)
  bool wrap = false;
  bool shrink = false;
  int indent = 0;
  bool add_indent = false;
  std::string number_format = "General";
  std::array<BorderLine, kBorderSlots> borders;
  // Formats the model keeps without interpreting them (fill, protection, other attributes of a
  // file's cell format), written back when saving in that format.
  FileExtrasRef file_extras;

  friend bool operator==(const Style&, const Style&) = default;
};

using StyleId = uint32_t;
inline constexpr StyleId kDefaultStyle = 0;

// Deduplicated styles. Id 0 is the workbook's normal style. Styles are immutable once pooled:
// change a cell's format by copying its style, changing the copy and interning it.
class StylePool {
 public:
  StylePool();
  explicit StylePool(const Style& normal);

  StyleId Intern(const Style& style);
  const Style& Get(StyleId id) const { return styles_[id]; }
  size_t size() const { return styles_.size(); }
  // Replaces the normal style (id 0); used when a file defines its own default font.
  void SetNormal(const Style& normal);

 private:
  std::vector<Style> styles_;
  std::unordered_multimap<size_t, StyleId> index_;
};

size_t HashStyle(const Style& style);

}  // namespace tessarin::host
