// XmlScanner: the pull scanner the big parts are read with, a piece at a time from a stream or
// from text in memory, with the tokens, names and raw attribute values it hands out.
#include <algorithm>
#include <cstring>

#include "core/host/host_error.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {
namespace {

bool IsNameEnd(char c) { return IsXmlSpace(c) || c == '/' || c == '>' || c == '='; }

constexpr size_t kPiece = XmlScanner::kPieceBytes;

}  // namespace

XmlScanner::XmlScanner(std::string_view xml, std::string_view file, std::string_view part)
    : xml_(xml), file_(file), part_(part) {
  // A UTF-8 byte order mark is allowed before the declaration.
  if (xml_.size() >= 3 && std::memcmp(xml_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  if (xml_.size() >= 2 && (static_cast<unsigned char>(xml_[0]) == 0xFF ||
                           static_cast<unsigned char>(xml_[0]) == 0xFE)) {
    Error("the part is not UTF-8 XML");
  }
}

XmlScanner::XmlScanner(Source source, std::string_view file, std::string_view part)
    : source_(std::move(source)), source_done_(false), file_(file), part_(part) {
  owned_capacity_ = 2 * kPiece;
  owned_.reset(new char[owned_capacity_]);
  while (owned_size_ < 3 && Refill()) {
  }
  if (xml_.size() >= 3 && std::memcmp(xml_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  if (xml_.size() >= 2 && (static_cast<unsigned char>(xml_[0]) == 0xFF ||
                           static_cast<unsigned char>(xml_[0]) == 0xFE)) {
    Error("the part is not UTF-8 XML");
  }
}

bool XmlScanner::Refill() {
  if (source_done_) return false;
  if (owned_size_ + kPiece > owned_capacity_) {
    owned_capacity_ = std::max(2 * owned_capacity_, owned_size_ + kPiece);
    std::unique_ptr<char[]> bigger(new char[owned_capacity_]);
    std::memcpy(bigger.get(), owned_.get(), owned_size_);
    owned_ = std::move(bigger);
  }
  const size_t n = source_(owned_.get() + owned_size_, kPiece);
  owned_size_ += n;
  if (n == 0) source_done_ = true;
  xml_ = std::string_view(owned_.get(), owned_size_);
  return n > 0;
}

void XmlScanner::Compact() {
  // Dropping costs a move of what is still to scan: wait until that is little, near the end of
  // what has come (long rows aside, which still go once a piece has been scanned).
  if (!source_ || pos_ < kPiece / 2) return;
  if (pos_ < kPiece && owned_size_ - pos_ > kPiece / 8) return;
  for (const char* p = owned_.get();
       (p = static_cast<const char*>(std::memchr(p, '\n', owned_.get() + pos_ - p)));) {
    ++line_base_;
    ++p;
  }
  owned_size_ -= pos_;
  std::memmove(owned_.get(), owned_.get() + pos_, owned_size_);
  xml_ = std::string_view(owned_.get(), owned_size_);
  pos_ = 0;
  tag_begin_ = 0;
  name_ = qname_ = text_ = {};
  attrs_.clear();
}

void XmlScanner::Error(std::string_view what) const {
  size_t line = 1 + line_base_;
  const size_t end = std::min(pos_, xml_.size());
  for (size_t i = 0; i < end; ++i) line += xml_[i] == '\n';
  Fail(file_, part_,
       "malformed XML at line " + std::to_string(line) + ": " + std::string(what) + ".");
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
    while (i < n && IsXmlSpace(xml_[i])) ++i;
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
    while (i < n && IsXmlSpace(xml_[i])) ++i;
    if (i >= n && more()) return false;
    if (i >= n || xml_[i] != '=') Error("attribute without value in <" + std::string(qname) + ">");
    ++i;
    while (i < n && IsXmlSpace(xml_[i])) ++i;
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
  while (i < n && IsXmlSpace(xml_[i])) ++i;
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
          if (!IsXmlSpace(c)) Error("text outside the root element");
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

// What ends a run of plain bytes: in an attribute value its quote or markup, in text markup
// or a carriage return. One table lookup a byte, where the cell shortcut spends its time.
struct StopTable {
  bool value[256] = {}, text[256] = {};
  constexpr StopTable() {
    for (const unsigned char c : {'<', '&', '"', '\''}) value[c] = true;
    for (const unsigned char c : {'<', '&', '\r'}) text[c] = true;
  }
};
constexpr StopTable kStops;

inline bool Stops(const bool* table, char c) { return table[static_cast<unsigned char>(c)]; }

inline bool IsAsciiLetter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// True when [p, end) starts with `word` (not empty); element names are mostly one letter.
inline bool Starts(const char* p, const char* end, std::string_view word) {
  return static_cast<size_t>(end - p) >= word.size() && p[0] == word[0] &&
         (word.size() == 1 || std::memcmp(p + 1, word.data() + 1, word.size() - 1) == 0);
}

// Past "</word>" at p, or nullptr.
inline const char* PastEndTag(const char* p, const char* end, std::string_view word) {
  if (!Starts(p, end, "</") || !Starts(p + 2, end, word) || !Starts(p + 2 + word.size(), end, ">"))
    return nullptr;
  return p + word.size() + 3;
}

// Past the element <child>text</child> at p (setting `text`), or nullptr.
const char* PastSimpleChild(const char* p, const char* end, std::string_view child,
                            std::string_view& text) {
  if (!Starts(p, end, "<") || !Starts(p + 1, end, child) || !Starts(p + 1 + child.size(), end, ">"))
    return nullptr;
  const char* const begin = p + child.size() + 2;
  const char* lt = begin;
  while (lt < end && !Stops(kStops.text, *lt)) ++lt;
  if (lt == end || *lt != '<') return nullptr;
  text = std::string_view(begin, lt - begin);
  return PastEndTag(lt, end, child);
}

}  // namespace

bool XmlScanner::TrySimpleChild(std::string_view child, std::string_view& text) {
  if (pending_end_) return false;
  // <child>text</child></parent>
  const char* const end = xml_.data() + xml_.size();
  std::string_view inner;
  const char* p = PastSimpleChild(xml_.data() + pos_, end, child, inner);
  if (!p || !(p = PastEndTag(p, end, Top()))) return false;
  text = inner;
  pos_ = p - xml_.data();
  Pop();
  return true;
}

int XmlScanner::TryLeafElement(std::string_view name, std::string_view child, Attr* attrs, int max,
                               std::string_view& text, bool& has_text) {
  if (pending_end_ || stack_offsets_.empty()) return -1;
  const char* const end = xml_.data() + xml_.size();
  const char* p = xml_.data() + pos_;
  if (!Starts(p, end, "<") || !Starts(p + 1, end, name)) return -1;
  p += 1 + name.size();
  int count = 0;
  while (p < end && *p == ' ') {
    const char* const attr = ++p;
    while (p < end && IsAsciiLetter(*p)) ++p;
    if (p == attr || count == max || end - p < 3 || p[0] != '=' || (p[1] != '"' && p[1] != '\''))
      return -1;
    const char quote = p[1];
    const char* const value = p + 2;
    const char* q = value;
    while (q < end && !Stops(kStops.value, *q)) ++q;
    if (q == end || *q != quote) return -1;
    const std::string_view attr_name(attr, p - attr);
    attrs[count++] = {attr_name, attr_name, std::string_view(value, q - value)};
    p = q + 1;
  }
  has_text = false;
  if (Starts(p, end, "/>")) {
    pos_ = p + 2 - xml_.data();
    return count;
  }
  if (!Starts(p, end, ">")) return -1;
  ++p;
  if (const char* after = PastSimpleChild(p, end, child, text)) {
    has_text = true;
    p = after;
  }
  p = PastEndTag(p, end, name);
  if (!p) return -1;
  pos_ = p - xml_.data();
  return count;
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
      if (cdata_)
        AppendLiteralText(out, text_);
      else
        AppendUnescaped(out, text_, this);
    } else if (t == kEnd && stack_offsets_.size() == target) {
      return out;
    } else if (t == kEof) {
      Error("unexpected end of document");
    }
  }
}

}  // namespace tessarin::ooxml
