// The worksheet part. <sheetData> is scanned and written without a DOM, since it holds nearly all
// of a workbook's bytes; the other elements are small and either modelled or kept verbatim.
#include "core/ooxml/worksheet_part.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

#include <pugixml.hpp>

#include "core/host/formula_refs.h"
#include "core/host/host_error.h"
#include "core/host/workbook.h"

namespace tessarin::ooxml {
namespace {

using namespace std::string_view_literals;
using host::Area;
using host::Cell;
using host::RowData;
using host::ValueType;

// Schema order of the worksheet's children.
constexpr std::string_view kSheetOrder[] = {
    "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols", "sheetData", "sheetCalcPr",
    "sheetProtection", "protectedRanges", "scenarios", "autoFilter", "sortState", "dataConsolidate",
    "customSheetViews", "mergeCells", "phoneticPr", "conditionalFormatting", "dataValidations",
    "hyperlinks", "printOptions", "pageMargins", "pageSetup", "headerFooter", "rowBreaks", "colBreaks",
    "customProperties", "cellWatches", "ignoredErrors", "smartTags", "drawing", "legacyDrawing",
    "legacyDrawingHF", "drawingHF", "picture", "oleObjects", "controls", "webPublishItems", "tableParts",
    "extLst"};

int SheetRank(std::string_view name) {
  for (size_t i = 0; i < std::size(kSheetOrder); ++i) {
    if (kSheetOrder[i] == name) return static_cast<int>(i);
  }
  return -1;
}
constexpr int kRankSheetData = 5;

bool IsIdentChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
         c == '$' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}

// Attributes of a pugixml node as text, leaving out `skip`.
std::string OtherAttrs(pugi::xml_node node, std::initializer_list<std::string_view> skip) {
  std::string out;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (std::find(skip.begin(), skip.end(), LocalName(n)) != skip.end() && n.substr(0, 5) != "xmlns") continue;
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

// Attributes kept from a file may use namespace prefixes; a prefix the part does not declare
// (a row copied from another workbook) would make the part unreadable, so such attributes go.
std::string DeclaredAttrs(std::string_view attrs, std::string_view root_attrs) {
  if (attrs.find(':') == std::string_view::npos) return std::string(attrs);
  std::string out;
  size_t i = 0;
  while (i < attrs.size()) {
    const size_t eq = attrs.find('=', i);
    if (eq == std::string_view::npos || eq + 1 >= attrs.size()) break;
    const char quote = attrs[eq + 1];
    const size_t end = attrs.find(quote, eq + 2);
    if (end == std::string_view::npos) break;
    const std::string_view one = attrs.substr(i, end + 1 - i);
    std::string_view name = attrs.substr(i, eq - i);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos || name.substr(0, colon) == "xml" ||
        root_attrs.find(" xmlns:" + std::string(name.substr(0, colon)) + "=") != std::string_view::npos) {
      out.append(one);
    }
    i = end + 1;
  }
  return out;
}

class SheetReader {
 public:
  SheetReader(XmlScanner& sc, const WorksheetReadContext& ctx, host::Worksheet& sheet, host::SheetCarry& carry)
      : ctx_(ctx), sheet_(sheet), carry_(carry), sc_(sc) {}

  void Run() {
    auto tok = sc_.Next();
    while (tok == XmlScanner::kText) tok = sc_.Next();
    if (tok != XmlScanner::kStart || sc_.name() != "worksheet") {
      Fail(ctx_.file, ctx_.part, "the root element is <" + std::string(sc_.qname()) + ">, not <worksheet>.");
    }
    for (const auto& a : sc_.attrs()) {
      if (a.qname == "xmlns" || a.qname == "xmlns:r") continue;
      carry_.root_attrs.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
    }
    // Without <sheetFormatPr> the default width follows from the default font.
    sheet_.set_default_column_width(DefaultWidthFromBase(carry_.base_col_width, ctx_.max_digit_width));
    if (sc_.self_closing()) return;
    for (;;) {
      tok = sc_.Next();
      if (tok == XmlScanner::kEnd && sc_.depth() == 0) break;
      if (tok != XmlScanner::kStart) continue;
      const std::string name(sc_.name());
      const size_t begin = sc_.tag_begin();
      if (name == "sheetData") {
        if (!sc_.self_closing()) ReadSheetData();
        else sc_.Next();
        continue;
      }
      const size_t end = sc_.SkipElement();
      Element(name, sc_.buffer().substr(begin, end - begin));
    }
    while (sc_.Next() != XmlScanner::kEof) {
    }
  }

 private:
  [[noreturn]] void Bad(const std::string& what) { Fail(ctx_.file, ctx_.part, what); }

  pugi::xml_node Parse(pugi::xml_document& doc, std::string_view raw) {
    LoadXml(doc, raw, ctx_.file, ctx_.part);
    return doc.document_element();
  }

