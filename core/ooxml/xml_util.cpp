// Shared XML helpers: the pull scanner, escaping, number and reference formatting.
#include "core/ooxml/xml_util.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameEnd(char c) { return IsSpace(c) || c == '/' || c == '>' || c == '='; }

}  // namespace

const Namespaces& Namespaces::Transitional() {
  static const Namespaces ns{"http://schemas.openxmlformats.org/spreadsheetml/2006/main",
                             "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
                             "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"};
  return ns;
}

const Namespaces& Namespaces::Strict() {
  static const Namespaces ns{"http://purl.oclc.org/ooxml/spreadsheetml/main",
                             "http://purl.oclc.org/ooxml/officeDocument/relationships",
                             "http://purl.oclc.org/ooxml/officeDocument/relationships/"};
  return ns;
}

std::string Where(std::string_view file, std::string_view part) {
  std::string s(file);
  if (!part.empty()) s.append(", part ").append(part);
  return s;
}

void Fail(std::string_view file, std::string_view part, std::string_view what) {
  throw host::HostError(host::kErrApplicationDefined,
                        "Cannot read " + Where(file, part) + ": " + std::string(what));
}

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


// ---------------------------------------------------------------------------------------------
// XmlScanner

namespace {
constexpr size_t kPiece = 1 << 20;
}  // namespace

