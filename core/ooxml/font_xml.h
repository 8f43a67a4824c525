// Fonts as the styles part, shared strings and comments write them: <font> and a run's <rPr>.
#pragma once

#include <string>
#include <vector>

#include "core/host/style.h"
#include "core/ooxml/xml_children.h"

namespace tessarin::ooxml {

// A font from the children of <font>, <rPr> or a comment run's <rPr>; what is not given keeps
// the value of `base`. What the model does not hold is kept in the font's file extras.
host::Font FontFromElements(const std::vector<ElementAttrs>& children, const host::Font& base);

// Writes the font as <font>...</font>, or as <rPr>...</rPr> for a text run: the model's
// properties in schema order, then the children kept from the file.
void AppendFontXml(std::string& out, const host::Font& font, bool run_properties);

}  // namespace tessarin::ooxml
