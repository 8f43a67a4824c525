// The character classes of vertical Japanese, each character in the classes it belongs to only.
#include "render/vertical_forms.h"

#include <gtest/gtest.h>

namespace tessarin::render {
namespace {

TEST(VerticalForms, EachCharacterIsInItsOwnClassesOnly) {
  struct Case {
    char32_t c;
    bool corner, small, turns, no_start;
  };
  const Case cases[] = {
      {U'、', true, false, false, true},     {U'。', true, false, false, true},
      {U'ゃ', false, true, false, true},     {U'ヶ', false, true, false, true},
      {U'\u31F5', false, true, false, true},  // small katakana extension
      {U'ー', false, false, true, true},     {U'「', false, false, true, false},
      {U'」', false, false, true, true},     {U'(', false, false, true, false},
      {U')', false, false, true, true},      {U'々', false, false, false, true},
      {U'!', false, false, false, true},     {U'山', false, false, false, false},
      {U'a', false, false, false, false},    {U'\U00020B9F', false, false, false, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(k.c));
    EXPECT_EQ(IsVerticalCornerPunctuation(k.c), k.corner);
    EXPECT_EQ(IsSmallKana(k.c), k.small);
    EXPECT_EQ(TurnsInVerticalText(k.c), k.turns);
    EXPECT_EQ(HasVerticalForm(k.c), k.corner || k.turns);
    EXPECT_EQ(IsNoLineStart(k.c), k.no_start);
  }
}

}  // namespace
}  // namespace tessarin::render
