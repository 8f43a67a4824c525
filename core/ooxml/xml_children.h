// The child elements of an element with their unescaped attributes, read alike from a pugixml
// node or from the scanner: what the font, colour and border readers take.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// An element with its local name and unescaped attributes (local names too); namespace
// declarations are left out.
struct ElementAttrs {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attrs;
  // The attribute's value, "" when the element has none of that name.
  std::string_view Get(std::string_view key) const;
};

std::vector<ElementAttrs> ChildElements(pugi::xml_node node);
// Reads the children of the scanner's current element up to its end tag. Throws HostError 1004
// through the scanner when the document ends first.
std::vector<ElementAttrs> ChildElements(XmlScanner& scanner);

// Appends the element as an empty element with its attributes, escaped.
void AppendElement(std::string& out, const ElementAttrs& element);

}  // namespace tessarin::ooxml
