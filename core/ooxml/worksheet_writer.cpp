// Writing the worksheet part in pieces: measured first, then generated while the archive is
// compressed, with the elements the model does not hold put back in the element order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <queue>

#include "core/host/workbook.h"
#include "core/ooxml/page_breaks.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {
namespace {

using namespace std::string_view_literals;
using host::Area;
using host::Cell;
using host::RowData;
using host::ValueType;

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
constexpr int kRankSheetData = SheetRank("sheetData");

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
        root_attrs.find(" xmlns:" + std::string(name.substr(0, colon)) + "=") !=
            std::string_view::npos) {
      out.append(one);
    }
    i = end + 1;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Writing

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

// True when a stored cell carries nothing a file needs: no value, formula or visible reading,
// and no format of its own over its row's and column's.
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

namespace {

// Output of the row writer: the text itself, or only its length for the sizing pass.
struct TextSink {
  std::string& out;
  void Put(std::string_view v) { out.append(v); }
  void Put(char c) { out.push_back(c); }
  template <typename F>
  void With(F&& f) {
    f(out);
  }
};

// The sizing pass: the length, and the text itself while it stays below a limit.
struct CountSink {
  std::string& kept;
  uint64_t limit = 0;
  bool keeping = false;
  uint64_t bytes = 0;
  std::string scratch;
  void Put(std::string_view v) {
    bytes += v.size();
    if (keeping) kept.append(v), Check();
  }
  void Put(char c) {
    ++bytes;
    if (keeping) kept.push_back(c), Check();
  }
  template <typename F>
  void With(F&& f) {
    std::string& into = keeping ? kept : scratch;
    if (!keeping) scratch.clear();
    const size_t before = into.size();
    f(into);
    bytes += into.size() - before;
    if (keeping) Check();
  }
  void Check() {
    if (kept.size() < limit) return;
    keeping = false;
    kept = std::string();
  }
};

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

// Every element of the part but <sheetData>, each with its rank in the schema's order, sorted.
std::vector<std::pair<int, std::string>> SheetElements(const host::Worksheet& sheet,
                                                       const SheetExtras* extras,
                                                       const WorksheetWriteContext& ctx,
                                                       const std::string& root_attrs) {
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
  return parts;
}

}  // namespace

WorksheetWriter::WorksheetWriter(const host::Worksheet& sheet, const SheetExtras* extras,
                                 SharedStringsWriter& strings, const WorksheetWriteContext& ctx,
                                 uint64_t keep_below)
    : sheet_(sheet), strings_(strings) {
  root_attrs_ = extras ? extras->root_attrs : std::string();
  const auto parts = SheetElements(sheet, extras, ctx, root_attrs_);
  head_ = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet";
  AppendAttr(head_, "xmlns", ctx.ns->main);
  AppendAttr(head_, "xmlns:r", ctx.ns->relationships);
  head_ += root_attrs_;
  head_ += ">";
  size_t k = 0;
  for (; k < parts.size() && parts[k].first < kRankSheetData; ++k) head_ += parts[k].second;
  head_ += "<sheetData>";
  tail_ = "</sheetData>";
  for (; k < parts.size(); ++k) tail_ += parts[k].second;
  tail_ += "</worksheet>";
  Measure(keep_below);
}

// The sizing pass: counts the part's bytes, fixes every string's index in the shared table, and
// keeps the text it makes when the part turns out smaller than `keep_below`.
void WorksheetWriter::Measure(uint64_t keep_below) {
  sheet_.cells().ForEachRow(1, host::kMaxRows, [&](int32_t r, const RowData& rd) {
    rows_.push_back({r, &rd});
  });
  CountSink count{whole_, keep_below, keep_below > 0, 0, {}};
  if (count.keeping) {
    // Room for what a sheet of these cells is likely to take: never touched beyond the text,
    // and grown without copying it again.
    whole_.reserve(std::min<uint64_t>(keep_below, head_.size() + 64 * sheet_.cells().CellCount()));
    whole_ = head_;
  }
  for (const auto& [r, rd] : rows_) WriteRow(count, r, *rd, true);
  shared_groups_.clear();
  size_ = head_.size() + count.bytes + tail_.size();
  if (count.keeping && size_ < keep_below) {
    whole_ += tail_;
    kept_ = true;
  } else {
    whole_ = std::string();
  }
}

