// The styles part (xl/styles.xml): the tables of number formats, fonts, fills, borders and cell
// formats. The elements of one format are in font_xml.h and cell_format_xml.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/host/style.h"
#include "core/host/workbook.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// Reads the styles part into the workbook's style pool (its font 0 becomes the normal style's
// font) and returns the StyleId of every cell format index. Fills `extras`.
// Throws HostError 1004 naming file and part when the part is malformed.
std::vector<host::StyleId> ReadStyles(std::string_view xml, std::string_view file,
                                      std::string_view part, host::Workbook& workbook,
                                      StylesExtras& extras);

// Writes the styles part. Cell format index i is StyleId i of the workbook's pool. `extras` may
// be null for a workbook that was never read from a package.
std::string WriteStyles(const host::Workbook& workbook, const StylesExtras* extras,
                        const Namespaces& ns);

}  // namespace tessarin::ooxml