XmlScanner::XmlScanner(std::string_view xml, std::string_view file, std::string_view part)
    : xml_(xml), file_(file), part_(part) {
  // A UTF-8 byte order mark is allowed before the declaration.
  if (xml_.size() >= 3 && std::memcmp(xml_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  if (xml_.size() >= 2 && (static_cast<unsigned char>(xml_[0]) == 0xFF || static_cast<unsigned char>(xml_[0]) == 0xFE)) {
    Error("the part is not UTF-8 XML");
  }
}

XmlScanner::XmlScanner(Source source, std::string_view file, std::string_view part)
    : source_(std::move(source)), source_done_(false), file_(file), part_(part) {
  owned_.reserve(2 * kPiece);
  while (owned_.size() < 3 && Refill()) {
  }
  if (xml_.size() >= 3 && std::memcmp(xml_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  if (xml_.size() >= 2 && (static_cast<unsigned char>(xml_[0]) == 0xFF || static_cast<unsigned char>(xml_[0]) == 0xFE)) {
    Error("the part is not UTF-8 XML");
  }
}

bool XmlScanner::Refill() {
  if (source_done_) return false;
  const size_t old = owned_.size();
  owned_.resize(old + kPiece);
  const size_t n = source_(owned_.data() + old, kPiece);
  owned_.resize(old + n);
  if (n == 0) source_done_ = true;
  xml_ = owned_;
  return n > 0;
}

void XmlScanner::Compact() {
  if (!source_ || pos_ < kPiece) return;
  for (const char* p = owned_.data(); (p = static_cast<const char*>(std::memchr(p, '\n', owned_.data() + pos_ - p)));) {
    ++line_base_;
    ++p;
  }
  owned_.erase(0, pos_);
  xml_ = owned_;
  pos_ = 0;
  tag_begin_ = 0;
  name_ = qname_ = text_ = {};
  attrs_.clear();
}

void XmlScanner::Error(std::string_view what) const {
  size_t line = 1 + line_base_;
  const size_t end = std::min(pos_, xml_.size());
  for (size_t i = 0; i < end; ++i) line += xml_[i] == '\n';
  Fail(file_, part_, "malformed XML at line " + std::to_string(line) + ": " + std::string(what) + ".");
}

const XmlScanner::Attr* XmlScanner::FindAttr(std::string_view local) const {
  for (const Attr& a : attrs_) {
    if (a.name == local) return &a;
  }
  return nullptr;
}

bool XmlScanner::SkipMarkup() {
  // At "<?" or "<!" (not CDATA).
  if (xml_.compare(pos_, 4, "<!--") == 0) {
    const size_t e = xml_.find("-->", pos_ + 4);
    if (e == std::string_view::npos) {
      if (!source_done_) return false;
      Error("unterminated comment");
    }
    pos_ = e + 3;
  } else if (pos_ + 1 < xml_.size() && xml_[pos_ + 1] == '?') {
    const size_t e = xml_.find("?>", pos_ + 2);
    if (e == std::string_view::npos) {
      if (!source_done_) return false;
      Error("unterminated processing instruction");
    }
    pos_ = e + 2;
  } else {
    // No part of a workbook has a document type; one here is an entity trick or damage, and
    // carrying it on would hand it to the next program.
    Error("the part has a document type declaration (<!DOCTYPE>), which workbook parts never have");
  }
  return true;
}

bool XmlScanner::ParseStartTag() {
  size_t i = pos_ + 1;
  const size_t n = xml_.size();
  const size_t name_begin = i;
  auto more = [&] { return !source_done_; };
  while (i < n && !IsNameEnd(xml_[i])) ++i;
  if (i >= n) {
    if (more()) return false;
    Error("unterminated start tag");
  }
  if (i == name_begin) Error("bad start tag");
  std::string_view qname = xml_.substr(name_begin, i - name_begin);
  attrs_.clear();
  bool self_closing;
  for (;;) {
    while (i < n && IsSpace(xml_[i])) ++i;
    if (i >= n) {
      if (more()) return false;
      Error("unterminated start tag");
    }
    if (xml_[i] == '>') {
      self_closing = false;
      ++i;
      break;
    }
    if (xml_[i] == '/') {
      if (i + 1 >= n && more()) return false;
      if (i + 1 >= n || xml_[i + 1] != '>') Error("bad empty-element tag");
      self_closing = true;
      i += 2;
      break;
    }
    const size_t an = i;
    while (i < n && !IsNameEnd(xml_[i])) ++i;
    if (i >= n && more()) return false;
    if (i == an) Error("bad attribute in <" + std::string(qname) + ">");
    std::string_view aq = xml_.substr(an, i - an);
    while (i < n && IsSpace(xml_[i])) ++i;
    if (i >= n && more()) return false;
    if (i >= n || xml_[i] != '=') Error("attribute without value in <" + std::string(qname) + ">");
    ++i;
    while (i < n && IsSpace(xml_[i])) ++i;
    if (i >= n && more()) return false;
    if (i >= n || (xml_[i] != '"' && xml_[i] != '\'')) Error("unquoted attribute value");
    const char q = xml_[i++];
    const void* e = std::memchr(xml_.data() + i, q, n - i);
    if (!e) {
      if (more()) return false;
      Error("unterminated attribute value");
    }
    const size_t ve = static_cast<const char*>(e) - xml_.data();
    attrs_.push_back({LocalName(aq), aq, xml_.substr(i, ve - i)});
    i = ve + 1;
  }
  tag_begin_ = pos_;
  pos_ = i;
  qname_ = qname;
  name_ = LocalName(qname);
  self_closing_ = self_closing;
  if (stack_offsets_.empty()) {
    if (seen_root_) Error("a second root element");
    seen_root_ = true;
  }
  stack_offsets_.push_back(static_cast<uint32_t>(stack_names_.size()));
  stack_names_.append(qname);
  pending_end_ = self_closing;
  return true;
}

bool XmlScanner::ParseEndTag() {
  size_t i = pos_ + 2;
  const size_t n = xml_.size();
  const size_t nb = i;
  while (i < n && !IsNameEnd(xml_[i])) ++i;
  std::string_view q = xml_.substr(nb, i - nb);
  while (i < n && IsSpace(xml_[i])) ++i;
  if (i >= n && !source_done_) return false;
  if (i >= n || xml_[i] != '>') Error("bad end tag");
  if (stack_offsets_.empty() || Top() != q) {
    Error("end tag </" + std::string(q) + "> does not match" +
          (stack_offsets_.empty() ? std::string() : " <" + std::string(Top()) + ">"));
  }
  qname_ = q;
  name_ = LocalName(q);
  Pop();
  pos_ = i + 1;
  return true;
}

XmlScanner::Token XmlScanner::Next() {
  if (pending_end_) {
    pending_end_ = false;
    Pop();
    return kEnd;
  }
  for (;;) {
    const size_t n = xml_.size();
    if (pos_ >= n) {
      if (Refill()) continue;
      if (!stack_offsets_.empty()) Error("the document ends inside <" + std::string(Top()) + ">");
      if (!seen_root_) Error("no root element");
      return kEof;
    }
    if (xml_[pos_] != '<') {
      const void* e = std::memchr(xml_.data() + pos_, '<', n - pos_);
      if (!e && Refill()) continue;
      const size_t end = e ? static_cast<const char*>(e) - xml_.data() : n;
      text_ = xml_.substr(pos_, end - pos_);
      pos_ = end;
      cdata_ = false;
      if (stack_offsets_.empty()) {
        for (char c : text_) {
          if (!IsSpace(c)) Error("text outside the root element");
        }
        continue;
      }
      return kText;
    }
    if (pos_ + 1 >= n) {
      if (Refill()) continue;
      Error("stray '<'");
    }
    const char c = xml_[pos_ + 1];
    if (c == '/') {
      if (ParseEndTag()) return kEnd;
      Refill();
      continue;
    }
    if (c == '!' && (n - pos_ < 9 && !source_done_)) {
      Refill();
      continue;
    }
    if (c == '!' && xml_.compare(pos_, 9, "<![CDATA[") == 0) {
      const size_t e = xml_.find("]]>", pos_ + 9);
      if (e == std::string_view::npos) {
        if (Refill()) continue;
        Error("unterminated CDATA section");
      }
      if (stack_offsets_.empty()) Error("CDATA outside the root element");
      text_ = xml_.substr(pos_ + 9, e - pos_ - 9);
      pos_ = e + 3;
      cdata_ = true;
      return kText;
    }
    if (c == '!' || c == '?') {
      if (!SkipMarkup()) Refill();
      continue;
    }
    if (ParseStartTag()) return kStart;
    Refill();
  }
}

namespace {

// True when s[i..] starts with `word`; short words, so a plain loop beats memcmp.
inline bool At(std::string_view s, size_t i, std::string_view word) {
  if (i + word.size() > s.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (s[i + k] != word[k]) return false;
  }
  return true;
}

}  // namespace

bool XmlScanner::TrySimpleChild(std::string_view child, std::string_view& text) {
  if (pending_end_) return false;
  const std::string_view x = xml_;
  // <child>text</child></parent>
  size_t i = pos_;
  if (!At(x, i, "<") || !At(x, i + 1, child) || !At(x, i + 1 + child.size(), ">")) return false;
  const size_t text_begin = i + child.size() + 2;
  size_t lt = text_begin;
  while (lt < x.size() && x[lt] != '<') {
    if (x[lt] == '&' || x[lt] == '\r') return false;
    ++lt;
  }
  if (!At(x, lt, "</") || !At(x, lt + 2, child) || !At(x, lt + 2 + child.size(), ">")) return false;
  i = lt + child.size() + 3;
  const std::string_view parent = Top();
  if (!At(x, i, "</") || !At(x, i + 2, parent) || !At(x, i + 2 + parent.size(), ">")) return false;
  text = x.substr(text_begin, lt - text_begin);
  pos_ = i + parent.size() + 3;
  Pop();
  return true;
}

size_t XmlScanner::SkipElement() {
  const size_t target = stack_offsets_.size() - 1;
  for (;;) {
    const Token t = Next();
    if (t == kEnd && stack_offsets_.size() == target) return pos_;
    if (t == kEof) Error("unexpected end of document");
  }
}

std::string XmlScanner::ElementText() {
  std::string out;
  const size_t target = stack_offsets_.size() - 1;
  for (;;) {
    const Token t = Next();
    if (t == kText) {
      if (cdata_) AppendLiteralText(out, text_);
      else AppendUnescaped(out, text_, this);
    } else if (t == kEnd && stack_offsets_.size() == target) {
      return out;
    } else if (t == kEof) {
      Error("unexpected end of document");
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Escaping

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
    if (ent == "lt") out.push_back('<');
    else if (ent == "gt") out.push_back('>');
    else if (ent == "amp") out.push_back('&');
    else if (ent == "quot") out.push_back('"');
    else if (ent == "apos") out.push_back('\'');
    else if (ent.size() >= 2 && ent[0] == '#') {
      uint32_t cp = 0;
      const bool hex = ent[1] == 'x' || ent[1] == 'X';
      std::string_view digits = ent.substr(hex ? 2 : 1);
      auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
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
  if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return false;
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
  for (size_t pos = 0; pos < text.size();) host::AppendUtf8(scratch, host::NextCodePoint(text, pos));
  return scratch;
}

bool FitsInCell(std::string_view text) {
  return text.size() <= static_cast<size_t>(host::kMaxCellChars) || host::Utf8Length(text) <= host::kMaxCellChars;
}

// The three writers below never produce malformed XML, whatever bytes the model holds.
void AppendEscaped(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      i += AppendWideChar(out, text, i, false);
      continue;
    }
    if (c == '<') out.append("&lt;");
    else if (c == '>') out.append("&gt;");
    else if (c == '&') out.append("&amp;");
    else if (c < 0x20 && c != '\n' && c != '\t' && c != '\r') out.append(kReplacementUtf8);
    else out.push_back(static_cast<char>(c));
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
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '&': out.append("&amp;"); break;
      case '"': out.append("&quot;"); break;
      case '\n': out.append("&#10;"); break;
      case '\r': out.append("&#13;"); break;
      case '\t': out.append("&#9;"); break;
      default:
        if (c < 0x20) out.append(kReplacementUtf8);
        else out.push_back(static_cast<char>(c));
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

void AppendCellText(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      i += AppendWideChar(out, text, i, true);
      continue;
    }
    if (c == '<') out.append("&lt;");
    else if (c == '>') out.append("&gt;");
    else if (c == '&') out.append("&amp;");
    else if (c < 0x20 && c != '\n' && c != '\t') {
      // XML holds no C0 control but tab and line feed; a carriage return would read back as a
      // line feed. DEL and the C1 controls are valid XML characters and are written as they are.
      AppendXEscape(out, c);
    } else if (c == 0xEF && i + 2 < text.size() && text[i + 1] == '\xBF' &&
               (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
      // U+FFFE and U+FFFF are no XML characters either.
      AppendXEscape(out, text[i + 2] == '\xBE' ? 0xFFFE : 0xFFFF);
      i += 2;
    } else if (c == '_' && IsXEscape(text, i)) {
      out.append("_x005F_");
    } else {
      out.push_back(static_cast<char>(c));
    }
    ++i;
  }
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

// ---------------------------------------------------------------------------------------------
// pugixml helpers

bool HasDoctype(std::string_view xml) {
  DoctypeWatch watch;
  watch.Feed(xml);
  return watch.found();
}

void DoctypeWatch::Feed(std::string_view piece) {
  for (const char c : piece) {
    if (state_ == kFound || state_ == kNone) return;
    Step(c);
  }
}

// The prolog is a byte order mark, then spaces, comments and processing instructions; the first
// other markup decides.
void DoctypeWatch::Step(char c) {
  static constexpr std::string_view kBomBytes = "\xEF\xBB\xBF", kCommentOpen = "<!--", kPiOpen = "<?",
                                   kDoctypeOpen = "<!DOCTYPE";
  switch (state_) {
    case kBom: {
      pending_.push_back(c);
      if (kBomBytes.substr(0, pending_.size()) == pending_) {
        if (pending_.size() == kBomBytes.size()) pending_.clear(), state_ = kProlog;
        return;
      }
      const std::string replay = std::move(pending_);
      pending_.clear();
      state_ = kProlog;
      for (const char r : replay) {
        if (state_ == kFound || state_ == kNone) return;
        Step(r);
      }
      return;
    }
    case kProlog:
      if (IsSpace(c)) return;
      if (c != '<') {
        state_ = kNone;
        return;
      }
      pending_ = "<";
      state_ = kMarkup;
      return;
    case kMarkup: {
      pending_.push_back(c);
      const std::string_view p = pending_;
      last_[0] = last_[1] = 0;
      if (p == kCommentOpen) state_ = kComment;
      else if (p == kPiOpen) state_ = kInstruction;
      else if (p == kDoctypeOpen) state_ = kFound;
      else if (kCommentOpen.substr(0, p.size()) != p && kPiOpen.substr(0, p.size()) != p &&
               kDoctypeOpen.substr(0, p.size()) != p) {
        state_ = kNone;
      }
      return;
    }
    case kComment:
    case kInstruction: {
      const bool closes = c == '>' && (state_ == kComment ? last_[0] == '-' && last_[1] == '-' : last_[1] == '?');
      last_[0] = last_[1];
      last_[1] = c;
      if (closes) state_ = kProlog;
      return;
    }
    case kFound:
    case kNone:
      return;
  }
}

void LoadXml(pugi::xml_document& doc, std::string_view bytes, std::string_view file, std::string_view part) {
  if (HasDoctype(bytes)) {
    Fail(file, part, "the part has a document type declaration (<!DOCTYPE>), which workbook parts never have.");
  }
  const auto result = doc.load_buffer(bytes.data(), bytes.size(),
                                      pugi::parse_default | pugi::parse_ws_pcdata_single);
  if (!result) {
    Fail(file, part, std::string("malformed XML at byte ") + std::to_string(result.offset) + ": " +
                         result.description() + ".");
  }
  if (!doc.document_element()) Fail(file, part, "the part has no root element.");
}

std::string_view LocalName(std::string_view qname) {
  const size_t colon = qname.find(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && LocalName(c.name()) == local) return c;
  }
  return {};
}

pugi::xml_attribute Attr(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (LocalName(a.name()) == local) return a;
  }
  return {};
}

std::string_view AttrValue(pugi::xml_node node, std::string_view local, std::string_view fallback) {
  pugi::xml_attribute a = Attr(node, local);
  return a ? std::string_view(a.value()) : fallback;
}

std::string NodeXml(pugi::xml_node node) {
  struct Writer : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  } writer;
  node.print(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return writer.out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace tessarin::ooxml
