// Shared XML helpers for the package parts: the pull scanner (xml_scanner.cpp), escaping and
// mending of text (xml_escape.cpp), namespaces, errors and pugixml helpers (xml_util.cpp).
// Numbers and A1 references as files write them are in value_text.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/geometry.h"

namespace tessarin::ooxml {

// The four characters XML counts as white space.
inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Namespaces of the two SpreadsheetML flavours. Every part we write uses the flavour the package
// was read in (transitional for new workbooks), so a Strict file stays Strict.
struct Namespaces {
  std::string_view main;
  std::string_view relationships;    // the r: prefix of r:id attributes
  std::string_view rel_type_prefix;  // officeDocument relationship types
  static const Namespaces& Transitional();
  static const Namespaces& Strict();
};

inline constexpr std::string_view kPackageRelsNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view kContentTypesNs =
    "http://schemas.openxmlformats.org/package/2006/content-types";

// Describes where a part's error happened: "file.xlsx, part xl/workbook.xml".
std::string Where(std::string_view file, std::string_view part);
// Throws HostError 1004 "<file>: part <part>: <what>".
[[noreturn]] void Fail(std::string_view file, std::string_view part, std::string_view what);

// A pull scanner over an XML document, held in memory or read from a source in pieces. It
// checks well-formedness as it goes (tag balance, attribute syntax, entities, nothing but white
// space outside the root) and reports names without their namespace prefix. Views it returns
// point into its buffer and stay valid until the next call of Next(), SkipElement(),
// ElementText() or Compact(); copy what must live longer.
class XmlScanner {
 public:
  enum Token { kStart, kEnd, kText, kEof };
  struct Attr {
    std::string_view name;   // local name
    std::string_view qname;  // with prefix
    std::string_view raw;    // value as written, entities not expanded
  };
  // Fills up to `size` bytes and returns how many; 0 at the end.
  using Source = std::function<size_t(char*, size_t)>;
  // What a streamed scanner asks its source for at a time.
  static constexpr size_t kPieceBytes = size_t{1} << 18;

  // `file` and `part` name the document in error messages.
  XmlScanner(std::string_view xml, std::string_view file, std::string_view part);
  XmlScanner(Source source, std::string_view file, std::string_view part);

  // Moves to the next token. kStart for <a ...> and <a .../> (then the matching kEnd follows at
  // once, with self_closing() true), kText for character data and CDATA between tags.
  Token Next();
  std::string_view name() const { return name_; }    // local name of the current tag
  std::string_view qname() const { return qname_; }  // with prefix
  bool self_closing() const { return self_closing_; }
  const std::vector<Attr>& attrs() const { return attrs_; }
  // The raw value of the attribute with this local name, or nullptr.
  const Attr* FindAttr(std::string_view local) const;
  // Raw text of the current text token (entities not expanded; CDATA without its markers).
  std::string_view raw_text() const { return text_; }
  bool text_is_cdata() const { return cdata_; }
  int depth() const { return static_cast<int>(stack_offsets_.size()); }
  // Offsets into buffer(): where the current start tag began ('<'), where scanning stands.
  // They stay valid until Compact().
  size_t tag_begin() const { return tag_begin_; }
  size_t pos() const { return pos_; }
  std::string_view buffer() const { return xml_; }

  // Skips the rest of the current element (after its kStart); returns the offset just past its
  // end tag.
  size_t SkipElement();
  // Collects the text of the current element and its descendants (entities expanded).
  std::string ElementText();
  // Just after the kStart of an element that is not empty: when its whole content is
  // <child>text</child> (text without markup, entities or CR), returns true with that text and
  // leaves the scanner after the element's end tag, as if its kEnd had been read. Otherwise
  // changes nothing and returns false.
  bool TrySimpleChild(std::string_view child, std::string_view& text);
  // When the next bytes are a whole element <name a="v" ...> (attributes without prefix,
  // separated by single spaces, values without '<' or '&') that is empty or holds only
  // <child>text</child> (text as for TrySimpleChild): puts its attributes in attrs[0..n),
  // the text in `text` (`has_text` says whether there was a child) and returns n, leaving the
  // scanner after the element's end tag; the views last until the next call that moves the
  // scanner. Otherwise, with more than `max` attributes too, changes nothing and returns -1.
  // `name` and `child` must not be empty.
  int TryLeafElement(std::string_view name, std::string_view child, Attr* attrs, int max,
                     std::string_view& text, bool& has_text);
  // Forgets the bytes already scanned, so a streamed document costs about one piece of memory.
  // Invalidates all views and offsets.
  void Compact();

  [[noreturn]] void Error(std::string_view what) const;

