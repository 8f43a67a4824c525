// The text other programs exchange cells as: rows of tab-separated displayed texts, one line
// per row. Without widgets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/host/geometry.h"
#include "core/host/worksheet.h"

namespace tessarin::desktop {

// The displayed text (Range.Text) of the cells of `area` that lie within the used area, each
// row a line ending in "\n", cells separated by tabs.
std::string TabSeparatedText(host::Worksheet& sheet, const host::Area& area);

// Rows of cells from such text: lines end in "\n" or "\r\n", a last line break ends nothing
// more, cells are separated by tabs.
std::vector<std::vector<std::string>> ParseTabSeparated(std::string_view text);

}  // namespace tessarin::desktop
