// The XML of a worksheet's elements other than its cells: what the writer puts before and after
// <sheetData>, and the checks the row writer shares with them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/host/worksheet.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {

// Every element of the part but <sheetData>, in the schema's order: the model's own, written
// from it, and those the model does not hold (`extras`) put back among them.
struct SheetElementsXml {
  std::string before;  // before <sheetData>
  std::string after;   // after </sheetData>
};
SheetElementsXml SheetElements(const host::Worksheet& sheet, const SheetExtras* extras,
                               const WorksheetWriteContext& ctx, const std::string& root_attrs);

// True when a stored cell carries nothing a file needs: no value, formula or visible reading,
// and no format of its own over its row's and column's.
bool IsBareCell(const host::Worksheet& sheet, const host::RowData& rd, int32_t r,
                const host::Cell& c);

// Attributes kept from a file may use namespace prefixes; a prefix the part does not declare
// (a row copied from another workbook) would make the part unreadable, so such attributes go.
std::string DeclaredAttrs(std::string_view attrs, std::string_view root_attrs);

}  // namespace tessarin::ooxml
