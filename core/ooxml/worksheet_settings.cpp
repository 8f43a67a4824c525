// The worksheet's small elements (format, views, columns, margins, page setup), read through a
// DOM: they are a few hundred bytes at most, so clarity wins over a scanner here. The margins and
// page setup are also written here: the reader keeps their written form to know them unchanged.
#include "core/ooxml/worksheet_settings.h"

#include <algorithm>

#include "core/host/workbook.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {

using host::Area;

// Attributes of a pugixml node as text, leaving out `skip`.
std::string OtherAttrs(pugi::xml_node node, std::initializer_list<std::string_view> skip) {
  std::string out;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (std::find(skip.begin(), skip.end(), LocalName(n)) != skip.end() &&
        n.substr(0, 5) != "xmlns")
      continue;
    AppendAttr(out, n, a.value());
  }
  return out;
}

double AttrDouble(pugi::xml_node n, std::string_view name, double fallback) {
  double d;
  return ParseDouble(AttrValue(n, name), d) ? d : fallback;
}

int64_t AttrInt(pugi::xml_node n, std::string_view name, int64_t fallback) {
  int64_t v;
  return ParseInt(AttrValue(n, name), v) ? v : fallback;
}

bool AttrBool(pugi::xml_node n, std::string_view name, bool fallback) {
  return ParseBool(AttrValue(n, name), fallback);
}

namespace {

// Parses "A1:B2 D4" into areas; false when any is malformed.
bool ParseSqref(std::string_view text, std::vector<Area>& areas) {
  areas.clear();
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t j = text.find(' ', i);
    if (j == std::string_view::npos) j = text.size();
    if (j > i) {
      Area a;
      if (!ParseArea(text.substr(i, j - i), a)) return false;
      areas.push_back(a);
    }
    i = j;
  }
  return !areas.empty();
}

}  // namespace

// The default row height and column width, and the other attributes kept for saving.
void ReadSheetFormat(pugi::xml_node n, const WorksheetReadContext& ctx, host::Worksheet& sheet,
                     SheetExtras& extras) {
  const double h = AttrDouble(n, "defaultRowHeight", -1);
  if (h >= 0 && h <= 409.5) sheet.set_default_row_height(h);
  const int64_t base = AttrInt(n, "baseColWidth", 8);
  extras.base_col_width = static_cast<int>(std::clamp<int64_t>(base, 0, 255));
  const double w = AttrDouble(n, "defaultColWidth", -1);
  extras.has_default_col_width = w >= 0 && w <= 255;
  sheet.set_default_column_width(
      extras.has_default_col_width
          ? FileWidthToChars(w, ctx.max_digit_width)
          : DefaultWidthFromBase(extras.base_col_width, ctx.max_digit_width));
  if (extras.has_default_col_width) {
    extras.default_col_width = AttrValue(n, "defaultColWidth");
    extras.default_col_chars = sheet.default_column_width();
  }
  extras.format_attrs = OtherAttrs(n, {"defaultRowHeight", "baseColWidth", "defaultColWidth"});
}

void ReadPrintOptions(pugi::xml_node n, host::Worksheet& sheet, SheetExtras& extras) {
  host::PageSetup& ps = sheet.page_setup();
  ps.print_gridlines = AttrBool(n, "gridLines", false);
  ps.print_headings = AttrBool(n, "headings", false);
  ps.center_horizontally = AttrBool(n, "horizontalCentered", false);
  ps.center_vertically = AttrBool(n, "verticalCentered", false);
  extras.print_options_attrs =
      OtherAttrs(n, {"gridLines", "headings", "horizontalCentered", "verticalCentered"});
}

