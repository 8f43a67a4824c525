// Character classes of Japanese vertical setting: what a font's vertical forms should have done
// to a character, so a font without them is corrected by hand.
#pragma once

namespace tessarin::render {

// 、。，． stand in the upper right of their square in vertical text.
bool IsVerticalCornerPunctuation(char32_t c);
// Small kana (ぁ っ ャ ㇰ ...) shift towards the upper right in vertical text.
bool IsSmallKana(char32_t c);
// Long vowel marks, dashes, wave dashes, leaders and brackets turn a quarter in vertical text.
bool TurnsInVerticalText(char32_t c);
// The characters whose vertical form the font should supply: corner punctuation and those
// that turn. Small kana keep their ordinary glyph, moved (so a PDF can map them back).
bool HasVerticalForm(char32_t c);
// Characters that may not begin a line (closing brackets, punctuation, small kana, ー).
bool IsNoLineStart(char32_t c);
// Ideographs, kana and full-width forms: a line may break before and after them.
bool IsWideBreakable(char32_t c);

}  // namespace tessarin::render