  void Element(const std::string& name, std::string_view raw) {
    pugi::xml_document doc;
    if (name == "dimension") return;  // rebuilt from the cells
    if (name == "sheetPr") {
      carry_.sheet_pr = std::string(raw);
      carry_.fit_to_page = AttrBool(Child(Parse(doc, raw), "pageSetUpPr"), "fitToPage", false);
      fit_to_page_ = carry_.fit_to_page;
    } else if (name == "sheetViews") {
      ReadViews(Parse(doc, raw));
    } else if (name == "sheetFormatPr") {
      pugi::xml_node n = Parse(doc, raw);
      double h = AttrDouble(n, "defaultRowHeight", -1);
      if (h >= 0 && h <= 409.5) sheet_.set_default_row_height(h);
      int64_t base = AttrInt(n, "baseColWidth", 8);
      carry_.base_col_width = static_cast<int>(std::clamp<int64_t>(base, 0, 255));
      const double w = AttrDouble(n, "defaultColWidth", -1);
      carry_.has_default_col_width = w >= 0 && w <= 255;
      sheet_.set_default_column_width(carry_.has_default_col_width
                                          ? FileWidthToChars(w, ctx_.max_digit_width)
                                          : DefaultWidthFromBase(carry_.base_col_width, ctx_.max_digit_width));
      carry_.format_attrs = OtherAttrs(n, {"defaultRowHeight", "baseColWidth", "defaultColWidth"});
    } else if (name == "cols") {
      ReadCols(Parse(doc, raw));
    } else if (name == "sheetProtection") {
      carry_.protection_xml = std::string(raw);
      sheet_.set_protected(AttrBool(Parse(doc, raw), "sheet", false));
    } else if (name == "mergeCells") {
      for (pugi::xml_node m = Parse(doc, raw).first_child(); m; m = m.next_sibling()) {
        if (LocalName(m.name()) != "mergeCell") continue;
        Area a;
        if (!ParseArea(AttrValue(m, "ref"), a)) {
          Bad("the merged range \"" + std::string(AttrValue(m, "ref")) + "\" is outside the sheet or malformed.");
        }
        if (a.CellCount() > 1) sheet_.merges().push_back(a);
      }
    } else if (name == "printOptions") {
      pugi::xml_node n = Parse(doc, raw);
      host::PageSetup& ps = sheet_.page_setup();
      ps.print_gridlines = AttrBool(n, "gridLines", false);
      ps.print_headings = AttrBool(n, "headings", false);
      ps.center_horizontally = AttrBool(n, "horizontalCentered", false);
      ps.center_vertically = AttrBool(n, "verticalCentered", false);
      carry_.print_options_attrs = OtherAttrs(n, {"gridLines", "headings", "horizontalCentered", "verticalCentered"});
    } else if (name == "pageMargins") {
      pugi::xml_node n = Parse(doc, raw);
      host::PageSetup& ps = sheet_.page_setup();
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
    } else if (name == "pageSetup") {
      ReadPageSetup(Parse(doc, raw));
    } else if (name == "headerFooter") {
      sheet_.page_setup().header_footer_xml = std::string(raw);
    } else {
      carry_.elements.push_back({name, std::string(raw)});
    }
  }

