// <rowBreaks> of a worksheet part: the sheet's manual page breaks between rows.
#pragma once

#include <pugixml.hpp>
#include <string>

#include "core/host/worksheet.h"

namespace tessarin::ooxml {

// Adds the manual breaks of a <rowBreaks> element to `sheet`. A <brk id="N"> breaks after
// 0-based row N, so row N + 1 (1-based) starts a page. Automatic breaks (man absent or 0) are
// the printing program's to recompute and are not kept; malformed ids are skipped.
void ReadRowBreaks(pugi::xml_node row_breaks, host::Worksheet& sheet);

// The <rowBreaks> element for the sheet's breaks, each across every column; "" when it has none.
std::string RowBreaksXml(const host::Worksheet& sheet);

}  // namespace tessarin::ooxml
