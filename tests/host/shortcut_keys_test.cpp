// Tests of the shortcut-key rules: registry keys, chords and the written form.
#include "core/host/shortcut_keys.h"

#include <gtest/gtest.h>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

TEST(ShortcutKeys, WrittenKeysBecomeChordsAndRegistryKeys) {
  struct Case {
    const char* text;
    const char* key;  // "" when the key can carry no macro
  };
  const Case cases[] = {
      {"Ctrl+T", "t"},       {"ctrl+t", "t"}, {"Ctrl+Shift+T", "T"},
      {"shift+CTRL+t", "T"}, {"Ctrl+1", ""},  {"Alt+T", ""},
      {"Ctrl+Alt+T", ""},    {"T", ""},       {"Ctrl+F5", ""},
  };
  for (const Case& c : cases) {
    const std::optional<KeyChord> chord = ParseChord(c.text);
    EXPECT_EQ(chord ? KeyOfChord(*chord) : "", c.key) << c.text;
    if (chord) EXPECT_EQ(ChordOfKey(c.key), chord) << c.text;
  }
  for (const char* bad : {"", "Ctrl+", "Ctrl+Ctrl+T", "Cmd+T", "+T"}) {
    EXPECT_THROW(ParseChord(bad), HostError) << bad;
  }
}

TEST(ShortcutKeys, OnlyOneLetterIsARegistryKey) {
  EXPECT_EQ(ChordOfKey("q"), (KeyChord{'Q', false}));
  EXPECT_EQ(ChordOfKey("Q"), (KeyChord{'Q', true}));
  EXPECT_EQ(ChordText(KeyChord{'Q', true}), "Ctrl+Shift+Q");
  for (const char* bad : {"", "qq", "1", "ａ", "+"}) EXPECT_FALSE(ChordOfKey(bad)) << bad;
}

}  // namespace
}  // namespace tessarin::host
