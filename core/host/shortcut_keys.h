// Shortcut keys as the host binds macros to them: Ctrl with a letter, Shift for an upper-case
// key in the registry ("t" is Ctrl+T, "T" is Ctrl+Shift+T). The one place these rules live; the
// registry, the window's key bindings and the script runner's key steps all use it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessarin::host {

struct KeyChord {
  char letter = 'A';  // 'A'..'Z'
  bool shift = false;
  friend bool operator==(const KeyChord&, const KeyChord&) = default;
};

// The chord of a registry key; nullopt unless the key is one ASCII letter.
std::optional<KeyChord> ChordOfKey(std::string_view key);
// The registry key of a chord: the letter, lower case without Shift.
std::string KeyOfChord(KeyChord chord);
// "Ctrl+T", "Ctrl+Shift+T".
std::string ChordText(KeyChord chord);
// Reads a key as a user writes it: modifiers "Ctrl", "Shift", "Alt" (any case, each at most
// once) joined by "+" before the key. nullopt for a well-formed key that cannot carry a macro
// (no Ctrl, with Alt, or not a letter: "Ctrl+1", "F5"). Throws HostError 5 for text that is no
// key ("", "Ctrl+", "Ctrl+Ctrl+T", "Cmd+T").
std::optional<KeyChord> ParseChord(std::string_view text);

}  // namespace tessarin::host