  void ReadViews(pugi::xml_node views) {
    bool first = true;
    for (pugi::xml_node v = views.first_child(); v; v = v.next_sibling()) {
      if (v.type() != pugi::node_element) continue;
      if (!first || LocalName(v.name()) != "sheetView") {
        carry_.more_views += NodeXml(v);
        continue;
      }
      first = false;
      host::SheetView& view = sheet_.view();
      view.display_gridlines = AttrBool(v, "showGridLines", true);
      view.tab_selected = AttrBool(v, "tabSelected", false);
      const int64_t zoom = AttrInt(v, "zoomScale", 100);
      view.zoom = static_cast<int>(zoom >= 10 && zoom <= 400 ? zoom : 100);
      int32_t r, c;
      if (ParseCellRef(AttrValue(v, "topLeftCell"), r, c)) view.top_left = {r, c};
      carry_.view_attrs = OtherAttrs(v, {"showGridLines", "tabSelected", "zoomScale", "topLeftCell"});
      pugi::xml_node pane = Child(v, "pane");
      if (pane) {
        carry_.active_pane = AttrValue(pane, "activePane", "topLeft");
        carry_.pane_xml = NodeXml(pane);
      }
      for (pugi::xml_node s = v.first_child(); s; s = s.next_sibling()) {
        if (LocalName(s.name()) != "selection") continue;
        const std::string_view p = AttrValue(s, "pane", "topLeft");
        if (pane ? p != carry_.active_pane : false) {
          carry_.pane_xml += NodeXml(s);
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

  void ReadCols(pugi::xml_node cols) {
    for (pugi::xml_node c = cols.first_child(); c; c = c.next_sibling()) {
      if (LocalName(c.name()) != "col") continue;
      const int64_t min = AttrInt(c, "min", 0), max = AttrInt(c, "max", 0);
      if (min < 1 || max < min || max > host::kMaxColumns) {
        Bad("a column range " + std::to_string(min) + ".." + std::to_string(max) + " is outside the sheet.");
      }
      host::ColumnInfo info;
      const double w = AttrDouble(c, "width", -1);
      if (w >= 0 && w <= 255) info.width = FileWidthToChars(w, ctx_.max_digit_width);
      int64_t s;
      if (ParseInt(AttrValue(c, "style"), s) && s >= 0 && s < static_cast<int64_t>(ctx_.xf_styles->size())) {
        info.style = (*ctx_.xf_styles)[s];
        info.has_style = true;
      }
      info.hidden = AttrBool(c, "hidden", false);
      info.extra_attrs = OtherAttrs(c, {"min", "max", "width", "customWidth", "style", "hidden"});
      for (int64_t k = min; k <= max; ++k) sheet_.ObtainColumn(static_cast<int32_t>(k)) = info;
    }
  }

  void ReadPageSetup(pugi::xml_node n) {
    host::PageSetup& ps = sheet_.page_setup();
    ps.paper_size = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "paperSize", 1), 1, 300));
    const std::string_view orient = AttrValue(n, "orientation");
    ps.orientation = orient == "landscape" ? host::kXlLandscape : host::kXlPortrait;
    const int64_t scale = AttrInt(n, "scale", 100);
    // Fitting counts one page when the file says nothing; otherwise nothing means "not set".
    const int64_t unset = fit_to_page_ ? 1 : 0;
    ps.fit_wide = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "fitToWidth", unset), 0, 32767));
    ps.fit_tall = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "fitToHeight", unset), 0, 32767));
    ps.zoom = fit_to_page_ ? 0 : static_cast<int>(scale >= 10 && scale <= 400 ? scale : 100);
    if (AttrBool(n, "useFirstPageNumber", false)) {
      ps.first_page_number = static_cast<int>(std::clamp<int64_t>(AttrInt(n, "firstPageNumber", 1), -32768, 32767));
    }
    ps.order = AttrValue(n, "pageOrder") == "overThenDown" ? host::kXlOverThenDown : host::kXlDownThenOver;
    ps.black_and_white = AttrBool(n, "blackAndWhite", false);
    ps.draft = AttrBool(n, "draft", false);
    const std::string_view comments = AttrValue(n, "cellComments");
    ps.print_comments = comments == "atEnd" ? host::kXlPrintSheetEnd
                        : comments == "asDisplayed" ? host::kXlPrintInPlace
                                                    : host::kXlPrintNoComments;
    carry_.page_setup_attrs = OtherAttrs(n, {"paperSize", "orientation", "scale", "fitToWidth", "fitToHeight",
                                             "useFirstPageNumber", "firstPageNumber", "pageOrder",
                                             "blackAndWhite", "draft", "cellComments"});
  }

  // Text of a simple element (<v>, <f>) just opened: a view into the buffer when it is one run of
  // text without entities, else gathered into `scratch`.
  std::string_view SimpleText(std::string& scratch) {
    const int inside = sc_.depth();
    auto t = sc_.Next();
    if (t == XmlScanner::kEnd && sc_.depth() < inside) return {};
    if (t == XmlScanner::kText && !sc_.text_is_cdata() && sc_.raw_text().find_first_of("&\r") == std::string_view::npos) {
      const std::string_view raw = sc_.raw_text();
      t = sc_.Next();
      if (t == XmlScanner::kEnd && sc_.depth() < inside) return raw;
      scratch.assign(raw);
    } else {
      scratch.clear();
    }
    for (;; t = sc_.Next()) {
      if (t == XmlScanner::kEnd && sc_.depth() < inside) break;
      if (t == XmlScanner::kEof) sc_.Error("unexpected end of document");
      if (t != XmlScanner::kText) continue;
      if (sc_.text_is_cdata()) AppendLiteralText(scratch, sc_.raw_text());
      else AppendUnescaped(scratch, sc_.raw_text(), &sc_);
    }
    return scratch;
  }

  void ReadSheetData() {
    const int data_depth = sc_.depth();  // inside <sheetData>
    int32_t row = 0;
    size_t row_hint = 0;
    host::CellStore& cells = sheet_.cells();
    RowData* rd = nullptr;
    int32_t col = 0;
    std::string scratch_v, scratch_f, text, value_store;
    const auto& sst = *ctx_.shared_strings;
    const auto& xfs = *ctx_.xf_styles;
    host::StringPool& pool = sheet_.strings();
    const host::Font base_font = sheet_.workbook().default_font();
    for (;;) {
      auto tok = sc_.Next();
      if (tok == XmlScanner::kEnd) {
        if (sc_.depth() < data_depth) return;
        // Between rows nothing points into the buffer: let a streamed part drop what was read.
        if (sc_.depth() == data_depth) sc_.Compact();
        continue;
      }
      if (tok != XmlScanner::kStart) continue;
      const int depth = sc_.depth();
      if (depth == data_depth + 1) {
        if (sc_.name() != "row") {
          sc_.SkipElement();
          continue;
        }
        if (rd) row_hint = rd->cells.size();
        int64_t r = row + 1;
        float height = -1;
        bool custom_format = false, hidden = false;
        int64_t style = -1;
        std::string extra;
        for (const auto& a : sc_.attrs()) {
          const std::string_view n = a.name;
          if (n == "r") {
            if (!ParseInt(a.raw, r)) r = -1;
          } else if (n == "ht") {
            double h;
            if (ParseDouble(a.raw, h) && h >= 0 && h <= 409.5) height = static_cast<float>(h);
          } else if (n == "hidden") {
            hidden = ParseBool(a.raw, false);
          } else if (n == "s") {
            if (!ParseInt(a.raw, style)) style = -1;
          } else if (n == "customFormat") {
            custom_format = ParseBool(a.raw, false);
          } else if (n == "spans" || n == "customHeight") {
          } else {
            extra.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
          }
        }
        if (r < 1 || r > host::kMaxRows) Bad("row number " + std::to_string(r) + " is outside the sheet.");
        row = static_cast<int32_t>(r);
        col = 0;
        rd = &cells.ObtainRow(row);
        if (rd->cells.empty() && row_hint > 0) rd->cells.reserve(row_hint);
        if (height >= 0) rd->height = height;
        rd->hidden = rd->hidden || hidden;
        if (custom_format && style >= 0 && style < static_cast<int64_t>(xfs.size())) {
          rd->style = xfs[style];
          rd->has_style = true;
        }
        if (!extra.empty()) rd->extra_attrs = std::move(extra);
        continue;
      }
      if (depth != data_depth + 2 || sc_.name() != "c" || !rd) {
        sc_.SkipElement();
        continue;
      }
      // A cell.
      int32_t crow = row, ccol = col + 1;
      host::StyleId style = host::kDefaultStyle;
      char type = 'n';  // n s str(r) inlineStr(i) b e d
      bool ph = false;
      for (const auto& a : sc_.attrs()) {
        if (a.name == "r") {
          if (!ParseCellRef(a.raw, crow, ccol)) {
            Bad("the cell reference \"" + std::string(a.raw) + "\" is outside the sheet or malformed.");
          }
        } else if (a.name == "s") {
          int64_t s;
          if (ParseInt(a.raw, s) && s > 0 && s < static_cast<int64_t>(xfs.size())) style = xfs[s];
        } else if (a.name == "t") {
          const std::string_view t = a.raw;
          type = t == "s" ? 's' : t == "str" ? 'r' : t == "inlineStr" ? 'i' : t == "b" ? 'b' : t == "e" ? 'e' : t == "d" ? 'd' : 'n';
        } else if (a.name == "ph") {
          ph = ParseBool(a.raw, false);
        }
      }
      if (ccol > host::kMaxColumns) Bad("a cell of row " + std::to_string(row) + " lies beyond the last column.");
      col = ccol;
      std::string_view value;
      bool has_value = false, has_formula = false, has_inline = false;
      std::string formula, formula_attrs;
      std::string_view shared_si;
      bool shared_master = false;
      RichText rich;
      std::string_view simple;
      if (!sc_.self_closing() && sc_.TrySimpleChild("v", simple)) {
        // The common <c ...><v>text</v></c>, read in one step.
        value_store.assign(simple);
        value = value_store;
        has_value = true;
      } else if (!sc_.self_closing()) {
        for (;;) {
          tok = sc_.Next();
          if (tok == XmlScanner::kEnd && sc_.depth() <= data_depth + 1) break;
          if (tok != XmlScanner::kStart) continue;
          const std::string_view n = sc_.name();
          if (n == "v") {
            value_store.assign(SimpleText(scratch_v));
            value = value_store;
            has_value = true;
          } else if (n == "f") {
            has_formula = true;
            std::string ft;
            std::string ref;
            std::string si;
            for (const auto& a : sc_.attrs()) {
              if (a.name == "t") ft = std::string(a.raw);
              else if (a.name == "si") si = std::string(a.raw);
              else if (a.name == "ref") ref = std::string(a.raw);
              else formula_attrs.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
            }
            const bool shared = ft == "shared";
            if (!shared && !ft.empty() && ft != "normal") {
              formula_attrs = " t=\"" + ft + "\"" + (ref.empty() ? "" : " ref=\"" + ref + "\"") + formula_attrs;
            } else if (!shared && !ref.empty()) {
              formula_attrs = " ref=\"" + ref + "\"" + formula_attrs;
            }
            formula = std::string(SimpleText(scratch_f));
            if (shared) {
              shared_si_store_ = si;
              shared_si = shared_si_store_;
              shared_master = !formula.empty();
              // Kept so the save can write the group as shared again while it is intact.
              formula_attrs = " t=\"shared\"" + (shared_master && !ref.empty() ? " ref=\"" + ref + "\"" : std::string()) +
                              " si=\"" + si + "\"" + formula_attrs;
            }
          } else if (n == "is") {
            has_inline = true;
            ReadStringItem(sc_, text, rich, base_font);
          } else {
            sc_.SkipElement();
          }
        }
      } else {
        sc_.Next();
      }
      if (ctx_.cell_budget) {
        if (*ctx_.cell_budget == 0) Bad("the workbook holds more cells than can be opened.");
        --*ctx_.cell_budget;
      }
      RowData& target = crow == row ? *rd : cells.ObtainRow(crow);
      Cell* cell;
      if (target.cells.empty() || target.cells.back().col < ccol) {
        cell = &target.cells.emplace_back();
        cell->col = static_cast<uint16_t>(ccol);
      } else {
        cell = &cells.Obtain(crow, ccol, style);
      }
      cell->style = style;
      const RichText* rich_src = nullptr;
      if (type == 's') {
        if (has_value) {
          int64_t idx;
          if (!ParseInt(value, idx) || idx < 0 || idx >= static_cast<int64_t>(sst.ids.size())) {
            Bad("cell " + CellRefText(crow, ccol) + " refers to shared string " + std::string(value) +
                ", but the table has " + std::to_string(sst.ids.size()) + ".");
          }
          cell->type = ValueType::kText;
          cell->v.text = sst.ids[idx];
          if (!sst.rich.empty()) {
            auto it = sst.rich.find(static_cast<uint32_t>(idx));
            if (it != sst.rich.end()) rich_src = &it->second;
          }
        }
      } else if (type == 'i' || (has_inline && !has_value)) {
        if (has_inline) {
          cell->type = ValueType::kText;
          cell->v.text = pool.Intern(text);
          if (!rich.runs.empty() || rich.phonetic) rich_src = &rich;
        } else if (has_value) {
          cell->type = ValueType::kText;
          cell->v.text = pool.Intern(value);
        }
      } else if (type == 'r') {
        if (has_value) {
          cell->type = ValueType::kText;
          cell->v.text = pool.Intern(DecodeXmlEscapes(value));
        }
      } else if (type == 'b') {
        if (has_value) {
          cell->type = ValueType::kBoolean;
          cell->v.boolean = value == "1" || value == "true" || value == "TRUE";
        }
      } else if (type == 'e') {
        if (has_value) {
          cell->type = ValueType::kError;
          cell->v.error = host::ParseCellError(value).value_or(host::CellError::kNA);
        }
      } else if (type == 'd') {
        double serial;
        if (has_value && IsoDateToSerial(value, ctx_.date1904, serial)) {
          cell->type = ValueType::kNumber;
          cell->v.number = serial;
        }
      } else if (has_value) {
        double d;
        if (ParseDouble(value, d)) {
          cell->type = ValueType::kNumber;
          cell->v.number = d;
        }
      }
      if (has_formula) {
        if (!shared_si.empty()) {
          if (shared_master) {
            shared_[std::string(shared_si)] = {formula, crow, ccol};
          } else if (auto it = shared_.find(std::string(shared_si)); it != shared_.end()) {
            formula = ShiftFormula(it->second.text, crow - it->second.row, ccol - it->second.col);
          }
        }
      }
      if (rich_src || ph || (has_formula && (!formula.empty() || !formula_attrs.empty()))) {
        host::CellExtra& extra = sheet_.ObtainExtra(crow, ccol);
        if (rich_src) {
          extra.runs = rich_src->runs;
          extra.phonetic = rich_src->phonetic;
        }
        if (ph) {
          if (!extra.phonetic) extra.phonetic.emplace();
          extra.phonetic->visible = true;
        }
        if (has_formula) {
          extra.formula = std::move(formula);
          extra.formula_xml_attrs = std::move(formula_attrs);
        }
      }
    }
  }

  struct SharedFormula {
    std::string text;
    int32_t row, col;
  };

  const WorksheetReadContext& ctx_;
  host::Worksheet& sheet_;
  host::SheetCarry& carry_;
  XmlScanner& sc_;
  bool fit_to_page_ = false;
  std::map<std::string, SharedFormula> shared_;
  std::string shared_si_store_;
};

