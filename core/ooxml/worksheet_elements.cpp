// The XML of a worksheet's elements around its cells, in the schema's order, with the elements
// the model does not hold put back among them.
#include "core/ooxml/worksheet_elements.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>

#include "core/host/workbook.h"
#include "core/ooxml/page_breaks.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {

using host::Area;
using host::Cell;
using host::RowData;
using host::ValueType;

namespace {

// Schema order of the worksheet's children.
constexpr std::string_view kSheetOrder[] = {"sheetPr",
                                            "dimension",
                                            "sheetViews",
                                            "sheetFormatPr",
                                            "cols",
                                            "sheetData",
                                            "sheetCalcPr",
                                            "sheetProtection",
                                            "protectedRanges",
                                            "scenarios",
                                            "autoFilter",
                                            "sortState",
                                            "dataConsolidate",
                                            "customSheetViews",
                                            "mergeCells",
                                            "phoneticPr",
                                            "conditionalFormatting",
                                            "dataValidations",
                                            "hyperlinks",
                                            "printOptions",
                                            "pageMargins",
                                            "pageSetup",
                                            "headerFooter",
                                            "rowBreaks",
                                            "colBreaks",
                                            "customProperties",
                                            "cellWatches",
                                            "ignoredErrors",
                                            "smartTags",
                                            "drawing",
                                            "legacyDrawing",
                                            "legacyDrawingHF",
                                            "drawingHF",
                                            "picture",
                                            "oleObjects",
                                            "controls",
                                            "webPublishItems",
                                            "tableParts",
                                            "extLst"};

// The place of a child in that order, -1 for a name not in it.
constexpr int SheetRank(std::string_view name) {
  for (size_t i = 0; i < std::size(kSheetOrder); ++i) {
    if (kSheetOrder[i] == name) return static_cast<int>(i);
  }
  return -1;
}

// The merged areas of more than one cell that overlap no other, in their given order: of any
// overlap the one that starts higher (then further left, then listed first) is kept. A sweep
// down the rows keeps the kept areas that span the current row in a map by left column; since
// they cannot overlap, only the nearest one to the left of a new area's right edge can touch it.
// O(n log n): a sheet of a million merges is written in a moment.
std::vector<Area> DisjointMerges(const std::vector<Area>& areas) {
  std::vector<size_t> order;
  order.reserve(areas.size());
  for (size_t i = 0; i < areas.size(); ++i) {
    if (areas[i].CellCount() > 1) order.push_back(i);
  }
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Area &x = areas[a], &y = areas[b];
    return x.top != y.top ? x.top < y.top : x.left != y.left ? x.left < y.left : a < b;
  });
  std::vector<bool> keep(areas.size(), false);
  std::map<int32_t, size_t> spanning;          // left column -> kept area spanning the sweep row
  using Ending = std::pair<int32_t, int32_t>;  // bottom row, left column
  std::priority_queue<Ending, std::vector<Ending>, std::greater<>> endings;
  for (const size_t i : order) {
    const Area& a = areas[i];
    while (!endings.empty() && endings.top().first < a.top) {
      spanning.erase(endings.top().second);
      endings.pop();
    }
    auto next = spanning.upper_bound(a.right);
    if (next != spanning.begin() && areas[std::prev(next)->second].right >= a.left) continue;
    keep[i] = true;
    spanning.emplace(a.left, i);
    endings.emplace(a.bottom, a.left);
  }
  std::vector<Area> out;
  out.reserve(order.size());
  for (size_t i = 0; i < areas.size(); ++i) {
    if (keep[i]) out.push_back(areas[i]);
  }
  return out;
}

std::string SqrefText(const std::vector<Area>& areas) {
  std::string s;
  for (const Area& a : areas) {
    if (!s.empty()) s.push_back(' ');
    s += AreaText(a);
  }
  return s;
}

