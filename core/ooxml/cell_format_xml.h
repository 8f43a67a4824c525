// One cell format of the styles part: its border (<border>), its alignment and the <xf> that ties
// a format to the part's number format, font, fill and border tables.
#pragma once

#include <array>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/host/style.h"

namespace tessarin::ooxml {

using BorderLines = std::array<host::BorderLine, host::kBorderSlots>;

// Writes the border as <border>: the four edges and the diagonal in schema order, each line's
// name from its LineStyle and Weight, its colour as the file gave it while it still holds.
void AppendBorderXml(std::string& out, const BorderLines& borders);
// Reads a <border> element; lines the host cannot show are left unset.
BorderLines ReadBorder(pugi::xml_node border);

// The part's tables a cell format refers to by index.
struct CellFormatTables {
  const std::vector<host::Font>& fonts;
  const std::vector<std::string>& fills;  // <fill> elements as read
  const std::vector<BorderLines>& borders;
  const std::map<int, std::string>& formats;  // custom number formats by id
};
// Reads an <xf> of <cellXfs>; what the model does not hold (fill, protection, other attributes,
// the extension list) goes to the style's file extras.
host::Style ReadCellFormat(pugi::xml_node xf, const CellFormatTables& tables);

// The table indices of a cell format being written.
struct CellFormatIds {
  int num_fmt = 0;
  int font = 0;
  int fill = 0;
  int border = 0;
};
// Writes the style as an <xf> of <cellXfs> with the given indices and its kept extras.
void AppendCellFormatXml(std::string& out, const host::Style& style, const CellFormatIds& ids);

}  // namespace tessarin::ooxml