// Margins in inches, kept in points; a missing or absurd one keeps the default.
void ReadPageMargins(pugi::xml_node n, host::Worksheet& sheet) {
  host::PageSetup& ps = sheet.page_setup();
  auto margin = [&](std::string_view a, double& field) {
    const double inches = AttrDouble(n, a, field / 72);
    if (inches >= 0 && inches < 100) field = inches * 72;
  };
  margin("left", ps.left_margin);
  margin("right", ps.right_margin);
  margin("top", ps.top_margin);
  margin("bottom", ps.bottom_margin);
  margin("header", ps.header_margin);
  margin("footer", ps.footer_margin);
}

void ReadSheetViews(pugi::xml_node views, host::Worksheet& sheet, SheetExtras& extras) {
  bool first = true;
  for (pugi::xml_node v = views.first_child(); v; v = v.next_sibling()) {
    if (v.type() != pugi::node_element) continue;
    if (!first || LocalName(v.name()) != "sheetView") {
      extras.more_views += NodeXml(v);
      continue;
    }
    first = false;
    host::SheetView& view = sheet.view();
    view.display_gridlines = AttrBool(v, "showGridLines", true);
    view.tab_selected = AttrBool(v, "tabSelected", false);
    const int64_t zoom = AttrInt(v, "zoomScale", 100);
    view.zoom = static_cast<int>(zoom >= 10 && zoom <= 400 ? zoom : 100);
    int32_t r, c;
    if (ParseCellRef(AttrValue(v, "topLeftCell"), r, c)) view.top_left = {r, c};
    extras.view_attrs = OtherAttrs(v, {"showGridLines", "tabSelected", "zoomScale", "topLeftCell"});
    pugi::xml_node pane = Child(v, "pane");
    if (pane) {
      extras.active_pane = AttrValue(pane, "activePane", "topLeft");
      extras.pane_xml = NodeXml(pane);
    }
    for (pugi::xml_node s = v.first_child(); s; s = s.next_sibling()) {
      if (LocalName(s.name()) != "selection") continue;
      const std::string_view p = AttrValue(s, "pane", "topLeft");
      if (pane ? p != extras.active_pane : false) {
        extras.pane_xml += NodeXml(s);
        continue;
      }
      std::vector<Area> areas;
      if (ParseSqref(AttrValue(s, "sqref", "A1"), areas)) view.selection = areas;
      if (ParseCellRef(AttrValue(s, "activeCell"), r, c)) {
        view.active_cell = {r, c};
      } else {
        view.active_cell = {view.selection.front().top, view.selection.front().left};
      }
    }
  }
}

void ReadColumns(pugi::xml_node cols, const WorksheetReadContext& ctx, host::Worksheet& sheet) {
  for (pugi::xml_node c = cols.first_child(); c; c = c.next_sibling()) {
    if (LocalName(c.name()) != "col") continue;
    const int64_t min = AttrInt(c, "min", 0), max = AttrInt(c, "max", 0);
    if (min < 1 || max < min || max > host::kMaxColumns) {
      Fail(ctx.file, ctx.part,
           "a column range " + std::to_string(min) + ".." + std::to_string(max) +
               " is outside the sheet.");
    }
    host::ColumnInfo info;
    const double w = AttrDouble(c, "width", -1);
    std::string width_text;
    if (w >= 0 && w <= 255) {
      info.width = FileWidthToChars(w, ctx.max_digit_width);
      width_text = AttrValue(c, "width");
    }
    int64_t s;
    if (ParseInt(AttrValue(c, "style"), s) && s >= 0 &&
        s < static_cast<int64_t>(ctx.xf_styles->size())) {
      info.style = (*ctx.xf_styles)[s];
      info.has_style = true;
    }
    info.hidden = AttrBool(c, "hidden", false);
    info.file_extras =
        MakeColumnExtras(OtherAttrs(c, {"min", "max", "width", "customWidth", "style", "hidden"}),
                         std::move(width_text), info.width);
    for (int64_t k = min; k <= max; ++k) sheet.ObtainColumn(static_cast<int32_t>(k)) = info;
  }
}