std::string ViewsXml(const host::Worksheet& sheet, const SheetExtras* extras, bool active) {
  const host::SheetView& v = sheet.view();
  std::string out = "<sheetViews><sheetView";
  if (!v.display_gridlines) out += " showGridLines=\"0\"";
  if (active) out += " tabSelected=\"1\"";
  if (v.zoom != 100 && v.zoom >= 10 && v.zoom <= 400) AppendAttr(out, "zoomScale", v.zoom);
  if (!(v.top_left == host::CellRef{1, 1}))
    AppendAttr(out, "topLeftCell", CellRefText(v.top_left.row, v.top_left.col));
  std::string view_attrs = extras ? extras->view_attrs : std::string();
  if (view_attrs.find("workbookViewId=") == std::string::npos)
    view_attrs += " workbookViewId=\"0\"";
  out += view_attrs;
  out += ">";
  if (extras) out += extras->pane_xml;
  out += "<selection";
  if (extras && !extras->active_pane.empty()) AppendAttr(out, "pane", extras->active_pane);
  AppendAttr(out, "activeCell", CellRefText(v.active_cell.row, v.active_cell.col));
  for (size_t i = 0; i < v.selection.size(); ++i) {
    if (i > 0 && v.selection[i].Contains(v.active_cell.row, v.active_cell.col) &&
        !v.selection[0].Contains(v.active_cell.row, v.active_cell.col)) {
      AppendAttr(out, "activeCellId", static_cast<int64_t>(i));
      break;
    }
  }
  AppendAttr(out, "sqref",
             v.selection.empty() ? CellRefText(v.active_cell.row, v.active_cell.col)
                                 : SqrefText(v.selection));
  out += "/></sheetView>";
  if (extras) out += extras->more_views;
  out += "</sheetViews>";
  return out;
}

