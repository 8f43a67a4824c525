// The workbook part (xl/workbook.xml): sheet list, active sheet, date system and defined names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/host/workbook.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

struct SheetEntry {
  std::string name;
  std::string rel_id;
  std::string state;  // "", "hidden" or "veryHidden"
  std::string attrs;  // other attributes
  int sheet_id = 0;
};

struct WorkbookInfo {
  std::vector<SheetEntry> sheets;
  std::vector<DefinedName> names;
  int active_tab = 0;   // file position of the active sheet
  int first_sheet = 0;  // file position of the first tab shown
  bool date1904 = false;
  bool strict = false;
};

// Reads the part; what the model does not hold goes to `extras`. Throws HostError 1004 naming
// file and part when it is malformed or lists no sheet.
WorkbookInfo ReadWorkbookPart(std::string_view xml, std::string_view file, std::string_view part,
                              PackageExtras& extras);

struct SheetOut {
  std::string name;
  std::string rel_id;
  int sheet_id = 0;
  std::string state;  // "", "hidden" or "veryHidden"
  std::string attrs;  // other attributes, as read
};

// The window's tabs: positions in the written sheet list.
struct TabView {
  int active_tab = 0;
  int first_sheet = 0;  // the first tab the window shows
};

std::string WriteWorkbookPart(const host::Workbook& workbook, const PackageExtras* extras,
                              const std::vector<SheetOut>& sheets, const TabView& tabs,
                              const std::vector<DefinedName>& names, const Namespaces& ns);

// "Sheet1" or "'My sheet'" as a formula names a sheet.
std::string QuoteSheetName(std::string_view name);
// The print area of a defined name's formula ("'S 1'!$A$1:$C$3,'S 1'!$E$1") as the host keeps it
// ("A1:C3,E1"); "" when it is not a list of areas.
std::string PrintAreaFromFormula(std::string_view formula);
// The formula of a print area for `sheet`.
std::string PrintAreaFormula(std::string_view sheet, std::string_view print_area);
// Rewrites references to sheet `from` in a formula to sheet `to`.
std::string RenameSheetInFormula(std::string_view formula, std::string_view from,
                                 std::string_view to);

}  // namespace tessarin::ooxml
