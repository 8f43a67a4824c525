// Colours of fonts and border lines: the host's ColorIndex of a <color> element (the nearest
// palette entry of an rgb colour) and the element written back.
#pragma once

#include <string>
#include <string_view>

#include "core/ooxml/xml_children.h"

namespace tessarin::ooxml {

// The host's ColorIndex of a <color> element: indexed colours, the nearest palette entry of an
// rgb colour, automatic for theme and system colours.
int ColorIndexOf(const ElementAttrs& color);

// Reads a <color> element: a palette index goes to the model only (`color_xml` is left as it
// is); any other colour is also kept as the file wrote it, in `color_xml`.
void ReadColor(const ElementAttrs& color, int& color_index, std::string& color_xml);

// Writes a colour: `color_xml` as the file gave it while it still stands for `color_index`, else
// the palette entry as <color indexed>; nothing for automatic.
void AppendColorXml(std::string& out, int color_index, std::string_view color_xml);

}  // namespace tessarin::ooxml
