// The styles part (xl/styles.xml): number formats, fonts, fills, borders and cell formats.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/host/style.h"
#include "core/host/workbook.h"
#include "core/ooxml/carry.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// An element with its local name and unescaped attributes, as either parser reads it.
struct ElementAttrs {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attrs;  // local names
  std::string_view Get(std::string_view key) const;
};
std::vector<ElementAttrs> ChildElements(pugi::xml_node node);
// Reads the children of the scanner's current element up to its end tag.
std::vector<ElementAttrs> ChildElements(XmlScanner& scanner);

// A font from the children of <font>, <rPr> or a comment run's <rPr>; what is not given keeps
// the value of `base`. What the model does not hold is kept in the font's file extras.
host::Font FontFromElements(const std::vector<ElementAttrs>& children, const host::Font& base);
// Writes the font as <font>...</font>, or as <rPr>...</rPr> for a text run.
void AppendFontXml(std::string& out, const host::Font& font, bool run_properties);
// The host's ColorIndex of a <color> element: indexed colours, the nearest palette entry of an
// rgb colour, automatic for theme and system colours.
int ColorIndexOf(const ElementAttrs& color);

// The host's code of a built-in number format id ("General", "0.00", "yyyy/m/d" ...), or "" for
// an id that has no built-in code.
std::string_view BuiltinNumberFormat(int id);

// Reads the styles part into the workbook's style pool (its font 0 becomes the normal style's
// font) and returns the StyleId of every cell format index. Fills `carry`.
// Throws HostError 1004 naming file and part when the part is malformed.
std::vector<host::StyleId> ReadStyles(std::string_view xml, std::string_view file,
                                      std::string_view part, host::Workbook& workbook,
                                      StylesCarry& carry);

// Writes the styles part. Cell format index i is StyleId i of the workbook's pool. `carry` may
// be null for a workbook that was never read from a package.
std::string WriteStyles(const host::Workbook& workbook, const StylesCarry* carry,
                        const Namespaces& ns);

}  // namespace tessarin::ooxml
