// JSON views of the host model for the transcript: values, fonts, a sheet dump, the
// application's state, the command bars and the add-in's module state.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "core/host/address.h"
#include "core/host/cell.h"
#include "core/host/sheet_parts.h"
#include "core/host/style.h"

namespace tessarin::host {
class Application;
class Sheet;
}  // namespace tessarin::host
namespace tessarin::workbook {
struct KanjiModule;
}

namespace tessarin::cli {

// A number as JSON: an integer when it is one (12, not 12.0), else the double as it is.
nlohmann::json NumberJson(double value);
// A measure in points or characters, rounded to 6 decimals so that arithmetic noise
// (0.17 * 72 = 12.240000000000002) reads as the value the user set (12.24).
nlohmann::json MeasureJson(double value);
// A cell value: number, string or Boolean; an error value as its text ("#N/A"); null when empty.
nlohmann::json ValueJson(const host::CellValue& value);
// {"name", "size", "bold", "style", "underline", "colorindex"}.
nlohmann::json FontJson(const host::Font& font);
// The host's PageSetup properties by their names, LeftMargin ... PrintArea. Zoom reads false
// while the page is fitted to pages, as the host's does.
nlohmann::json PageSetupJson(const host::PageSetup& setup);

// Writes the payload of a dump of `areas` of `sheet` (see the script runner's "dump" step) as
// one JSON object: every listed cell of the areas, the heights of their first 1,000 rows, the
// widths of their columns, the sheet's comment count, page setup and print area. Cells are
// written as they are read, so a dump of millions of cells needs no more memory than one.
// Reads only; throws nothing of its own.
void WriteDump(std::ostream& out, const host::Sheet& sheet, const host::AreaList& areas);
// The same payload as a JSON value, for small ranges.
nlohmann::json DumpJson(const host::Sheet& sheet, const host::AreaList& areas);

// {"workbooks": [{"name", "path"}], "active_workbook", "sheets", "active_sheet", "selection",
// "active_cell"}: names in order, addresses in A1 style without "$"; nulls (and empty lists)
// when no workbook is open.
nlohmann::json StateJson(host::Application& app);

// {"cell": [CONTROL ...], "shortcuts": {key: macro}} where CONTROL is {"caption", "type"
// ("popup" | "button"), "faceid" (null for a popup), "onaction" (null when none), "begingroup"}
// plus "controls" for a popup.
nlohmann::json CommandBarsJson(host::Application& app);

// The module-wide values of the add-in that scripts check, as strings, numbers and Booleans.
nlohmann::json ModuleJson(const workbook::KanjiModule& module);

}  // namespace tessarin::cli
