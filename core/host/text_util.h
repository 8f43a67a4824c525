// Small text helpers that several layers need and must agree on: ASCII case folding (the host
// compares names such as "General", "TRUE" and macro names without regard to ASCII case only)
// and the file name part of a path.
#pragma once

#include <string_view>

namespace tessarin::host {

// 'A'..'Z' become 'a'..'z'; every other byte (UTF-8 included) stays.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `a` and `b` are equal once ASCII letters are folded; other bytes must be equal.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The part of `path` after its last "/" (all of it when it has none; "" when it ends in "/").
// The view points into `path`.
constexpr std::string_view BaseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace tessarin::host
