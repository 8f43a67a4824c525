// The [Content_Types].xml part.
#include "core/ooxml/content_types.h"

#include <pugixml.hpp>

#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {
namespace {

std::string StripSlash(std::string_view s) {
  while (!s.empty() && s.front() == '/') s.remove_prefix(1);
  return std::string(s);
}

}  // namespace

std::string ContentTypes::TypeOf(std::string_view part) const {
  const std::string p = Lower(StripSlash(part));
  for (const auto& [name, type] : overrides) {
    if (Lower(name) == p) return type;
  }
  const size_t dot = p.rfind('.');
  if (dot != std::string::npos) {
    const std::string ext = p.substr(dot + 1);
    for (const auto& [e, type] : defaults) {
      if (e == ext) return type;
    }
  }
  return {};
}

void ContentTypes::SetDefault(std::string_view ext, std::string_view type) {
  const std::string e = Lower(ext);
  for (auto& [k, t] : defaults) {
    if (k == e) {
      t = type;
      return;
    }
  }
  defaults.emplace_back(e, std::string(type));
}

void ContentTypes::SetOverride(std::string_view part, std::string_view type) {
  const std::string p = StripSlash(part);
  for (auto& [k, t] : overrides) {
    if (Lower(k) == Lower(p)) {
      t = type;
      return;
    }
  }
  overrides.emplace_back(p, std::string(type));
}

ContentTypes ReadContentTypes(std::string_view xml, std::string_view file) {
  pugi::xml_document doc;
  LoadXml(doc, xml, file, "[Content_Types].xml");
  ContentTypes types;
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    const std::string_view name = LocalName(n.name());
    if (name == "Default") {
      types.SetDefault(AttrValue(n, "Extension"), AttrValue(n, "ContentType"));
    } else if (name == "Override") {
      types.SetOverride(AttrValue(n, "PartName"), AttrValue(n, "ContentType"));
    }
  }
  return types;
}

std::string WriteContentTypes(const ContentTypes& types) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
  for (const auto& [ext, type] : types.defaults) {
    out += "<Default";
    AppendAttr(out, "Extension", ext);
    AppendAttr(out, "ContentType", type);
    out += "/>";
  }
  for (const auto& [part, type] : types.overrides) {
    out += "<Override";
    AppendAttr(out, "PartName", "/" + part);
    AppendAttr(out, "ContentType", type);
    out += "/>";
  }
  out += "</Types>";
  return out;
}

}  // namespace tessarin::ooxml
