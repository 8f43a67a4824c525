// Character classes for vertical Japanese.
#include "render/vertical_forms.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace tessarin::render {
namespace {

constexpr std::u32string_view kCorner = U"、。，．､｡";
constexpr std::u32string_view kSmallKana = U"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶ";
constexpr std::u32string_view kTurns =
    U"ー―—–‐‑〜～…‥＝＿｜「」『』（）［］｛｝〔〕【】〈〉《》〘〙〚〛＜＞｢｣()[]{}<>";
constexpr std::u32string_view kNoStartOther =
    U"ー」』）］｝〕】〉》〙〛＞｣)]}>!?！？・：；:;,.ゝゞヽヾ々";

// The classes as bits of one table over the Basic Multilingual Plane, where every listed
// character lies: layout asks for each glyph of every cell, so a lookup must be one load.
enum Class : uint8_t { kCornerBit = 1, kSmallKanaBit = 2, kTurnsBit = 4, kNoStartBit = 8 };

const std::array<uint8_t, 0x10000>& Classes() {
  static const std::array<uint8_t, 0x10000> table = [] {
    std::array<uint8_t, 0x10000> t{};
    auto mark = [&](std::u32string_view set, uint8_t bits) {
      for (char32_t c : set) t[c] |= bits;
    };
    mark(kCorner, kCornerBit | kNoStartBit);
    mark(kSmallKana, kSmallKanaBit | kNoStartBit);
    for (char32_t c = 0x31F0; c <= 0x31FF; ++c) t[c] |= kSmallKanaBit | kNoStartBit;
    mark(kTurns, kTurnsBit);
    mark(kNoStartOther, kNoStartBit);
    return t;
  }();
  return table;
}

bool Is(char32_t c, uint8_t bit) { return c < 0x10000 && (Classes()[c] & bit) != 0; }

}  // namespace

bool IsVerticalCornerPunctuation(char32_t c) { return Is(c, kCornerBit); }

bool IsSmallKana(char32_t c) { return Is(c, kSmallKanaBit); }

bool TurnsInVerticalText(char32_t c) { return Is(c, kTurnsBit); }

bool HasVerticalForm(char32_t c) { return Is(c, kCornerBit | kTurnsBit); }

bool IsNoLineStart(char32_t c) { return Is(c, kNoStartBit); }

bool IsWideBreakable(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

}  // namespace tessarin::render
