// What every part reader shares beyond scanning and escaping: the namespaces of both flavours,
// the error naming file and part, the document type check, and small pugixml helpers.
#include "core/ooxml/xml_util.h"

#include <set>

#include "core/host/host_error.h"
#include "core/host/text_util.h"

namespace tessarin::ooxml {

const Namespaces& Namespaces::Transitional() {
  static const Namespaces ns{
      "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
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
  static constexpr std::string_view kBomBytes = "\xEF\xBB\xBF", kCommentOpen = "<!--",
                                    kPiOpen = "<?", kDoctypeOpen = "<!DOCTYPE";
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
      if (IsXmlSpace(c)) return;
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
      if (p == kCommentOpen)
        state_ = kComment;
      else if (p == kPiOpen)
        state_ = kInstruction;
      else if (p == kDoctypeOpen)
        state_ = kFound;
      else if (kCommentOpen.substr(0, p.size()) != p && kPiOpen.substr(0, p.size()) != p &&
               kDoctypeOpen.substr(0, p.size()) != p) {
        state_ = kNone;
      }
      return;
    }
    case kComment:
    case kInstruction: {
      const bool closes =
          c == '>' && (state_ == kComment ? last_[0] == '-' && last_[1] == '-' : last_[1] == '?');
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

void LoadXml(pugi::xml_document& doc, std::string_view bytes, std::string_view file,
             std::string_view part) {
  if (HasDoctype(bytes)) {
    Fail(file, part,
         "the part has a document type declaration (<!DOCTYPE>), which workbook parts never have.");
  }
  const auto result = doc.load_buffer(bytes.data(), bytes.size(),
                                      pugi::parse_default | pugi::parse_ws_pcdata_single);
  if (!result) {
    Fail(file, part,
         std::string("malformed XML at byte ") + std::to_string(result.offset) + ": " +
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
    void write(const void* data, size_t size) override {
      out.append(static_cast<const char*>(data), size);
    }
  } writer;
  node.print(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return writer.out;
}

std::string StandaloneNodeXml(pugi::xml_node node) {
  std::set<std::string> used, declared;
  auto prefix_of = [](std::string_view qname) {
    const size_t colon = qname.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(qname.substr(0, colon));
  };
  auto visit = [&](pugi::xml_node n, auto& self) -> void {
    if (n.type() != pugi::node_element) return;
    used.insert(prefix_of(n.name()));
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view name = a.name();
      if (name.substr(0, 6) == "xmlns:")
        declared.insert(std::string(name.substr(6)));
      else if (name != "xmlns")
        used.insert(prefix_of(name));
    }
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) self(c, self);
  };
  visit(node, visit);
  pugi::xml_document copy;
  pugi::xml_node root = copy.append_copy(node);
  for (const std::string& prefix : used) {
    // The default namespace is the part's own, which every part we write declares.
    if (prefix.empty() || prefix == "xml" || declared.count(prefix)) continue;
    const std::string decl = "xmlns:" + prefix;
    for (pugi::xml_node up = node.parent(); up; up = up.parent()) {
      if (pugi::xml_attribute a = up.attribute(decl.c_str())) {
        root.append_attribute(decl.c_str()).set_value(a.value());
        break;
      }
    }
  }
  return NodeXml(root);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = host::AsciiLower(c);
  return out;
}

}  // namespace tessarin::ooxml
