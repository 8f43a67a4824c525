// Shared by the .xls import's files only: little-endian reads of container and record bytes, and
// the one error every stage of the import raises for a file it cannot read.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/host/host_error.h"

namespace tessarin::ooxml::xls {

// Callers check the bounds: `at` + 2 (+ 4, + 8) must lie inside `b`.
inline uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}
inline uint32_t U32(std::string_view b, size_t at) {
  return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}
inline double DoubleAt(std::string_view b, size_t at) {
  const uint64_t bits = U32(b, at) | uint64_t{U32(b, at + 4)} << 32;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// Throws HostError 1004 "Cannot open FILE: WHAT".
[[noreturn]] inline void Fail(const std::string& file_name, const std::string& what) {
  throw host::HostError(host::kErrApplicationDefined, "Cannot open " + file_name + ": " + what);
}

}  // namespace tessarin::ooxml::xls
