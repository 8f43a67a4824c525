// Text in and out of XML: entities read and written, line ends, the _xHHHH_ form of cell text,
// and mending of what XML cannot hold (malformed UTF-8, U+FFFE, U+FFFF, control characters).
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/host/text_encoding.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// Appends literal text with XML's line-end handling: CR LF and a lone CR read as LF.
void AppendLiteralText(std::string& out, std::string_view text) {
  size_t cr = text.find('\r');
  if (cr == std::string_view::npos) {
    out.append(text);
    return;
  }
  size_t i = 0;
  while (cr != std::string_view::npos) {
    out.append(text.substr(i, cr - i));
    out.push_back('\n');
    i = cr + 1;
    if (i < text.size() && text[i] == '\n') ++i;
    cr = text.find('\r', i);
  }
  out.append(text.substr(i));
}

void AppendUnescaped(std::string& out, std::string_view raw, const XmlScanner* scanner) {
  size_t i = 0;
  while (i < raw.size()) {
    const size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      AppendLiteralText(out, raw.substr(i));
      return;
    }
    AppendLiteralText(out, raw.substr(i, amp - i));
    const size_t semi = raw.find(';', amp);
    if (semi == std::string_view::npos || semi - amp > 12) {
      if (scanner) scanner->Error("bad entity reference");
      out.push_back('&');
      i = amp + 1;
      continue;
    }
    std::string_view ent = raw.substr(amp + 1, semi - amp - 1);
    if (ent == "lt")
      out.push_back('<');
    else if (ent == "gt")
      out.push_back('>');
    else if (ent == "amp")
      out.push_back('&');
    else if (ent == "quot")
      out.push_back('"');
    else if (ent == "apos")
      out.push_back('\'');
    else if (ent.size() >= 2 && ent[0] == '#') {
      uint32_t cp = 0;
      const bool hex = ent[1] == 'x' || ent[1] == 'X';
      std::string_view digits = ent.substr(hex ? 2 : 1);
      auto [p, ec] =
          std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (ec != std::errc() || p != digits.data() + digits.size() || digits.empty()) {
        if (scanner) scanner->Error("bad character reference");
        cp = 0xFFFD;
      }
      host::AppendUtf8(out, cp);
    } else {
      if (scanner) scanner->Error("unknown entity &" + std::string(ent) + ";");
      out.append(raw.substr(amp, semi - amp + 1));
    }
    i = semi + 1;
  }
}

std::string Unescape(std::string_view raw, const XmlScanner* scanner) {
  if (raw.find_first_of("&\r") == std::string_view::npos) return std::string(raw);
  std::string out;
  AppendUnescaped(out, raw, scanner);
  return out;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when text[i..i+7) is _xHHHH_.
bool IsXEscape(std::string_view text, size_t i) {
  if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_')
    return false;
  for (size_t k = i + 2; k < i + 6; ++k) {
    if (HexValue(text[k]) < 0) return false;
  }
  return true;
}

}  // namespace

std::string DecodeXmlEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '_' && IsXEscape(text, i)) {
      char32_t cp = 0;
      for (size_t k = i + 2; k < i + 6; ++k) cp = cp * 16 + HexValue(text[k]);
      // A UTF-16 surrogate pair written as two escapes.
      if (cp >= 0xD800 && cp <= 0xDBFF && IsXEscape(text, i + 7)) {
        char32_t lo = 0;
        for (size_t k = i + 9; k < i + 13; ++k) lo = lo * 16 + HexValue(text[k]);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          host::AppendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00));
          i += 14;
          continue;
        }
      }
      host::AppendUtf8(out, cp);
      i += 7;
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

// Copies the character at text[i] (a byte of 0x80 or more) to `out` and returns the bytes it
// took. Malformed UTF-8 becomes U+FFFD, as do U+FFFE and U+FFFF, which XML cannot hold, unless
// `x_escape` is set: then those two are written in the _xHHHH_ form that cell text defines.
size_t AppendWideChar(std::string& out, std::string_view text, size_t i, bool x_escape) {
  size_t next = i;
  const char32_t cp = host::NextCodePoint(text, next);
  if (cp == 0xFFFE || cp == 0xFFFF) {
    out.append(x_escape ? (cp == 0xFFFE ? "_xFFFE_" : "_xFFFF_") : kReplacementUtf8);
  } else if (cp == 0xFFFD) {
    out.append(kReplacementUtf8);
  } else {
    out.append(text.substr(i, next - i));
  }
  return next - i;
}

}  // namespace