std::string SheetPrXml(const SheetExtras* extras, bool fit) {
  if (extras && !extras->sheet_pr.empty()) {
    if (extras->fit_to_page == fit) return extras->sheet_pr;
    pugi::xml_document doc;
    if (doc.load_buffer(extras->sheet_pr.data(), extras->sheet_pr.size())) {
      pugi::xml_node root = doc.document_element();
      pugi::xml_node p = Child(root, "pageSetUpPr");
      if (!p) {
        std::string qname = "pageSetUpPr";
        const std::string_view rn = root.name();
        if (rn.find(':') != std::string_view::npos)
          qname = std::string(rn.substr(0, rn.find(':') + 1)) + qname;
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
    const ColumnExtras* kept = ColumnExtrasOf(ci->file_extras);
    if (kept && !kept->width.empty() && ci->width >= 0 && ci->width == kept->chars) {
      AppendAttr(out, "width", kept->width);  // the width the file gave, to its last 1/256
    } else {
      const double chars = ci->width >= 0 ? ci->width : sheet.default_column_width();
      AppendAttrNumber(out, "width", std::min(255.0, CharsToFileWidth(chars, mdw)));
    }
    if (ci->has_style) AppendAttr(out, "style", static_cast<int64_t>(ci->style));
    if (ci->hidden) out += " hidden=\"1\"";
    if (ci->width >= 0) out += " customWidth=\"1\"";
    if (kept) out += DeclaredAttrs(kept->attrs, root_attrs);
    out += "/>";
    c = e + 1;
  }
  return out.empty() ? out : "<cols>" + out + "</cols>";
}

}  // namespace

bool IsBareCell(const host::Worksheet& sheet, const RowData& rd, int32_t r, const Cell& c) {
  if (c.type != ValueType::kEmpty || c.style != host::kDefaultStyle) return false;
  if (rd.has_style) return false;
  if (const host::ColumnInfo* ci = sheet.Column(c.col); ci && ci->has_style) return false;
  if (c.has_extra()) {
    const host::CellExtra* e = sheet.Extra(r, c.col);
    if (e && (!e->formula.empty() || (e->phonetic && e->phonetic->visible) || e->value_extras))
      return false;
  }
  return true;
}

namespace {

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

// <sheetFormatPr>: a default width the file gave is written as it was while it still holds.
std::string SheetFormatXml(const host::Worksheet& sheet, const SheetExtras* extras,
                           const WorksheetWriteContext& ctx) {
  std::string f = "<sheetFormatPr";
  const int base = extras ? extras->base_col_width : 8;
  if (base != 8) AppendAttr(f, "baseColWidth", base);
  const double derived = DefaultWidthFromBase(base, ctx.max_digit_width);
  if (extras && !extras->default_col_width.empty() &&
      sheet.default_column_width() == extras->default_col_chars) {
    AppendAttr(f, "defaultColWidth", extras->default_col_width);
  } else if ((extras && extras->has_default_col_width) ||
             std::fabs(derived - sheet.default_column_width()) > 0.005) {
    AppendAttrNumber(f, "defaultColWidth",
                     CharsToFileWidth(sheet.default_column_width(), ctx.max_digit_width));
  }
  AppendAttrNumber(f, "defaultRowHeight", sheet.default_row_height());
  if (extras) f += extras->format_attrs;
  return f + "/>";
}

// <mergeCells>, or "" for none. Overlapping or one-cell merges make the host repair the file.
std::string MergeCellsXml(const host::Worksheet& sheet) {
  const std::vector<Area> merges = DisjointMerges(sheet.merges());
  if (merges.empty()) return "";
  std::string m = "<mergeCells count=\"" + std::to_string(merges.size()) + "\">";
  m.reserve(merges.size() * 28);
  for (const Area& a : merges) {
    m += "<mergeCell ref=\"";
    m += AreaText(a);
    m += "\"/>";
  }
  return m + "</mergeCells>";
}

// <printOptions>, or "" when every option is off.
std::string PrintOptionsXml(const host::PageSetup& ps, const SheetExtras* extras) {
  std::string p;
  if (ps.print_headings) p += " headings=\"1\"";
  if (ps.print_gridlines) p += " gridLines=\"1\"";
  if (ps.center_horizontally) p += " horizontalCentered=\"1\"";
  if (ps.center_vertically) p += " verticalCentered=\"1\"";
  if (extras) p += extras->print_options_attrs;
  return p.empty() ? p : "<printOptions" + p + "/>";
}

}  // namespace

SheetElementsXml SheetElements(const host::Worksheet& sheet, const SheetExtras* extras,
                               const WorksheetWriteContext& ctx, const std::string& root_attrs) {
  const host::PageSetup& ps = sheet.page_setup();
  std::vector<std::pair<int, std::string>> parts;
  auto add = [&](std::string_view name, std::string xml) {
    if (!xml.empty()) parts.emplace_back(SheetRank(name), std::move(xml));
  };
  add("sheetPr", SheetPrXml(extras, ps.zoom == 0));
  add("dimension", "<dimension ref=\"" + AreaText(WrittenArea(sheet)) + "\"/>");
  add("sheetViews", ViewsXml(sheet, extras, ctx.active));
  add("sheetFormatPr", SheetFormatXml(sheet, extras, ctx));
  add("cols", ColsXml(sheet, ctx.max_digit_width, root_attrs));
  if (sheet.is_protected()) {
    add("sheetProtection", extras && !extras->protection_xml.empty()
                               ? extras->protection_xml
                               : "<sheetProtection sheet=\"1\" objects=\"1\" scenarios=\"1\"/>");
  }
  add("mergeCells", MergeCellsXml(sheet));
  add("printOptions", PrintOptionsXml(ps, extras));
  // A sheet read without margins or page setup gets none while the model still holds what the
  // reader made of their absence: the next program keeps its own defaults (a Letter user's paper).
  if (std::string m = PageMarginsXml(ps); !(extras && m == extras->absent_page_margins))
    add("pageMargins", std::move(m));
  if (std::string p = PageSetupXml(ps, extras); !(extras && p == extras->absent_page_setup))
    add("pageSetup", std::move(p));
  add("headerFooter", std::string(XmlExtrasOf(ps.header_footer)));
  add("rowBreaks", RowBreaksXml(sheet));
  if (!ctx.legacy_drawing_id.empty())
    add("legacyDrawing", "<legacyDrawing r:id=\"" + ctx.legacy_drawing_id + "\"/>");
  if (extras) {
    int last = 0;
    for (const RawElement& e : extras->elements) {
      int rank = SheetRank(e.name);
      if (rank < 0) rank = last;
      last = rank;
      // Elements we write ourselves are never doubled.
      if (rank == SheetRank("legacyDrawing") && !ctx.legacy_drawing_id.empty()) continue;
      parts.emplace_back(rank, e.xml);
    }
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  SheetElementsXml xml;
  for (const auto& [rank, text] : parts)
    (rank < SheetRank("sheetData") ? xml.before : xml.after) += text;
  return xml;
}

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
        root_attrs.find(" xmlns:" + std::string(name.substr(0, colon)) + "=") !=
            std::string_view::npos) {
      out.append(one);
    }
    i = end + 1;
  }
  return out;
}

}  // namespace tessarin::ooxml
