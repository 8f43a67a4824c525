// The grade search's kanji test: a character counts as a kanji when code page 932 (Shift_JIS,
// Windows Japanese) encodes it at a double-byte code from 0x889F to 0xFC4B.
#pragma once

namespace tessarin::reports {

// The first and last code of the range (the kanji rows of the code page and the vendor rows
// after them).
inline constexpr unsigned kFirstKanjiCode = 0x889F;
inline constexpr unsigned kLastKanjiCode = 0xFC4B;

// True when `c` has a code page 932 code in kFirstKanjiCode..kLastKanjiCode. False for
// everything the code page cannot represent (characters beyond U+FFFF among them), and for
// kana, Latin letters, digits, punctuation and the iteration mark 々, whose codes lie lower.
// The first call builds a table of the whole Basic Multilingual Plane through iconv (about
// 64k conversions, a few milliseconds); later calls only look it up. Thread-safe. Throws
// HostError 438 when iconv has no code page 932.
bool IsCp932Kanji(char32_t c);

}  // namespace tessarin::reports