// ---------------------------------------------------------------------------------------------
// Writing

void AppendCellValue(std::string& out, double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    AppendInt(out, static_cast<int64_t>(v));
  } else {
    AppendNumber(out, v);
  }
}

std::string SqrefText(const std::vector<Area>& areas) {
  std::string s;
  for (const Area& a : areas) {
    if (!s.empty()) s.push_back(' ');
    s += AreaText(a);
  }
  return s;
}

std::string ViewsXml(const host::Worksheet& sheet, const host::SheetCarry* carry, bool active) {
  const host::SheetView& v = sheet.view();
  std::string out = "<sheetViews><sheetView";
  if (!v.display_gridlines) out += " showGridLines=\"0\"";
  if (active) out += " tabSelected=\"1\"";
  if (v.zoom != 100 && v.zoom >= 10 && v.zoom <= 400) AppendAttr(out, "zoomScale", v.zoom);
  if (!(v.top_left == host::CellRef{1, 1})) AppendAttr(out, "topLeftCell", CellRefText(v.top_left.row, v.top_left.col));
  std::string view_attrs = carry ? carry->view_attrs : std::string();
  if (view_attrs.find("workbookViewId=") == std::string::npos) view_attrs += " workbookViewId=\"0\"";
  out += view_attrs;
  out += ">";
  if (carry) out += carry->pane_xml;
  out += "<selection";
  if (carry && !carry->active_pane.empty()) AppendAttr(out, "pane", carry->active_pane);
  AppendAttr(out, "activeCell", CellRefText(v.active_cell.row, v.active_cell.col));
  for (size_t i = 0; i < v.selection.size(); ++i) {
    if (i > 0 && v.selection[i].Contains(v.active_cell.row, v.active_cell.col) &&
        !v.selection[0].Contains(v.active_cell.row, v.active_cell.col)) {
      AppendAttr(out, "activeCellId", static_cast<int64_t>(i));
      break;
    }
  }
  AppendAttr(out, "sqref", v.selection.empty() ? CellRefText(v.active_cell.row, v.active_cell.col) : SqrefText(v.selection));
  out += "/></sheetView>";
  if (carry) out += carry->more_views;
  out += "</sheetViews>";
  return out;
}