void ReadPageSetup(pugi::xml_node n, bool fit_to_page, host::Worksheet& sheet,
                   SheetExtras& extras) {
  host::PageSetup& ps = sheet.page_setup();
  ps.paper_size = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "paperSize", 1), 1, 300));
  const std::string_view orient = AttrValue(n, "orientation");
  ps.orientation = orient == "landscape" ? host::kXlLandscape : host::kXlPortrait;
  const int64_t scale = AttrInt(n, "scale", 100);
  // Fitting counts one page when the file says nothing; otherwise nothing means "not set".
  const int64_t unset = fit_to_page ? 1 : 0;
  ps.fit_wide = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "fitToWidth", unset), 0, 32767));
  ps.fit_tall = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "fitToHeight", unset), 0, 32767));
  ps.zoom = fit_to_page ? 0 : static_cast<int>(scale >= 10 && scale <= 400 ? scale : 100);
  if (AttrBool(n, "useFirstPageNumber", false)) {
    ps.first_page_number =
        static_cast<int>(std::clamp<int64_t>(AttrInt(n, "firstPageNumber", 1), -32768, 32767));
  }
  ps.order =
      AttrValue(n, "pageOrder") == "overThenDown" ? host::kXlOverThenDown : host::kXlDownThenOver;
  ps.black_and_white = AttrBool(n, "blackAndWhite", false);
  ps.draft = AttrBool(n, "draft", false);
  const std::string_view comments = AttrValue(n, "cellComments");
  ps.print_comments = comments == "atEnd"         ? host::kXlPrintSheetEnd
                      : comments == "asDisplayed" ? host::kXlPrintInPlace
                                                  : host::kXlPrintNoComments;
  extras.page_setup_attrs = OtherAttrs(
      n, {"paperSize", "orientation", "scale", "fitToWidth", "fitToHeight", "useFirstPageNumber",
          "firstPageNumber", "pageOrder", "blackAndWhite", "draft", "cellComments"});
}

std::string PageMarginsXml(const host::PageSetup& ps) {
  std::string m = "<pageMargins";
  AppendAttrNumber(m, "left", ps.left_margin / 72);
  AppendAttrNumber(m, "right", ps.right_margin / 72);
  AppendAttrNumber(m, "top", ps.top_margin / 72);
  AppendAttrNumber(m, "bottom", ps.bottom_margin / 72);
  AppendAttrNumber(m, "header", ps.header_margin / 72);
  AppendAttrNumber(m, "footer", ps.footer_margin / 72);
  return m + "/>";
}

std::string PageSetupXml(const host::PageSetup& ps, const SheetExtras* extras) {
  std::string out = "<pageSetup";
  AppendAttr(out, "paperSize", ps.paper_size);
  if (ps.zoom != 0 && ps.zoom != 100) AppendAttr(out, "scale", ps.zoom);
  if (ps.first_page_number != host::kXlAutomatic)
    AppendAttr(out, "firstPageNumber", ps.first_page_number);
  if (ps.fit_wide != (ps.zoom == 0 ? 1 : 0)) AppendAttr(out, "fitToWidth", ps.fit_wide);
  if (ps.fit_tall != (ps.zoom == 0 ? 1 : 0)) AppendAttr(out, "fitToHeight", ps.fit_tall);
  if (ps.order == host::kXlOverThenDown) out += " pageOrder=\"overThenDown\"";
  out += ps.orientation == host::kXlLandscape ? " orientation=\"landscape\""
                                              : " orientation=\"portrait\"";
  if (ps.black_and_white) out += " blackAndWhite=\"1\"";
  if (ps.draft) out += " draft=\"1\"";
  if (ps.print_comments == host::kXlPrintSheetEnd) out += " cellComments=\"atEnd\"";
  if (ps.print_comments == host::kXlPrintInPlace) out += " cellComments=\"asDisplayed\"";
  if (ps.first_page_number != host::kXlAutomatic) out += " useFirstPageNumber=\"1\"";
  if (extras) out += extras->page_setup_attrs;
  out += "/>";
  return out;
}

}  // namespace tessarin::ooxml
