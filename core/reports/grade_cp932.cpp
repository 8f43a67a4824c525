// The code page 932 kanji test: one table for the whole BMP, built once through iconv.
#include "core/reports/grade_cp932.h"

#include <iconv.h>

#include <bitset>
#include <memory>
#include <mutex>

#include "core/host/host_error.h"

namespace tessarin::reports {
namespace {

using KanjiBits = std::bitset<0x10000>;

// Encodes every BMP character on its own, so that one character the code page lacks cannot
// stop the others; a code that lands on two bytes in the range marks the character.
std::unique_ptr<KanjiBits> BuildTable() {
  iconv_t cd = iconv_open("CP932", "UTF-32LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw host::HostError(host::kErrNotSupported,
                          "code page 932 conversion is not available (iconv)");
  }
  auto bits = std::make_unique<KanjiBits>();
  for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates are not characters
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), 0, 0};
    char out[8];
    char* in_ptr = in;
    char* out_ptr = out;
    size_t in_left = sizeof in, out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) continue;
    if (out_ptr - out != 2) continue;
    const unsigned code =
        (static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]);
    if (code >= kFirstKanjiCode && code <= kLastKanjiCode) bits->set(c);
  }
  iconv_close(cd);
  return bits;
}

const KanjiBits& Table() {
  static std::once_flag once;
  static std::unique_ptr<KanjiBits> table;
  std::call_once(once, [] { table = BuildTable(); });
  return *table;
}

}  // namespace

bool IsCp932Kanji(char32_t c) { return c <= 0xFFFF && Table().test(c); }

}  // namespace tessarin::reports