std::string_view MendedText(std::string_view text, std::string& scratch) {
  if (host::IsValidUtf8(text)) return text;
  scratch.clear();
  for (size_t pos = 0; pos < text.size();)
    host::AppendUtf8(scratch, host::NextCodePoint(text, pos));
  return scratch;
}

bool FitsInCell(std::string_view text) {
  return text.size() <= static_cast<size_t>(host::kMaxCellChars) ||
         host::Utf8Length(text) <= host::kMaxCellChars;
}

// The three writers below never produce malformed XML, whatever bytes the model holds.
void AppendEscaped(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      i += AppendWideChar(out, text, i, false);
      continue;
    }
    if (c == '<')
      out.append("&lt;");
    else if (c == '>')
      out.append("&gt;");
    else if (c == '&')
      out.append("&amp;");
    else if (c < 0x20 && c != '\n' && c != '\t' && c != '\r')
      out.append(kReplacementUtf8);
    else
      out.push_back(static_cast<char>(c));
    ++i;
  }
}

void AppendAttrEscaped(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      i += AppendWideChar(out, text, i, false);
      continue;
    }
    switch (c) {
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '&':
        out.append("&amp;");
        break;
      case '"':
        out.append("&quot;");
        break;
      case '\n':
        out.append("&#10;");
        break;
      case '\r':
        out.append("&#13;");
        break;
      case '\t':
        out.append("&#9;");
        break;
      default:
        if (c < 0x20)
          out.append(kReplacementUtf8);
        else
          out.push_back(static_cast<char>(c));
    }
    ++i;
  }
}

namespace {

// _xHHHH_ for one UTF-16 unit.
void AppendXEscape(std::string& out, unsigned unit) {
  static const char kHex[] = "0123456789ABCDEF";
  out.append("_x");
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 15]);
  out.push_back('_');
}

}  // namespace

namespace {

// Bytes of the character at text[i] when cell text may hold it as it is in XML, else 0: tab,
// line feed, printable ASCII but markup and '_', and well-formed UTF-8 but U+FFFE and U+FFFF.
inline size_t VerbatimLength(std::string_view text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    const bool plain =
        c >= 0x20 ? c != '<' && c != '>' && c != '&' && c != '_' : c == '\n' || c == '\t';
    return plain ? 1 : 0;
  }
  // The common three-byte characters first (U+1000 to U+EFFF but the surrogates): no decoding.
  if (c >= 0xE1 && c <= 0xEE && c != 0xED && i + 2 < text.size() &&
      (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80 &&
      (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80) {
    return 3;
  }
  size_t next = i;
  const char32_t cp = host::NextCodePoint(text, next);
  if (cp == 0xFFFE || cp == 0xFFFF || (cp == 0xFFFD && next - i != 3)) return 0;
  return next - i;
}

// Appends the one character at text[i] that VerbatimLength refused; returns its bytes.
size_t AppendCellChar(std::string& out, std::string_view text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c >= 0x80) return AppendWideChar(out, text, i, true);
  if (c == '<') {
    out.append("&lt;");
  } else if (c == '>') {
    out.append("&gt;");
  } else if (c == '&') {
    out.append("&amp;");
  } else if (c == '_') {
    out.append(IsXEscape(text, i) ? "_x005F_" : "_");
  } else {
    // XML holds no C0 control but tab and line feed; a carriage return would read back as a
    // line feed. DEL and the C1 controls are valid XML characters and are written as they are.
    AppendXEscape(out, c);
  }
  return 1;
}

}  // namespace

// Long texts are mostly characters written as they are: those are copied in runs.
void AppendCellText(std::string& out, std::string_view text) {
  size_t run = 0, i = 0;
  while (i < text.size()) {
    if (const size_t n = VerbatimLength(text, i)) {
      i += n;
      continue;
    }
    out.append(text.data() + run, i - run);
    i += AppendCellChar(out, text, i);
    run = i;
  }
  out.append(text.data() + run, text.size() - run);
}

void AppendAttr(std::string& out, std::string_view name, std::string_view value) {
  out.push_back(' ');
  out.append(name);
  out.append("=\"");
  AppendAttrEscaped(out, value);
  out.push_back('"');
}

void AppendAttr(std::string& out, std::string_view name, int64_t value) {
  out.push_back(' ');
  out.append(name);
  out.append("=\"");
  AppendInt(out, value);
  out.push_back('"');
}

}  // namespace tessarin::ooxml
