// Shortcut keys: registry keys, chords and their written form.
#include "core/host/shortcut_keys.h"

#include <vector>

#include "core/host/host_error.h"
#include "core/host/text_util.h"

namespace tessarin::host {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

[[noreturn]] void NotAKey(std::string_view text) {
  throw HostError(kErrInvalidProcedureCall, "not a key: \"" + std::string(text) +
                                                "\" (write it as \"Ctrl+T\" or \"Ctrl+Shift+T\")");
}

}  // namespace

std::optional<KeyChord> ChordOfKey(std::string_view key) {
  if (key.size() != 1 || !IsAsciiLetter(key[0])) return std::nullopt;
  return KeyChord{Upper(key[0]), key[0] >= 'A' && key[0] <= 'Z'};
}

std::string KeyOfChord(KeyChord chord) {
  return std::string(1, chord.shift ? chord.letter : static_cast<char>(chord.letter - 'A' + 'a'));
}

std::string ChordText(KeyChord chord) {
  return std::string(chord.shift ? "Ctrl+Shift+" : "Ctrl+") + chord.letter;
}

std::optional<KeyChord> ParseChord(std::string_view text) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t plus = text.find('+', start);
    parts.push_back(text.substr(start, plus == std::string_view::npos ? plus : plus - start));
    if (plus == std::string_view::npos) break;
    start = plus + 1;
  }
  bool ctrl = false, shift = false, alt = false;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    bool* flag = EqualsIgnoringAsciiCase(parts[i], "ctrl")    ? &ctrl
                 : EqualsIgnoringAsciiCase(parts[i], "shift") ? &shift
                 : EqualsIgnoringAsciiCase(parts[i], "alt")   ? &alt
                                                              : nullptr;
    if (flag == nullptr || *flag) NotAKey(text);
    *flag = true;
  }
  const std::string_view key = parts.back();
  if (key.empty()) NotAKey(text);
  if (!ctrl || alt || key.size() != 1 || !IsAsciiLetter(key[0])) return std::nullopt;
  return KeyChord{Upper(key[0]), shift};
}

}  // namespace tessarin::host
