// Character classes for vertical Japanese.
#include "render/vertical_forms.h"

#include <algorithm>
#include <string_view>

namespace tessarin::render {
namespace {

bool In(char32_t c, std::u32string_view set) { return set.find(c) != std::u32string_view::npos; }

}  // namespace

bool IsVerticalCornerPunctuation(char32_t c) { return In(c, U"、。，．､｡"); }

bool IsSmallKana(char32_t c) {
  return In(c, U"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶ") || (c >= 0x31F0 && c <= 0x31FF);
}

bool TurnsInVerticalText(char32_t c) {
  return In(c, U"ー―—–‐‑〜～…‥＝＿｜「」『』（）［］｛｝〔〕【】〈〉《》〘〙〚〛＜＞｢｣()[]{}<>");
}

bool HasVerticalForm(char32_t c) {
  return IsVerticalCornerPunctuation(c) || TurnsInVerticalText(c);
}

bool IsNoLineStart(char32_t c) {
  return IsVerticalCornerPunctuation(c) || IsSmallKana(c) ||
         In(c, U"ー」』）］｝〕】〉》〙〛＞｣)]}>!?！？・：；:;,.ゝゞヽヾ々");
}

bool IsWideBreakable(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

}  // namespace tessarin::render