template <typename Sink>
void WorksheetWriter::WriteRow(Sink& k, int32_t r, const RowData& rd, bool sizing) {
  char row_digits[12];
  const auto row_end = std::to_chars(row_digits, row_digits + sizeof row_digits, r).ptr;
  const std::string_view row_text(row_digits, row_end - row_digits);
  // Which cells go out, decided first so that an empty row can be left out or closed at once.
  const auto written = [&](const Cell& c) {
    return !(c.type == ValueType::kEmpty && c.style == host::kDefaultStyle &&
             IsBareCell(sheet_, rd, r, c));
  };
  const bool any = std::any_of(rd.cells.begin(), rd.cells.end(), written);
  const bool attrs = rd.has_style || rd.height >= 0 || rd.hidden || rd.file_extras;
  if (!any && !attrs) return;
  WriteRowTag(k, row_text, rd);
  if (!any) {
    k.Put("/>"sv);
    return;
  }
  k.Put('>');
  for (const Cell& c : rd.cells) {
    if (written(c)) WriteCell(k, r, row_text, c, sizing);
  }
  k.Put("</row>"sv);
}

// <row r=".." and the row's attributes, left open for its cells.
template <typename Sink>
void WorksheetWriter::WriteRowTag(Sink& k, std::string_view row_text, const RowData& rd) {
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
  if (const std::string_view other = XmlExtrasOf(rd.file_extras); !other.empty()) {
    // Rows of a sheet mostly share their other attributes: check each text once.
    if (other != checked_attrs_) {
      checked_attrs_ = other;
      declared_attrs_ = DeclaredAttrs(other, root_attrs_);
    }
    k.Put(declared_attrs_);
  }
}

template <typename Sink>
void WorksheetWriter::WriteCell(Sink& k, int32_t r, std::string_view row_text, const Cell& c,
                                bool sizing) {
  if (c.col >= column_names_.size()) {
    const size_t old = column_names_.size();
    column_names_.resize(c.col + 1);
    for (size_t n = std::max<size_t>(old, 1); n < column_names_.size(); ++n)
      column_names_[n] = ColumnName(static_cast<int32_t>(n));
  }
  // Most cells of a big sheet are a plain text of the shared table: written in one piece.
  if (c.type == ValueType::kText && !c.has_extra() && !WrittenInPlace(c, nullptr)) {
    WriteSharedTextCell(k, row_text, c, SharedStringIndex(c, nullptr, sizing));
    return;
  }
  const host::CellExtra* extra = c.has_extra() ? sheet_.Extra(r, c.col) : nullptr;
  const bool has_formula = extra && !extra->formula.empty();
  k.Put("<c r=\""sv);
  k.Put(column_names_[c.col]);
  k.Put(row_text);
  k.Put('"');
  if (c.style != host::kDefaultStyle) {
    k.Put(" s=\""sv);
    k.With([&](std::string& o) { AppendInt(o, c.style); });
    k.Put('"');
  }
  switch (c.type) {
    case ValueType::kText:
      k.Put(has_formula                ? " t=\"str\""sv
            : WrittenInPlace(c, extra) ? " t=\"inlineStr\""sv
                                       : " t=\"s\""sv);
      break;
    case ValueType::kBoolean:
      k.Put(" t=\"b\""sv);
      break;
    case ValueType::kError:
      k.Put(" t=\"e\""sv);
      break;
    default:
      break;
  }
  if (extra && extra->value_extras)
    k.Put(DeclaredAttrs(XmlExtrasOf(extra->value_extras), root_attrs_));
  if (extra && extra->phonetic && extra->phonetic->visible) k.Put(" ph=\"1\""sv);
  if (c.type == ValueType::kEmpty && !has_formula) {
    k.Put("/>"sv);
    return;
  }
  k.Put('>');
  if (has_formula) WriteFormula(k, r, c.col, *extra);
  WriteValue(k, c, extra, has_formula, sizing);
  k.Put("</c>"sv);
}

// <c r=".." s=".." t="s"><v>index</v></c>, as WriteCell writes it piece by piece.
template <typename Sink>
void WorksheetWriter::WriteSharedTextCell(Sink& k, std::string_view row_text, const Cell& c,
                                          uint32_t index) {
  char cell[96];  // column (3) + row (7) + style and index (10 each) + the tags
  char* p = cell;
  auto put = [&p](std::string_view piece) {
    std::memcpy(p, piece.data(), piece.size());
    p += piece.size();
  };
  put("<c r=\""sv);
  put(column_names_[c.col]);
  put(row_text);
  if (c.style != host::kDefaultStyle) {
    put("\" s=\""sv);
    p = std::to_chars(p, cell + sizeof cell, c.style).ptr;
  }
  put("\" t=\"s\"><v>"sv);
  p = std::to_chars(p, cell + sizeof cell, index).ptr;
  put("</v></c>"sv);
  k.Put(std::string_view(cell, p - cell));
}

