// Text encodings: UTF-8 checks and code points, code page 932 (Shift_JIS) and UTF-16LE.
#include "core/host/text_encoding.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <string>

#include "core/host/host_error.h"

namespace tessarin::host {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence at `pos`, 0 when there is none; sets `cp`.
std::size_t DecodeAt(std::string_view text, std::size_t pos, char32_t& cp) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  const unsigned char c = s[0];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  // Kana and most kanji: three bytes whose second byte may take any continuation value.
  if (c >= 0xE1 && c != 0xED && c <= 0xEF && left >= 3 && IsContinuation(s[1]) &&
      IsContinuation(s[2])) {
    cp = (char32_t{c} & 0x0F) << 12 | (char32_t{s[1]} & 0x3F) << 6 | (s[2] & 0x3F);
    return 3;
  }
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;  // overlong
    if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (left < len || s[1] < lo || s[1] > hi) return 0;
  char32_t value = c & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    if (!IsContinuation(s[i])) return 0;
    value = (value << 6) | (s[i] & 0x3F);
  }
  cp = value;
  return len;
}

// One iconv descriptor per direction and thread: opening one loads a gconv module, which is
// far slower than the conversion of a short string.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts all of `in`; on bad input returns false with `error_offset` at the bad byte.
  bool Convert(std::string_view in, std::string& out, std::size_t& error_offset) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw HostError(kErrNotSupported, "code page 932 conversion is not available (iconv)");
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    out.assign(in.size() * 3 + 8, '\0');  // one CP932 byte (half-width kana) -> 3 UTF-8 bytes
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    std::size_t used = 0;
    while (true) {
      char* out_ptr = out.data() + used;
      std::size_t out_left = out.size() - used;
      const std::size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      used = out.size() - out_left;
      if (rc != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      error_offset = in.size() - in_left;  // EILSEQ or EINVAL (truncated at the end)
      return false;
    }
    out.resize(used);
    return true;
  }

 private:
  iconv_t cd_;
};

Iconv& FromCp932() {
  thread_local Iconv converter("UTF-8", "CP932");
  return converter;
}

Iconv& ToCp932() {
  thread_local Iconv converter("CP932", "UTF-8");
  return converter;
}

void RequireUtf8(std::string_view text, const char* what) {
  if (!IsValidUtf8(text)) {
    throw HostError(kErrTypeMismatch, std::string(what) + ": the text is not valid UTF-8");
  }
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::size_t pos = 0;
  char32_t cp;
  while (pos < text.size()) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      ++pos;
      continue;
    }
    // Kana and most kanji, as in DecodeAt, without leaving the loop.
    if (c >= 0xE1 && c != 0xED && c <= 0xEF && pos + 2 < text.size() &&
        IsContinuation(text[pos + 1]) && IsContinuation(text[pos + 2])) {
      pos += 3;
      continue;
    }
    const std::size_t len = DecodeAt(text, pos, cp);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

std::string EscapeInvalidUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp;
    const auto byte = static_cast<unsigned char>(text[pos]);
    const std::size_t len = byte < 0x80 ? 1 : DecodeAt(text, pos, cp);
    if (len == 0) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
      ++pos;
      continue;
    }
    // Doubled, so a literal "\x41" in a name cannot be mistaken for an escaped byte.
    if (byte == '\\') out += '\\';
    out.append(text.substr(pos, len));
    pos += len;
  }
  return out;
}

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  char32_t cp;
  const std::size_t len = DecodeAt(text, pos, cp);
  if (len == 0) {
    ++pos;
    return kReplacement;
  }
  pos += len;
  return cp;
}

std::vector<char32_t> CodePoints(std::string_view text) {
  std::vector<char32_t> result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) result.push_back(NextCodePoint(text, pos));
  return result;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) NextCodePoint(text, pos);
  return count;
}

std::size_t Utf8Offset(std::string_view text, std::size_t index) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < index && pos < text.size(); ++i) NextCodePoint(text, pos);
  return pos;
}

std::string Utf8Mid(std::string_view text, std::size_t start, std::size_t length) {
  const std::size_t begin = Utf8Offset(text, start == 0 ? 0 : start - 1);
  const std::string_view rest = text.substr(begin);
  return std::string(rest.substr(0, Utf8Offset(rest, length)));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string ToUtf8(const std::vector<char32_t>& code_points) {
  std::string out;
  out.reserve(code_points.size());
  for (char32_t cp : code_points) AppendUtf8(out, cp);
  return out;
}

std::optional<std::string> TryCp932ToUtf8(std::string_view bytes) {
  std::string out;
  std::size_t bad = 0;
  if (!FromCp932().Convert(bytes, out, bad)) return std::nullopt;
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  std::size_t bad = 0;
  if (!FromCp932().Convert(bytes, out, bad)) {
    throw HostError(kErrTypeMismatch, "not code page 932 text: invalid byte sequence at offset " +
                                          std::to_string(bad));
  }
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view text) {
  RequireUtf8(text, "Utf8ToCp932");
  std::string out;
  std::size_t bad = 0;
  if (!ToCp932().Convert(text, out, bad)) return std::nullopt;
  return out;
}

namespace {

// UTF-16LE to UTF-8; on failure `*why` says what is wrong and the result is meaningless.
std::string DecodeUtf16Le(std::string_view bytes, std::string* why) {
  if (bytes.size() % 2 != 0) {
    *why = "UTF-16 text has an odd number of bytes";
    return {};
  }
  const auto unit = [&](std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const char16_t u = unit(i);
    if (u < 0xD800 || u > 0xDFFF) {
      AppendUtf8(out, u);
      continue;
    }
    if (u <= 0xDBFF && i + 2 < bytes.size()) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    *why = "UTF-16 text has an unpaired surrogate at offset " + std::to_string(i);
    return {};
  }
  return out;
}

}  // namespace

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string why;
  std::string out = DecodeUtf16Le(bytes, &why);
  if (!why.empty()) throw HostError(kErrTypeMismatch, why);
  return out;
}

std::optional<std::string> TryUtf16LeToUtf8(std::string_view bytes) {
  std::string why;
  std::string out = DecodeUtf16Le(bytes, &why);
  if (!why.empty()) return std::nullopt;
  return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
  RequireUtf8(text, "Utf8ToUtf16Le");
  std::string out;
  out.reserve(text.size() * 2);
  const auto put = [&](char32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t cp = NextCodePoint(text, pos);
    if (cp < 0x10000) {
      put(cp);
    } else {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

}  // namespace tessarin::host
