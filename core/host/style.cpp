// Style pool and font style names.
#include "core/host/style.h"

#include <functional>

namespace tessarin::host {
namespace {

void Mix(size_t& h, size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); }

}  // namespace

std::string Font::FontStyle() const {
  if (bold && italic) return "太字 斜体";
  if (bold) return "太字";
  if (italic) return "斜体";
  return "標準";
}

bool Font::SetFontStyle(std::string_view style) {
  if (style == "標準" || style == "Regular") {
    bold = false, italic = false;
  } else if (style == "太字" || style == "Bold") {
    bold = true, italic = false;
  } else if (style == "斜体" || style == "Italic") {
    bold = false, italic = true;
  } else if (style == "太字 斜体" || style == "Bold Italic") {
    bold = true, italic = true;
  } else {
    return false;
  }
  return true;
}

size_t HashStyle(const Style& s) {
  std::hash<std::string> hs;
  std::hash<double> hd;
  size_t h = hs(s.font.name);
  Mix(h, hd(s.font.size));
  Mix(h, (s.font.bold << 0) | (s.font.italic << 1) | (s.font.strikethrough << 2) |
             (s.font.superscript << 3) | (s.font.subscript << 4) | (s.font.outline << 5) |
             (s.font.shadow << 6) | (s.wrap << 7) | (s.shrink << 8) | (s.add_indent << 9));
  Mix(h, static_cast<size_t>(s.font.underline) * 31 + static_cast<size_t>(s.font.color_index));
  Mix(h, s.font.file_extras.Hash());
  Mix(h, static_cast<size_t>(s.horizontal) * 131 + static_cast<size_t>(s.vertical) * 7 +
             static_cast<size_t>(s.orientation) * 1009 + static_cast<size_t>(s.indent));
  Mix(h, hs(s.number_format));
  for (const BorderLine& b : s.borders) {
    Mix(h, static_cast<size_t>(b.line_style) * 17 + static_cast<size_t>(b.weight) * 5 +
               static_cast<size_t>(b.color_index));
    if (b.file_color) Mix(h, b.file_color.Hash());
  }
  if (s.file_extras) Mix(h, s.file_extras.Hash());
  return h;
}

StylePool::StylePool() : StylePool(Style{}) {}

StylePool::StylePool(const Style& normal) {
  styles_.push_back(normal);
  index_.emplace(HashStyle(normal), kDefaultStyle);
}

StyleId StylePool::Intern(const Style& style) {
  const size_t h = HashStyle(style);
  auto [begin, end] = index_.equal_range(h);
  for (auto it = begin; it != end; ++it) {
    if (styles_[it->second] == style) return it->second;
  }
  const auto id = static_cast<StyleId>(styles_.size());
  styles_.push_back(style);
  index_.emplace(h, id);
  return id;
}

void StylePool::SetNormal(const Style& normal) {
  auto [begin, end] = index_.equal_range(HashStyle(styles_[0]));
  for (auto it = begin; it != end; ++it) {
    if (it->second == kDefaultStyle) {
      index_.erase(it);
      break;
    }
  }
  styles_[0] = normal;
  index_.emplace(HashStyle(normal), kDefaultStyle);
}

}  // namespace tessarin::host
