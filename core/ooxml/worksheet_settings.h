// The worksheet's small elements, read through a DOM into the sheet and the kept extras. Each
// function reads the element `n` as the file holds it; values out of range keep the model's
// default, and a structural fault (a column range outside the sheet) throws HostError 1004
// naming the file and part.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {

// Attributes of `node` as text, leaving out those named in `skip` (namespace declarations stay).
std::string OtherAttrs(pugi::xml_node node, std::initializer_list<std::string_view> skip);
// An attribute as a number or flag, or `fallback` when it is missing or malformed.
double AttrDouble(pugi::xml_node n, std::string_view name, double fallback);
int64_t AttrInt(pugi::xml_node n, std::string_view name, int64_t fallback);
bool AttrBool(pugi::xml_node n, std::string_view name, bool fallback);

// <sheetFormatPr>: the default row height and column width, and the other attributes kept.
void ReadSheetFormat(pugi::xml_node n, const WorksheetReadContext& ctx, host::Worksheet& sheet,
                     SheetExtras& extras);
// <printOptions>: gridlines, headings and centring.
void ReadPrintOptions(pugi::xml_node n, host::Worksheet& sheet, SheetExtras& extras);
// <pageMargins>, in inches, kept in points.
void ReadPageMargins(pugi::xml_node n, host::Worksheet& sheet);
// <sheetViews>: the first view is modelled, the others kept as they are.
void ReadSheetViews(pugi::xml_node views, host::Worksheet& sheet, SheetExtras& extras);
// <cols>: widths, styles and hidden columns.
void ReadColumns(pugi::xml_node cols, const WorksheetReadContext& ctx, host::Worksheet& sheet);
// <pageSetup>; `fit_to_page` is the sheet's <pageSetUpPr fitToPage>.
void ReadPageSetup(pugi::xml_node n, bool fit_to_page, host::Worksheet& sheet, SheetExtras& extras);

}  // namespace tessarin::ooxml
