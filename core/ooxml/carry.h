// What a read keeps of a package beyond the host model, so that a save writes it back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/ooxml/content_types.h"
#include "core/ooxml/relationships.h"

namespace tessarin::ooxml {

// A top-level element of a part kept verbatim, with its local name for schema ordering.
struct RawElement {
  std::string name;
  std::string xml;
};

// The styles part beyond the model: the file's own font, fill and border tables (kept at their
// indices, since cell style formats, differential formats and phonetic properties refer to them
// by position) and the elements we do not model.
struct StylesCarry {
  std::string root_attrs;                 // attributes of <styleSheet> (namespaces ...)
  std::vector<RawElement> elements;       // cellStyleXfs, cellStyles, dxfs, tableStyles, colors, extLst
  std::vector<std::string> fonts;         // <font> elements as read
  std::vector<std::string> font_keys;     // the same fonts as we would write them from the model
  std::vector<std::string> fills;         // <fill> elements as read
  std::vector<std::string> borders;       // <border> elements as read
  std::vector<std::string> border_keys;
  std::vector<std::pair<int, std::string>> num_fmts;  // custom number formats: id, code
  std::map<std::string, int> format_ids;  // code -> id as the file used it
};

// A chart sheet or dialog sheet: not modelled, kept in its place among the worksheets.
struct OtherSheet {
  std::string name;
  std::string attrs;        // other attributes of its <sheet> element (sheetId, state)
  Relationship rel;         // the workbook's link to its part
  int position = 0;         // index in the file's sheet list
  int after_position = -1;  // file index of the worksheet before it, -1 when first
};

struct DefinedName {
  std::string name;
  std::string attrs;       // other attributes (hidden, comment ...)
  int local_sheet = -1;    // file index of the sheet it belongs to, -1 for the workbook
  std::string formula;
};

}  // namespace tessarin::ooxml

namespace tessarin::host {

struct PackageCarry {
  bool strict = false;
  std::string workbook_part = "xl/workbook.xml";
  std::string workbook_content_type;
  ooxml::ContentTypes content_types;
  std::map<std::string, std::string> parts;  // parts written back byte for byte
  std::string workbook_root_attrs;
  std::vector<ooxml::RawElement> workbook_children;  // unmodelled elements of workbook.xml
  std::string workbook_pr_attrs;                     // <workbookPr> attributes but date1904
  std::string workbook_view_attrs;                   // first <workbookView> but activeTab
  std::string more_workbook_views;                   // further <workbookView> elements
  std::vector<ooxml::Relationship> workbook_rels;    // links kept (theme, VBA, external links ...)
  std::vector<ooxml::OtherSheet> other_sheets;
  std::vector<ooxml::DefinedName> defined_names;     // all but the print areas of worksheets
  int file_sheet_count = 0;
  ooxml::StylesCarry styles;
};

struct SheetCarry {
  int position = -1;          // index in the file's sheet list
  std::string original_name;
  std::string part_name;      // "xl/worksheets/sheet1.xml"
  std::string sheet_attrs;    // other attributes of the workbook's <sheet> element (sheetId ...)
  std::string root_attrs;     // attributes of <worksheet>
  std::vector<ooxml::RawElement> elements;  // unmodelled top-level elements, in file order
  std::vector<ooxml::Relationship> rels;    // links kept (drawings, tables, hyperlinks ...)
  std::string sheet_pr;       // <sheetPr> as read
  bool fit_to_page = false;   // its fitToPage flag as read
  std::string view_attrs;     // first <sheetView>: attributes we do not model
  std::string pane_xml;       // its <pane> and the selections of inactive panes
  std::string active_pane;    // pane the selection belongs to, "" without panes
  std::string more_views;     // further <sheetView> elements
  std::string format_attrs;   // <sheetFormatPr> attributes we do not model
  int base_col_width = 8;
  bool has_default_col_width = false;
  std::string page_setup_attrs;     // <pageSetup> attributes we do not model (r:id, dpi ...)
  std::string print_options_attrs;  // <printOptions> attributes we do not model
  std::string protection_xml;       // <sheetProtection> as read
  std::string comments_root_attrs;  // <comments> namespaces
  std::map<uint64_t, std::string> comment_attrs;  // (row << 16 | col) -> attributes of <comment>
  std::string vml_shapes;      // shapes of the comments drawing that are not notes
  std::vector<ooxml::Relationship> vml_rels;  // links of that drawing (images of its shapes)
  int vml_idmap = 0;
};

}  // namespace tessarin::host
