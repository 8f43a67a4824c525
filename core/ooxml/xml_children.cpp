// Reading child elements into name and attribute lists, from either parser.
#include "core/ooxml/xml_children.h"

namespace tessarin::ooxml {

std::string_view ElementAttrs::Get(std::string_view key) const {
  for (const auto& [k, v] : attrs) {
    if (k == key) return v;
  }
  return {};
}

std::vector<ElementAttrs> ChildElements(pugi::xml_node node) {
  std::vector<ElementAttrs> out;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    ElementAttrs e;
    e.name = LocalName(c.name());
    for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view n = a.name();
      if (n.substr(0, 5) == "xmlns") continue;
      e.attrs.emplace_back(LocalName(n), a.value());
    }
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<ElementAttrs> ChildElements(XmlScanner& sc) {
  std::vector<ElementAttrs> out;
  const int depth = sc.depth();
  for (;;) {
    const auto t = sc.Next();
    if (t == XmlScanner::kEnd && sc.depth() < depth) return out;
    if (t == XmlScanner::kStart && sc.depth() == depth + 1) {
      ElementAttrs e;
      e.name = sc.name();
      for (const auto& a : sc.attrs()) {
        if (a.qname.substr(0, 5) == "xmlns") continue;
        e.attrs.emplace_back(a.name, Unescape(a.raw, &sc));
      }
      out.push_back(std::move(e));
    }
    if (t == XmlScanner::kEof) sc.Error("unexpected end of document");
  }
}

void AppendElement(std::string& out, const ElementAttrs& e) {
  out.push_back('<');
  out.append(e.name);
  for (const auto& [k, v] : e.attrs) AppendAttr(out, k, v);
  out.append("/>");
}

}  // namespace tessarin::ooxml