template <typename Sink>
void WorksheetWriter::WriteFormula(Sink& k, int32_t r, int32_t col, const host::CellExtra& extra) {
  const std::string_view attrs = XmlExtrasOf(extra.formula_extras);
  if (attrs.find(" t=\"shared\"") == std::string_view::npos) {
    k.Put("<f"sv);
    k.Put(attrs);
    k.Put('>');
  } else if (SharedChild(r, col, attrs, extra.formula)) {
    k.Put("<f"sv);
    k.Put(attrs);
    k.Put("/>"sv);
    return;
  } else if (const auto master = SharedMaster(r, col, attrs, extra.formula); !master.empty()) {
    k.Put("<f"sv);
    k.Put(master);
    k.Put('>');
  } else {
    // A cell whose group no longer holds: the formula in full.
    k.Put("<f>"sv);
  }
  k.With([&](std::string& o) { AppendEscaped(o, extra.formula); });
  k.Put("</f>"sv);
}

template <typename Sink>
void WorksheetWriter::WriteValue(Sink& k, const Cell& c, const host::CellExtra* extra,
                                 bool has_formula, bool sizing) {
  switch (c.type) {
    case ValueType::kNumber:
      k.Put("<v>"sv);
      k.With([&](std::string& o) { AppendCellValue(o, c.v.number); });
      k.Put("</v>"sv);
      break;
    case ValueType::kText: {
      const std::string_view text = sheet_.strings().Get(c.v.text);
      if (!has_formula && WrittenInPlace(c, extra)) {
        k.Put("<is>"sv);
        k.With([&](std::string& o) {
          if (extra)
            AppendStringItemBody(o, text, extra->runs, extra->phonetic);
          else
            AppendStringItemBody(o, text, {}, std::nullopt);
        });
        k.Put("</is>"sv);
        break;
      }
      const bool spaced = has_formula && !text.empty() &&
                          (text.front() == ' ' || text.back() == ' ' || text.front() == '\n' ||
                           text.back() == '\n');
      k.Put(spaced ? "<v xml:space=\"preserve\">"sv : "<v>"sv);
      if (has_formula) {
        k.With([&](std::string& o) { AppendCellText(o, text); });
      } else {
        const uint32_t index = SharedStringIndex(c, extra, sizing);
        k.With([&](std::string& o) { AppendInt(o, index); });
      }
      k.Put("</v>"sv);
      break;
    }
    case ValueType::kBoolean:
      k.Put(c.v.boolean ? "<v>1</v>"sv : "<v>0</v>"sv);
      break;
    case ValueType::kError:
      k.Put("<v>"sv);
      k.Put(host::CellErrorText(c.v.error));
      k.Put("</v>"sv);
      break;
    default:
      break;
  }
}

namespace {

bool IsRich(const host::CellExtra* extra) {
  return extra && (!extra->runs.empty() || (extra->phonetic && !extra->phonetic->runs.empty()));
}

}  // namespace

// While the string table is passed on as it came, a text it does not hold (or holds without the
// cell's runs) goes into the cell itself: the table gains no item.
bool WorksheetWriter::WrittenInPlace(const Cell& c, const host::CellExtra* extra) const {
  return strings_.carried() && (IsRich(extra) || !strings_.Carries(c.v.text));
}

// The sizing pass adds each text to the shared table; the writing pass finds the same index.
uint32_t WorksheetWriter::SharedStringIndex(const Cell& c, const host::CellExtra* extra,
                                            bool sizing) {
  const bool rich = IsRich(extra);
  if (!sizing) return rich ? rich_indices_[next_rich_++] : strings_.IndexOf(c.v.text);
  if (!rich) return strings_.Add(c.v.text);
  const uint32_t index = strings_.AddRich(sheet_.strings().Get(c.v.text), *extra);
  rich_indices_.push_back(index);
  return index;
}

bool WorksheetWriter::Next(std::string& out, size_t piece) {
  if (kept_ && stage_ == 0) {
    if (out.empty())
      out.swap(whole_);
    else
      out += whole_;
    whole_ = std::string();
    stage_ = 2;
    return false;
  }
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

void WriteWorksheet(std::string& out, const host::Worksheet& sheet, const SheetExtras* extras,
                    SharedStringsWriter& strings, const WorksheetWriteContext& ctx) {
  WorksheetWriter writer(sheet, extras, strings, ctx);
  out.reserve(out.size() + writer.size());
  while (writer.Next(out, SIZE_MAX)) {
  }
}

}  // namespace tessarin::ooxml