std::string SheetPrXml(const host::SheetCarry* carry, bool fit) {
  if (carry && !carry->sheet_pr.empty()) {
    if (carry->fit_to_page == fit) return carry->sheet_pr;
    pugi::xml_document doc;
    if (doc.load_buffer(carry->sheet_pr.data(), carry->sheet_pr.size())) {
      pugi::xml_node root = doc.document_element();
      pugi::xml_node p = Child(root, "pageSetUpPr");
      if (!p) {
        std::string qname = "pageSetUpPr";
        const std::string_view rn = root.name();
        if (rn.find(':') != std::string_view::npos) qname = std::string(rn.substr(0, rn.find(':') + 1)) + qname;
        p = root.append_child(qname.c_str());
      }
      pugi::xml_attribute a = Attr(p, "fitToPage");
      if (!a) a = p.append_attribute("fitToPage");
      a.set_value(fit ? "1" : "0");
      return NodeXml(root);
    }
  }
  return fit ? "<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>" : "";
}

std::string ColsXml(const host::Worksheet& sheet, int mdw, std::string_view root_attrs) {
  std::string out;
  const int32_t n = sheet.MaxColumnInfo();
  int32_t c = 1;
  while (c <= n) {
    const host::ColumnInfo* ci = sheet.Column(c);
    if (!ci || ci->Empty()) {
      ++c;
      continue;
    }
    int32_t e = c;
    while (e + 1 <= n && *sheet.Column(e + 1) == *ci) ++e;
    out += "<col";
    AppendAttr(out, "min", c);
    AppendAttr(out, "max", e);
    const double chars = ci->width >= 0 ? ci->width : sheet.default_column_width();
    AppendAttrNumber(out, "width", std::min(255.0, CharsToFileWidth(chars, mdw)));
    if (ci->has_style) AppendAttr(out, "style", static_cast<int64_t>(ci->style));
    if (ci->hidden) out += " hidden=\"1\"";
    if (ci->width >= 0) out += " customWidth=\"1\"";
    out += DeclaredAttrs(ci->extra_attrs, root_attrs);
    out += "/>";
    c = e + 1;
  }
  return out.empty() ? out : "<cols>" + out + "</cols>";
}

std::string PageSetupXml(const host::PageSetup& ps, const host::SheetCarry* carry) {
  std::string out = "<pageSetup";
  AppendAttr(out, "paperSize", ps.paper_size);
  if (ps.zoom != 0 && ps.zoom != 100) AppendAttr(out, "scale", ps.zoom);
  if (ps.first_page_number != host::kXlAutomatic) AppendAttr(out, "firstPageNumber", ps.first_page_number);
  if (ps.fit_wide != (ps.zoom == 0 ? 1 : 0)) AppendAttr(out, "fitToWidth", ps.fit_wide);
  if (ps.fit_tall != (ps.zoom == 0 ? 1 : 0)) AppendAttr(out, "fitToHeight", ps.fit_tall);
  if (ps.order == host::kXlOverThenDown) out += " pageOrder=\"overThenDown\"";
  out += ps.orientation == host::kXlLandscape ? " orientation=\"landscape\"" : " orientation=\"portrait\"";
  if (ps.black_and_white) out += " blackAndWhite=\"1\"";
  if (ps.draft) out += " draft=\"1\"";
  if (ps.print_comments == host::kXlPrintSheetEnd) out += " cellComments=\"atEnd\"";
  if (ps.print_comments == host::kXlPrintInPlace) out += " cellComments=\"asDisplayed\"";
  if (ps.first_page_number != host::kXlAutomatic) out += " useFirstPageNumber=\"1\"";
  if (carry) out += carry->page_setup_attrs;
  out += "/>";
  return out;
}

// True when a stored cell carries nothing a file needs: no value, formula or visible reading,
// and no format of its own over its row's and column's.
bool IsBareCell(const host::Worksheet& sheet, const RowData& rd, int32_t r, const Cell& c) {
  if (c.type != ValueType::kEmpty || c.style != host::kDefaultStyle) return false;
  if (rd.has_style) return false;
  if (const host::ColumnInfo* ci = sheet.Column(c.col); ci && ci->has_style) return false;
  if (c.has_extra()) {
    const host::CellExtra* e = sheet.Extra(r, c.col);
    if (e && (!e->formula.empty() || (e->phonetic && e->phonetic->visible))) return false;
  }
  return true;
}

