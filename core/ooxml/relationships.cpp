// Relationship parts: one Relationship element per link from a part to another.
#include "core/ooxml/relationships.h"

#include <pugixml.hpp>

#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

std::vector<Relationship> ReadRelationships(std::string_view xml, std::string_view file,
                                            std::string_view part) {
  pugi::xml_document doc;
  LoadXml(doc, xml, file, part);
  std::vector<Relationship> rels;
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element || LocalName(n.name()) != "Relationship") continue;
    Relationship r;
    r.id = AttrValue(n, "Id");
    r.type = AttrValue(n, "Type");
    r.target = AttrValue(n, "Target");
    r.external = AttrValue(n, "TargetMode") == "External";
    if (r.id.empty() || r.target.empty()) continue;
    rels.push_back(std::move(r));
  }
  return rels;
}

std::string WriteRelationships(const std::vector<Relationship>& rels) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (const Relationship& r : rels) {
    out += "<Relationship";
    AppendAttr(out, "Id", r.id);
    AppendAttr(out, "Type", r.type);
    AppendAttr(out, "Target", r.target);
    if (r.external) AppendAttr(out, "TargetMode", "External");
    out += "/>";
  }
  out += "</Relationships>";
  return out;
}

bool RelTypeIs(std::string_view type, std::string_view name) {
  for (const Namespaces* ns : {&Namespaces::Transitional(), &Namespaces::Strict()}) {
    if (type.size() == ns->rel_type_prefix.size() + name.size() &&
        type.substr(0, ns->rel_type_prefix.size()) == ns->rel_type_prefix &&
        type.substr(ns->rel_type_prefix.size()) == name) {
      return true;
    }
  }
  return false;
}

const Relationship* FindRel(const std::vector<Relationship>& rels, std::string_view name) {
  for (const Relationship& r : rels) {
    if (RelTypeIs(r.type, name)) return &r;
  }
  return nullptr;
}

std::string FreeRelId(const std::vector<Relationship>& rels, int& next) {
  for (;;) {
    std::string id = "rId" + std::to_string(next++);
    bool used = false;
    for (const Relationship& r : rels) used = used || r.id == id;
    if (!used) return id;
  }
}

bool IsMacroProject(const Relationship& r) {
  const std::string_view kType = "/vbaProject";
  return r.type.size() >= kType.size() &&
         r.type.compare(r.type.size() - kType.size(), kType.size(), kType) == 0;
}

}  // namespace tessarin::ooxml
