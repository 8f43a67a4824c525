// What a read keeps of a package beyond the host model, hung on the model through its file
// extras, so that a save writes it back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/host/file_extras.h"
#include "core/host/workbook.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/package.h"
#include "core/ooxml/relationships.h"

namespace tessarin::ooxml {

// A piece of a part kept as the file wrote it, for one model record: a font's children the model
// does not use, a border's colour, a row's or column's other attributes, a comment's shape ...
struct XmlExtras final : host::FileExtras {
  explicit XmlExtras(std::string text) : xml(std::move(text)) {}
  bool SameAs(const host::FileExtras& other) const override;
  size_t Hash() const override;
  std::string xml;
};
// Empty for "", so that records without kept content stay plain.
host::FileExtrasRef MakeXmlExtras(std::string xml);
// The kept text, or "" when there is none or it was kept by another reader.
std::string_view XmlExtrasOf(const host::FileExtrasRef& ref);

// What a <col> holds beyond the model: its other attributes, and its width as the file wrote it
// with the characters it was read as, so an unchanged width goes back to the 1/256 it had.
struct ColumnExtras final : host::FileExtras {
  bool SameAs(const host::FileExtras& other) const override;
  size_t Hash() const override;
  std::string attrs;
  std::string width;  // the width attribute's text, "" when it had none
  double chars = -1;  // the model's width read from it
};
// Column extras for these, or empty when there are none.
host::FileExtrasRef MakeColumnExtras(std::string attrs, std::string width, double chars);
// The column extras of a column, or nullptr.
const ColumnExtras* ColumnExtrasOf(const host::FileExtrasRef& ref);

// What a cell format holds beyond the model: its fill, its protection, the other attributes of
// <xf> and of <alignment>, and its extension list.
struct FormatExtras final : host::FileExtras {
  bool SameAs(const host::FileExtras& other) const override;
  size_t Hash() const override;
  bool Empty() const {
    return fill.empty() && protection.empty() && xf_attrs.empty() && alignment_attrs.empty() &&
           ext_list.empty();
  }
  std::string fill;
  std::string protection;
  std::string xf_attrs;
  std::string alignment_attrs;
  std::string ext_list;  // its <extLst> (a cell checkbox's complement ...)
};
// The format extras of a style, or nullptr.
const FormatExtras* FormatExtrasOf(const host::FileExtrasRef& ref);

// A top-level element of a part kept verbatim, with its local name for schema ordering.
struct RawElement {
  std::string name;
  std::string xml;
};

// The styles part beyond the model: the file's own font, fill and border tables (kept at their
// indices, since cell style formats, differential formats and phonetic properties refer to them
// by position) and the elements we do not model.
struct StylesExtras {
  std::string root_attrs;            // attributes of <styleSheet> (namespaces ...)
  std::vector<RawElement> elements;  // cellStyleXfs, cellStyles, dxfs, tableStyles, colors, extLst
  std::vector<std::string> fonts;    // <font> elements as read
  std::vector<std::string> font_keys;  // the same fonts as we would write them from the model
  std::vector<std::string> fills;      // <fill> elements as read
  std::vector<std::string> borders;    // <border> elements as read
  std::vector<std::string> border_keys;
  std::vector<std::pair<int, std::string>> num_fmts;  // custom number formats: id, code
  std::map<std::string, int> format_ids;              // code -> id as the file used it
};

// A chart sheet or dialog sheet: not modelled, kept in its place among the worksheets.
struct OtherSheet {
  std::string name;
  int sheet_id = 0;
  std::string state;        // "", "hidden" or "veryHidden"
  std::string attrs;        // other attributes of its <sheet> element
  Relationship rel;         // the workbook's link to its part
  int position = 0;         // index in the file's sheet list
  int after_position = -1;  // file index of the worksheet before it, -1 when first
};

struct DefinedName {
  std::string name;
  std::string attrs;     // other attributes (hidden, comment ...)
  int local_sheet = -1;  // file index of the sheet it belongs to, -1 for the workbook
  std::string formula;
};

// A big shared string table as read, kept so that a save that adds no item to it can pass it on
// compressed as it came, with only its counts written anew.
struct KeptStrings {
  CompressedPart part;
  std::vector<uint32_t> plain_ids;         // SharedStrings::PlainIds, once every sheet was read
  const host::StringPool* pool = nullptr;  // the pool those ids belong to
};

// What a read keeps of the package beyond the model, hung on the workbook.
struct PackageExtras final : host::FileExtras {
  bool strict = false;
  std::string workbook_part = "xl/workbook.xml";
  std::string workbook_content_type;
  ContentTypes content_types;
  std::map<std::string, CompressedPart> parts;  // parts written back byte for byte, as stored
  std::string workbook_root_attrs;
  std::vector<RawElement> workbook_children;  // unmodelled elements of workbook.xml
  std::string workbook_pr_attrs;              // <workbookPr> attributes but date1904
  std::string workbook_view_attrs;            // first <workbookView> but activeTab
  std::string more_workbook_views;            // further <workbookView> elements
  std::vector<Relationship> workbook_rels;    // links kept (theme, VBA, external links ...)
  std::vector<OtherSheet> other_sheets;
  std::vector<DefinedName> defined_names;  // all but the print areas of worksheets
  int file_sheet_count = 0;
  // The file's active tab when it is a chart or dialog sheet (-1 when it is not), and the
  // worksheet made active in its place: while that one stays active, the other is written so.
  int active_other = -1;
  int active_stand_in = -1;
  int first_sheet = 0;  // file position of the first tab shown
  StylesExtras styles;
  std::shared_ptr<const KeptStrings> shared_strings;  // null when the table is written anew
};

// What a read keeps of one worksheet beyond the model, hung on the sheet.
struct SheetExtras final : host::FileExtras {
  int position = -1;  // index in the file's sheet list
  std::string original_name;
  std::string part_name;             // "xl/worksheets/sheet1.xml"
  int sheet_id = 0;                  // its sheetId in the workbook's list
  std::string sheet_attrs;           // other attributes of the workbook's <sheet> element
  std::string root_attrs;            // attributes of <worksheet>
  std::vector<RawElement> elements;  // unmodelled top-level elements, in file order
  std::vector<Relationship> rels;    // links kept (drawings, tables, hyperlinks ...)
  std::string sheet_pr;              // <sheetPr> as read
  bool fit_to_page = false;          // its fitToPage flag as read
  std::string view_attrs;            // first <sheetView>: attributes we do not model
  std::string pane_xml;              // its <pane> and the selections of inactive panes
  std::string active_pane;           // pane the selection belongs to, "" without panes
  std::string more_views;            // further <sheetView> elements
  std::string format_attrs;          // <sheetFormatPr> attributes we do not model
  int base_col_width = 8;
  bool has_default_col_width = false;
  std::string default_col_width;  // its text as read, written back while the width is unchanged
  double default_col_chars = -1;
  std::string page_setup_attrs;  // <pageSetup> attributes we do not model (r:id, dpi ...)
  // For a sheet read without <pageMargins> or <pageSetup>: the element the model's page setup
  // was then written as; while it still is, the element stays absent. "" when the file had one.
  std::string absent_page_margins;
  std::string absent_page_setup;
  std::string print_options_attrs;                // <printOptions> attributes we do not model
  std::string protection_xml;                     // <sheetProtection> as read
  std::string comments_root_attrs;                // <comments> namespaces
  std::map<uint64_t, std::string> comment_attrs;  // (row << 16 | col) -> attributes of <comment>
  std::string vml_shapes;              // shapes of the comments drawing that are not notes
  std::vector<Relationship> vml_rels;  // links of that drawing (images of its shapes)
  int vml_idmap = 0;
};

// The extras a read of a package hung on the workbook or sheet; nullptr for a workbook or sheet
// made here or read from another format.
const PackageExtras* PackageExtrasOf(const host::Workbook& workbook);
const SheetExtras* SheetExtrasOf(const host::Worksheet& sheet);

}  // namespace tessarin::ooxml