// The area of the cells the file will hold.
Area WrittenArea(const host::Worksheet& sheet) {
  Area a{host::kMaxRows + 1, host::kMaxColumns + 1, 0, 0};
  sheet.cells().ForEachRow(1, host::kMaxRows, [&](int32_t r, const RowData& rd) {
    for (const Cell& c : rd.cells) {
      if (IsBareCell(sheet, rd, r, c)) continue;
      a.top = std::min(a.top, r);
      a.bottom = std::max(a.bottom, r);
      a.left = std::min<int32_t>(a.left, c.col);
      a.right = std::max<int32_t>(a.right, c.col);
    }
  });
  return a.bottom == 0 ? Area::Cell(1, 1) : a;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::string ShiftFormula(std::string_view f, int32_t dr, int32_t dc) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {  // a string or a quoted sheet name
      const size_t j = host::QuotedEnd(f, i);
      out.append(f.substr(i, j - i));
      i = j;
    } else if (c == '[') {
      int depth = 0;
      size_t j = i;
      for (; j < f.size(); ++j) {
        if (f[j] == '[') ++depth;
        else if (f[j] == ']' && --depth == 0) break;
      }
      out.append(f.substr(i, std::min(j + 1, f.size()) - i));
      i = j + 1;
    } else if ((c >= '0' && c <= '9') || (c == '.' && i + 1 < f.size() && f[i + 1] >= '0' && f[i + 1] <= '9')) {
      size_t j = i;
      while (j < f.size() && ((f[j] >= '0' && f[j] <= '9') || f[j] == '.')) ++j;
      if (j < f.size() && (f[j] == 'E' || f[j] == 'e')) {
        size_t k = j + 1;
        if (k < f.size() && (f[k] == '+' || f[k] == '-')) ++k;
        if (k < f.size() && f[k] >= '0' && f[k] <= '9') {
          j = k;
          while (j < f.size() && f[j] >= '0' && f[j] <= '9') ++j;
        }
      }
      out.append(f.substr(i, j - i));
      i = j;
    } else if (IsIdentChar(c)) {
      size_t j = i;
      while (j < f.size() && IsIdentChar(f[j])) ++j;
      const std::string_view tok = f.substr(i, j - i);
      const char next = j < f.size() ? f[j] : '\0';
      // A cell reference: [$]letters[$]digits, not a function name or a sheet name.
      size_t k = 0;
      const bool abs_col = k < tok.size() && tok[k] == '$';
      if (abs_col) ++k;
      const size_t letters_begin = k;
      int64_t col = 0;
      while (k < tok.size() && k - letters_begin < 4 && ((tok[k] >= 'A' && tok[k] <= 'Z') || (tok[k] >= 'a' && tok[k] <= 'z'))) {
        col = col * 26 + ((tok[k] & ~0x20) - 'A' + 1);
        ++k;
      }
      const size_t letters = k - letters_begin;
      const bool abs_row = k < tok.size() && tok[k] == '$';
      if (abs_row) ++k;
      const size_t digits_begin = k;
      int64_t row = 0;
      while (k < tok.size() && tok[k] >= '0' && tok[k] <= '9' && k - digits_begin < 8) row = row * 10 + (tok[k++] - '0');
      const bool is_ref = letters >= 1 && letters <= 3 && k > digits_begin && k == tok.size() && next != '(' &&
                          next != '!' && host::IsValidCell(row, col);
      if (!is_ref) {
        out.append(tok);
      } else {
        if (!abs_col) col += dc;
        if (!abs_row) row += dr;
        if (!host::IsValidCell(row, col)) {
          out.append("#REF!");
        } else {
          if (abs_col) out.push_back('$');
          AppendColumnName(out, static_cast<int32_t>(col));
          if (abs_row) out.push_back('$');
          AppendInt(out, row);
        }
      }
      i = j;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

bool IsoDateToSerial(std::string_view s, bool date1904, double& serial) {
  auto num = [&](size_t pos, size_t len, int& v) {
    if (pos + len > s.size()) return false;
    v = 0;
    for (size_t i = pos; i < pos + len; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    return true;
  };
  int y, m, d, hh = 0, mm = 0;
  double ss = 0;
  // A time of day "hh:mm[:ss[.fff]]", alone or after "T".
  auto time_at = [&](size_t p) {
    if (!num(p, 2, hh) || s.size() < p + 5 || s[p + 2] != ':' || !num(p + 3, 2, mm)) return false;
    if (s.size() > p + 5 && s[p + 5] == ':') {
      size_t e = p + 6;
      while (e < s.size() && ((s[e] >= '0' && s[e] <= '9') || s[e] == '.')) ++e;
      if (!ParseDouble(s.substr(p + 6, e - p - 6), ss)) return false;
    }
    return hh < 24 && mm < 60 && ss < 61;
  };
  if (s.size() >= 5 && s[2] == ':') {
    if (!time_at(0)) return false;
    serial = (hh * 3600 + mm * 60 + ss) / 86400.0;
    return true;
  }
  if (!num(0, 4, y) || s.size() < 10 || s[4] != '-' || !num(5, 2, m) || s[7] != '-' || !num(8, 2, d)) return false;
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  if (s.size() > 10) {
    if (s[10] != 'T' && s[10] != ' ') return false;
    if (!time_at(11)) return false;
  }
  auto days = [](int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  double day = date1904 ? static_cast<double>(days(y, m, d) - days(1904, 1, 1))
                        : static_cast<double>(days(y, m, d) - days(1899, 12, 30));
  // The 1900 system counts a 29 February 1900 that never was.
  if (!date1904 && day < 61) day -= 1;
  serial = day + (hh * 3600 + mm * 60 + ss) / 86400.0;
  return true;
}

void ReadWorksheet(std::string_view xml, const WorksheetReadContext& context, host::Worksheet& sheet,
                   host::SheetCarry& carry) {
  XmlScanner sc(xml, context.file, context.part);
  SheetReader(sc, context, sheet, carry).Run();
}

void ReadWorksheet(XmlScanner::Source source, const WorksheetReadContext& context, host::Worksheet& sheet,
                   host::SheetCarry& carry) {
  XmlScanner sc(std::move(source), context.file, context.part);
  SheetReader(sc, context, sheet, carry).Run();
}

namespace {

// Output of the row writer: the text itself, or only its length for the sizing pass.
struct TextSink {
  std::string& out;
  void Put(std::string_view v) { out.append(v); }
  void Put(char c) { out.push_back(c); }
  template <typename F>
  void With(F&& f) { f(out); }
};

struct CountSink {
  uint64_t bytes = 0;
  std::string scratch;
  void Put(std::string_view v) { bytes += v.size(); }
  void Put(char) { ++bytes; }
  template <typename F>
  void With(F&& f) {
    scratch.clear();
    f(scratch);
    bytes += scratch.size();
  }
};

}  // namespace

WorksheetWriter::WorksheetWriter(const host::Worksheet& sheet, const host::SheetCarry* carry,
                                 SharedStringsWriter& strings, const WorksheetWriteContext& ctx)
    : sheet_(sheet), strings_(strings) {
  const host::PageSetup& ps = sheet.page_setup();
  std::vector<std::pair<int, std::string>> parts;
  parts.emplace_back(0, SheetPrXml(carry, ps.zoom == 0));
  parts.emplace_back(1, "<dimension ref=\"" + AreaText(WrittenArea(sheet)) + "\"/>");
  parts.emplace_back(2, ViewsXml(sheet, carry, ctx.active));
  {
    std::string f = "<sheetFormatPr";
    const int base = carry ? carry->base_col_width : 8;
    if (base != 8) AppendAttr(f, "baseColWidth", base);
    const double derived = DefaultWidthFromBase(base, ctx.max_digit_width);
    if ((carry && carry->has_default_col_width) || std::fabs(derived - sheet.default_column_width()) > 0.005) {
      AppendAttrNumber(f, "defaultColWidth", CharsToFileWidth(sheet.default_column_width(), ctx.max_digit_width));
    }
    AppendAttrNumber(f, "defaultRowHeight", sheet.default_row_height());
    if (carry) f += carry->format_attrs;
    parts.emplace_back(3, f + "/>");
  }
  root_attrs_ = carry ? carry->root_attrs : std::string();
  parts.emplace_back(4, ColsXml(sheet, ctx.max_digit_width, root_attrs_));
  if (sheet.is_protected()) {
    parts.emplace_back(7, carry && !carry->protection_xml.empty() ? carry->protection_xml
                                                                   : "<sheetProtection sheet=\"1\" objects=\"1\" scenarios=\"1\"/>");
  }
  {
    // Overlapping or one-cell merges make the host repair the file: keep the first of any overlap.
    std::vector<Area> merges;
    for (const Area& a : sheet.merges()) {
      if (a.CellCount() < 2) continue;
      if (std::none_of(merges.begin(), merges.end(), [&](const Area& b) { return a.Intersects(b); })) merges.push_back(a);
    }
    if (!merges.empty()) {
      std::string m = "<mergeCells count=\"" + std::to_string(merges.size()) + "\">";
      for (const Area& a : merges) m += "<mergeCell ref=\"" + AreaText(a) + "\"/>";
      parts.emplace_back(14, m + "</mergeCells>");
    }
  }
  {
    std::string p;
    if (ps.print_headings) p += " headings=\"1\"";
    if (ps.print_gridlines) p += " gridLines=\"1\"";
    if (ps.center_horizontally) p += " horizontalCentered=\"1\"";
    if (ps.center_vertically) p += " verticalCentered=\"1\"";
    if (carry) p += carry->print_options_attrs;
    if (!p.empty()) parts.emplace_back(19, "<printOptions" + p + "/>");
  }
  {
    std::string m = "<pageMargins";
    AppendAttrNumber(m, "left", ps.left_margin / 72);
    AppendAttrNumber(m, "right", ps.right_margin / 72);
    AppendAttrNumber(m, "top", ps.top_margin / 72);
    AppendAttrNumber(m, "bottom", ps.bottom_margin / 72);
    AppendAttrNumber(m, "header", ps.header_margin / 72);
    AppendAttrNumber(m, "footer", ps.footer_margin / 72);
    parts.emplace_back(20, m + "/>");
  }
  parts.emplace_back(21, PageSetupXml(ps, carry));
  if (!ps.header_footer_xml.empty()) parts.emplace_back(22, ps.header_footer_xml);
  if (!ctx.legacy_drawing_id.empty()) parts.emplace_back(30, "<legacyDrawing r:id=\"" + ctx.legacy_drawing_id + "\"/>");
  if (carry) {
    int last = 0;
    for (const RawElement& e : carry->elements) {
      int rank = SheetRank(e.name);
      if (rank < 0) rank = last;
      last = rank;
      // Elements we write ourselves are never doubled.
      if (rank == 30 && !ctx.legacy_drawing_id.empty()) continue;
      parts.emplace_back(rank, e.xml);
    }
  }
  std::stable_sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  head_ = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet";
  AppendAttr(head_, "xmlns", ctx.ns->main);
  AppendAttr(head_, "xmlns:r", ctx.ns->relationships);
  if (carry) head_ += carry->root_attrs;
  head_ += ">";
  size_t k = 0;
  for (; k < parts.size() && parts[k].first < kRankSheetData; ++k) head_ += parts[k].second;
  head_ += "<sheetData>";
  tail_ = "</sheetData>";
  for (; k < parts.size(); ++k) tail_ += parts[k].second;
  tail_ += "</worksheet>";

  sheet.cells().ForEachRow(1, host::kMaxRows, [&](int32_t r, const RowData& rd) { rows_.push_back({r, &rd}); });
  // The sizing pass: also fixes every string's index in the shared table.
  CountSink count;
  for (const auto& [r, rd] : rows_) WriteRow(count, r, *rd, true);
  shared_groups_.clear();
  size_ = head_.size() + count.bytes + tail_.size();
}

template <typename Sink>
void WorksheetWriter::WriteRow(Sink& k, int32_t r, const RowData& rd, bool sizing) {
  const host::StringPool& pool = const_cast<host::Worksheet&>(sheet_).strings();
  char row_digits[12];
  const auto row_end = std::to_chars(row_digits, row_digits + sizeof row_digits, r).ptr;
  const std::string_view row_text(row_digits, row_end - row_digits);
  // Which cells go out, decided first so that an empty row can be left out or closed at once.
  bool any = false;
  for (const Cell& c : rd.cells) {
    if (!(c.type == ValueType::kEmpty && c.style == host::kDefaultStyle && IsBareCell(sheet_, rd, r, c))) {
      any = true;
      break;
    }
  }
  const bool attrs = rd.has_style || rd.height >= 0 || rd.hidden || !rd.extra_attrs.empty();
  if (!any && !attrs) return;
  k.Put("<row r=\""sv);
  k.Put(row_text);
  k.Put('"');
  if (rd.has_style) {
    k.Put(" s=\""sv);
    k.With([&](std::string& o) { AppendInt(o, rd.style); });
    k.Put("\" customFormat=\"1\""sv);
  }
  if (rd.height >= 0) {
    k.Put(" ht=\""sv);
    k.With([&](std::string& o) { AppendNumber(o, std::min(rd.height, 409.5f)); });
    k.Put("\" customHeight=\"1\""sv);
  }
  if (rd.hidden) k.Put(" hidden=\"1\""sv);
  if (!rd.extra_attrs.empty()) {
    // Rows of a sheet mostly share their extra attributes: check each text once.
    if (rd.extra_attrs != checked_attrs_) {
      checked_attrs_ = rd.extra_attrs;
      declared_attrs_ = DeclaredAttrs(rd.extra_attrs, root_attrs_);
    }
    k.Put(declared_attrs_);
  }
  if (!any) {
    k.Put("/>"sv);
    return;
  }
  k.Put('>');
  for (const Cell& c : rd.cells) {
    if (c.type == ValueType::kEmpty && c.style == host::kDefaultStyle && IsBareCell(sheet_, rd, r, c)) continue;
    const host::CellExtra* extra = c.has_extra() ? sheet_.Extra(r, c.col) : nullptr;
    const bool has_formula = extra && !extra->formula.empty();
    k.Put("<c r=\""sv);
    if (c.col >= column_names_.size()) {
      const size_t old = column_names_.size();
      column_names_.resize(c.col + 1);
      for (size_t n = std::max<size_t>(old, 1); n < column_names_.size(); ++n) column_names_[n] = ColumnName(static_cast<int32_t>(n));
    }
    k.Put(column_names_[c.col]);
    k.Put(row_text);
    k.Put('"');
    if (c.style != host::kDefaultStyle) {
      k.Put(" s=\""sv);
      k.With([&](std::string& o) { AppendInt(o, c.style); });
      k.Put('"');
    }
    switch (c.type) {
      case ValueType::kText: k.Put(has_formula ? " t=\"str\""sv : " t=\"s\""sv); break;
      case ValueType::kBoolean: k.Put(" t=\"b\""sv); break;
      case ValueType::kError: k.Put(" t=\"e\""sv); break;
      default: break;
    }
    if (extra && extra->phonetic && extra->phonetic->visible) k.Put(" ph=\"1\""sv);
    if (c.type == ValueType::kEmpty && !has_formula) {
      k.Put("/>"sv);
      continue;
    }
    k.Put('>');
    if (has_formula) {
      const std::string_view attrs = extra->formula_xml_attrs;
      if (attrs.find(" t=\"shared\"") == std::string_view::npos) {
        k.Put("<f"sv);
        k.Put(attrs);
        k.Put('>');
        k.With([&](std::string& o) { AppendEscaped(o, extra->formula); });
        k.Put("</f>"sv);
      } else if (SharedChild(r, c.col, attrs, extra->formula)) {
        k.Put("<f"sv);
        k.Put(attrs);
        k.Put("/>"sv);
      } else {
        // A master, or a cell whose group no longer holds: the formula in full.
        if (const auto master = SharedMaster(r, c.col, attrs, extra->formula); !master.empty()) {
          k.Put("<f"sv);
          k.Put(master);
          k.Put('>');
        } else {
          k.Put("<f>"sv);
        }
        k.With([&](std::string& o) { AppendEscaped(o, extra->formula); });
        k.Put("</f>"sv);
      }
    }
    switch (c.type) {
      case ValueType::kNumber:
        k.Put("<v>"sv);
        k.With([&](std::string& o) { AppendCellValue(o, c.v.number); });
        k.Put("</v>"sv);
        break;
      case ValueType::kText: {
        const std::string_view text = pool.Get(c.v.text);
        const bool spaced = has_formula && !text.empty() && (text.front() == ' ' || text.back() == ' ' ||
                                                            text.front() == '\n' || text.back() == '\n');
        k.Put(spaced ? "<v xml:space=\"preserve\">"sv : "<v>"sv);
        if (has_formula) {
          k.With([&](std::string& o) { AppendCellText(o, pool.Get(c.v.text)); });
        } else {
          uint32_t index;
          const bool rich = extra && (!extra->runs.empty() || (extra->phonetic && !extra->phonetic->runs.empty()));
          if (sizing) {
            index = rich ? strings_.AddRich(pool.Get(c.v.text), *extra) : strings_.Add(c.v.text);
            if (rich) rich_indices_.push_back(index);
          } else {
            index = rich ? rich_indices_[next_rich_++] : strings_.IndexOf(c.v.text);
          }
          k.With([&](std::string& o) { AppendInt(o, index); });
        }
        k.Put("</v>"sv);
        break;
      }
      case ValueType::kBoolean: k.Put(c.v.boolean ? "<v>1</v>"sv : "<v>0</v>"sv); break;
      case ValueType::kError:
        k.Put("<v>"sv);
        k.Put(host::CellErrorText(c.v.error));
        k.Put("</v>"sv);
        break;
      default: break;
    }
    k.Put("</c>"sv);
  }
  k.Put("</row>"sv);
}

namespace {

std::string_view AttrIn(std::string_view attrs, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const size_t p = attrs.find(key);
  if (p == std::string_view::npos) return {};
  const size_t b = p + key.size();
  const size_t e = attrs.find('"', b);
  return e == std::string_view::npos ? std::string_view() : attrs.substr(b, e - b);
}

}  // namespace

std::string WorksheetWriter::SharedMaster(int32_t row, int32_t col, std::string_view attrs, const std::string& formula) {
  const std::string_view si = AttrIn(attrs, "si");
  Area ref;
  if (si.empty() || !ParseArea(AttrIn(attrs, "ref"), ref) || ref.top != row || ref.left != col) return {};
  shared_groups_[std::string(si)] = {formula, ref};
  return std::string(attrs);
}

bool WorksheetWriter::SharedChild(int32_t row, int32_t col, std::string_view attrs, const std::string& formula) {
  if (!AttrIn(attrs, "ref").empty()) return false;
  auto it = shared_groups_.find(std::string(AttrIn(attrs, "si")));
  if (it == shared_groups_.end() || !it->second.area.Contains(row, col)) return false;
  // The cell still holds what the group gives it.
  return ShiftFormula(it->second.formula, row - it->second.area.top, col - it->second.area.left) == formula;
}

bool WorksheetWriter::Next(std::string& out, size_t piece) {
  if (stage_ == 0) {
    out += head_;
    stage_ = 1;
  }
  TextSink sink{out};
  const size_t start = out.size();
  while (stage_ == 1 && next_row_ < rows_.size()) {
    WriteRow(sink, rows_[next_row_].first, *rows_[next_row_].second, false);
    ++next_row_;
    if (out.size() - start >= piece) return true;
  }
  if (stage_ == 1) {
    out += tail_;
    stage_ = 2;
  }
  return false;
}

void WriteWorksheet(std::string& out, const host::Worksheet& sheet, const host::SheetCarry* carry,
                    SharedStringsWriter& strings, const WorksheetWriteContext& ctx) {
  WorksheetWriter writer(sheet, carry, strings, ctx);
  out.reserve(out.size() + writer.size());
  while (writer.Next(out, SIZE_MAX)) {
  }
}

}  // namespace tessarin::ooxml
