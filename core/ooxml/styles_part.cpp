// The styles part: the file's tables are kept at their indices and the model's styles are
// looked up in them, so cell style formats and differential formats keep pointing at the right
// fonts, fills and borders.
#include "core/ooxml/styles_part.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "core/host/number_format.h"
#include "core/ooxml/cell_format_xml.h"
#include "core/ooxml/font_xml.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

using host::Font;
using host::Style;

std::string RootAttrs(pugi::xml_node root) {
  std::string out;
  for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (n == "xmlns") continue;
    AppendAttr(out, n, a.value());
  }
  return out;
}

int StylesRank(std::string_view name) {
  static constexpr std::string_view kOrder[] = {"numFmts",      "fonts",   "fills",      "borders",
                                                "cellStyleXfs", "cellXfs", "cellStyles", "dxfs",
                                                "tableStyles",  "colors",  "extLst"};
  for (size_t i = 0; i < std::size(kOrder); ++i) {
    if (kOrder[i] == name) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::vector<host::StyleId> ReadStyles(std::string_view xml, std::string_view file,
                                      std::string_view part, host::Workbook& workbook,
                                      StylesExtras& extras) {
  pugi::xml_document doc;
  LoadXml(doc, xml, file, part);
  pugi::xml_node root = doc.document_element();
  extras.root_attrs = RootAttrs(root);

  std::map<int, std::string> formats;
  std::vector<Font> fonts;
  std::vector<BorderLines> borders;
  pugi::xml_node cell_xfs;
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    const std::string_view name = LocalName(n.name());
    if (name == "numFmts") {
      for (pugi::xml_node f = n.first_child(); f; f = f.next_sibling()) {
        int64_t id;
        if (LocalName(f.name()) != "numFmt" || !ParseInt(AttrValue(f, "numFmtId"), id) || id < 0 ||
            id > 100000)
          continue;
        std::string code(AttrValue(f, "formatCode"));
        formats[static_cast<int>(id)] = code;
        extras.num_fmts.emplace_back(static_cast<int>(id), code);
        extras.format_ids.emplace(code, static_cast<int>(id));
      }
    } else if (name == "fonts") {
      for (pugi::xml_node f = n.first_child(); f; f = f.next_sibling()) {
        if (f.type() != pugi::node_element) continue;
        fonts.push_back(FontFromElements(ChildElements(f), Font{}));
        extras.fonts.push_back(NodeXml(f));
        std::string key;
        AppendFontXml(key, fonts.back(), false);
        extras.font_keys.push_back(std::move(key));
      }
    } else if (name == "fills") {
      for (pugi::xml_node f = n.first_child(); f; f = f.next_sibling()) {
        if (f.type() == pugi::node_element) extras.fills.push_back(NodeXml(f));
      }
    } else if (name == "borders") {
      for (pugi::xml_node b = n.first_child(); b; b = b.next_sibling()) {
        if (b.type() != pugi::node_element) continue;
        borders.push_back(ReadBorder(b));
        extras.borders.push_back(NodeXml(b));
        std::string key;
        AppendBorderXml(key, borders.back());
        extras.border_keys.push_back(std::move(key));
      }
    } else if (name == "cellXfs") {
      cell_xfs = n;
    } else {
      extras.elements.push_back({std::string(name), NodeXml(n)});
    }
  }
  if (fonts.empty()) fonts.emplace_back();
  if (borders.empty()) borders.emplace_back();

  std::vector<pugi::xml_node> xfs;
  for (pugi::xml_node x = cell_xfs.first_child(); x; x = x.next_sibling()) {
    if (x.type() == pugi::node_element) xfs.push_back(x);
  }
  if (xfs.size() > 65000)
    Fail(file, part,
         "the part defines " + std::to_string(xfs.size()) +
             " cell formats, more than a workbook can hold.");
  std::vector<host::StyleId> ids;
  ids.reserve(xfs.size());
  // The normal style is the first cell format with the workbook's first font, which sizes columns.
  const CellFormatTables tables{fonts, extras.fills, borders, formats};
  Style normal = xfs.empty() ? Style{} : ReadCellFormat(xfs[0], tables);
  normal.font = fonts[0];
  workbook.styles().SetNormal(normal);
  for (pugi::xml_node x : xfs) ids.push_back(workbook.styles().Intern(ReadCellFormat(x, tables)));
  if (ids.empty()) ids.push_back(host::kDefaultStyle);
  return ids;
}

std::string WriteStyles(const host::Workbook& workbook, const StylesExtras* extras,
                        const Namespaces& ns) {
  const host::StylePool& pool = const_cast<host::Workbook&>(workbook).styles();
  StylesExtras empty;
  const StylesExtras& c = extras ? *extras : empty;

  // Number formats: the ids the file used, then built-ins, then new custom ids.
  std::vector<std::pair<int, std::string>> num_fmts = c.num_fmts;
  std::map<std::string, int> code_ids = c.format_ids;
  int next_id = 164;
  for (const auto& [id, code] : num_fmts) next_id = std::max(next_id, id + 1);
  // Fonts, fills and borders: the file's tables first, at their indices.
  std::vector<std::string> fonts = c.fonts, fills = c.fills, borders = c.borders;
  std::unordered_map<std::string, int> font_index, fill_index, border_index;
  for (size_t i = 0; i < c.font_keys.size(); ++i)
    font_index.emplace(c.font_keys[i], static_cast<int>(i));
  for (size_t i = 0; i < fills.size(); ++i) fill_index.emplace(fills[i], static_cast<int>(i));
  for (size_t i = 0; i < c.border_keys.size(); ++i)
    border_index.emplace(c.border_keys[i], static_cast<int>(i));
  if (fills.empty()) {
    fills = {"<fill><patternFill patternType=\"none\"/></fill>",
             "<fill><patternFill patternType=\"gray125\"/></fill>"};
  }
  if (borders.empty()) {
    std::string key;
    AppendBorderXml(key, {});
    borders.push_back(key);
    border_index.emplace(key, 0);
  }

  std::string xfs;
  for (size_t id = 0; id < pool.size(); ++id) {
    const Style& s = pool.Get(static_cast<host::StyleId>(id));
    int fmt = 0;
    if (auto it = code_ids.find(s.number_format); it != code_ids.end()) {
      fmt = it->second;
    } else if (int b = host::BuiltinFormatId(s.number_format); b >= 0) {
      fmt = b;
    } else {
      fmt = next_id++;
      num_fmts.emplace_back(fmt, s.number_format);
      code_ids.emplace(s.number_format, fmt);
    }
    std::string key;
    AppendFontXml(key, s.font, false);
    auto [fit, fnew] = font_index.emplace(key, static_cast<int>(fonts.size()));
    if (fnew) fonts.push_back(key);
    int fill = 0;
    const FormatExtras* kept = FormatExtrasOf(s.file_extras);
    if (kept && !kept->fill.empty()) {
      auto [it, added] = fill_index.emplace(kept->fill, static_cast<int>(fills.size()));
      if (added) fills.push_back(kept->fill);
      fill = it->second;
    }
    key.clear();
    AppendBorderXml(key, s.borders);
    auto [bit, bnew] = border_index.emplace(key, static_cast<int>(borders.size()));
    if (bnew) borders.push_back(key);
    AppendCellFormatXml(xfs, s, {fmt, fit->second, fill, bit->second});
  }

  std::vector<std::pair<int, std::string>> parts;  // rank, xml
  if (!num_fmts.empty()) {
    std::string x = "<numFmts count=\"" + std::to_string(num_fmts.size()) + "\">";
    for (const auto& [id, code] : num_fmts) {
      x += "<numFmt";
      AppendAttr(x, "numFmtId", id);
      AppendAttr(x, "formatCode", code);
      x += "/>";
    }
    parts.emplace_back(0, x + "</numFmts>");
  }
  auto table = [&](int rank, std::string_view name, const std::vector<std::string>& items) {
    std::string x = "<" + std::string(name) + " count=\"" + std::to_string(items.size()) + "\">";
    for (const auto& i : items) x += i;
    parts.emplace_back(rank, x + "</" + std::string(name) + ">");
  };
  table(1, "fonts", fonts);
  table(2, "fills", fills);
  table(3, "borders", borders);
  parts.emplace_back(
      5, "<cellXfs count=\"" + std::to_string(pool.size()) + "\">" + xfs + "</cellXfs>");
  bool has_style_xfs = false, has_cell_styles = false;
  int last_rank = 0;
  for (const RawElement& e : c.elements) {
    int rank = StylesRank(e.name);
    if (rank < 0) rank = last_rank;
    last_rank = rank;
    has_style_xfs |= e.name == "cellStyleXfs";
    has_cell_styles |= e.name == "cellStyles";
    parts.emplace_back(rank, e.xml);
  }
  if (!has_style_xfs) {
    parts.emplace_back(4,
                       "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                       "borderId=\"0\"/></cellStyleXfs>");
  }
  if (!has_cell_styles) {
    parts.emplace_back(6,
                       "<cellStyles count=\"1\"><cellStyle name=\"標準\" xfId=\"0\" "
                       "builtinId=\"0\"/></cellStyles>");
  }
  if (!extras) {
    parts.emplace_back(7, "<dxfs count=\"0\"/>");
    parts.emplace_back(8,
                       "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" "
                       "defaultPivotStyle=\"PivotStyleLight16\"/>");
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<styleSheet";
  AppendAttr(out, "xmlns", ns.main);
  out += c.root_attrs;
  out += ">";
  for (const auto& [rank, x] : parts) out += x;
  out += "</styleSheet>";
  return out;
}

}  // namespace tessarin::ooxml