 private:
  bool Refill();  // appends a piece from the source; false when there is no more
  // These return false when the buffer ends inside the token and more may come.
  bool ParseStartTag();
  bool ParseEndTag();
  bool SkipMarkup();  // comments, PIs, DOCTYPE
  std::string_view Top() const {
    return std::string_view(stack_names_).substr(stack_offsets_.back());
  }
  void Pop() {
    stack_names_.resize(stack_offsets_.back());
    stack_offsets_.pop_back();
  }

  std::string_view xml_;
  // A streamed part's bytes not yet dropped: [0, owned_size_) of owned_, which holds
  // owned_capacity_. Not a std::string, whose growth would clear every piece before it is read.
  std::unique_ptr<char[]> owned_;
  size_t owned_size_ = 0, owned_capacity_ = 0;
  Source source_;
  bool source_done_ = true;
  size_t line_base_ = 0;
  std::string_view file_, part_;
  size_t pos_ = 0;
  size_t tag_begin_ = 0;
  std::string_view name_, qname_, text_;
  bool self_closing_ = false;
  bool pending_end_ = false;
  bool cdata_ = false;
  bool seen_root_ = false;
  std::vector<Attr> attrs_;
  std::string stack_names_;  // open elements' qualified names, back to back
  std::vector<uint32_t> stack_offsets_;
};

// Expands the five predefined entities and character references of attribute or text content.
// Throws through `scanner` (for its location) on an unknown or malformed reference.
void AppendUnescaped(std::string& out, std::string_view raw, const XmlScanner* scanner = nullptr);
std::string Unescape(std::string_view raw, const XmlScanner* scanner = nullptr);
// Appends text as XML reads it: CR LF and a lone CR become LF (for CDATA, which has no entities).
void AppendLiteralText(std::string& out, std::string_view text);
// Decodes the _xHHHH_ escapes SpreadsheetML uses for characters XML cannot hold.
std::string DecodeXmlEscapes(std::string_view text);

// Text read from a file as a cell holds it: a view of `text` itself when it is well-formed UTF-8,
// else of a copy in `scratch` with each malformed byte as U+FFFD (the view lives as long as
// `text` or `scratch`, whichever it points into).
std::string_view MendedText(std::string_view text, std::string& scratch);
// False when `text` has more characters than a cell holds (host::kMaxCellChars).
bool FitsInCell(std::string_view text);

// Escaping for output. Text keeps line feeds; attributes escape them too.
void AppendEscaped(std::string& out, std::string_view text);
void AppendAttrEscaped(std::string& out, std::string_view text);
// Cell text: XML escaping plus _xHHHH_ for the characters XML cannot hold (C0 controls but tab
// and line feed, a carriage return, U+FFFE, U+FFFF) and for a literal "_xHHHH_" pattern. Every
// other character, DEL (U+007F) included, is written as itself.
void AppendCellText(std::string& out, std::string_view text);
// Appends ` name="value"` with the value escaped.
void AppendAttr(std::string& out, std::string_view name, std::string_view value);
void AppendAttr(std::string& out, std::string_view name, int64_t value);

// True when the prolog of `xml` holds a document type declaration.
bool HasDoctype(std::string_view xml);
// The same question for a part fed piece by piece, keeping nothing of it but a few bytes (parts
// passed on unread may be hundreds of MiB).
class DoctypeWatch {
 public:
  void Feed(std::string_view piece);
  bool found() const { return state_ == kFound; }

 private:
  enum State : uint8_t { kBom, kProlog, kMarkup, kComment, kInstruction, kFound, kNone };
  void Step(char c);
  State state_ = kBom;
  std::string pending_;    // a byte order mark or the start of markup being matched
  char last_[2] = {0, 0};  // the last two characters inside a comment or instruction
};
// Loads a small part into a pugixml document; throws HostError 1004 naming file and part when it
// is not well-formed or has a document type declaration.
void LoadXml(pugi::xml_document& doc, std::string_view bytes, std::string_view file,
             std::string_view part);
// Namespace-blind lookups: element and attribute names compared without their prefix.
std::string_view LocalName(std::string_view qname);
// ASCII lower case: part names in a package compare without regard to ASCII case.
std::string Lower(std::string_view s);
pugi::xml_node Child(pugi::xml_node node, std::string_view local);
pugi::xml_attribute Attr(pugi::xml_node node, std::string_view local);
std::string_view AttrValue(pugi::xml_node node, std::string_view local,
                           std::string_view fallback = {});
// The node printed back as XML, no indentation, no declaration.
std::string NodeXml(pugi::xml_node node);
// The same, with the prefixed namespaces it uses but its ancestors declare declared on the node
// itself, so that the text stays readable wherever it is written.
std::string StandaloneNodeXml(pugi::xml_node node);

}  // namespace tessarin::ooxml
