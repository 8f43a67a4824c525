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

// The part's number format, font, fill and border tables while the model's formats are written:
// the file's entries first, at their indices (other formats of the part point at them), then
// each new entry once.
class StyleTables {
 public:
  explicit StyleTables(const StylesExtras& kept)
      : num_fmts_(kept.num_fmts),
        code_ids_(kept.format_ids),
        fonts_(kept.fonts),
        fills_(kept.fills),
        borders_(kept.borders) {
    for (const auto& [id, code] : num_fmts_) next_id_ = std::max(next_id_, id + 1);
    for (size_t i = 0; i < kept.font_keys.size(); ++i)
      font_index_.emplace(kept.font_keys[i], static_cast<int>(i));
    for (size_t i = 0; i < fills_.size(); ++i) fill_index_.emplace(fills_[i], static_cast<int>(i));
    for (size_t i = 0; i < kept.border_keys.size(); ++i)
      border_index_.emplace(kept.border_keys[i], static_cast<int>(i));
    if (fills_.empty()) {
      fills_ = {"<fill><patternFill patternType=\"none\"/></fill>",
                "<fill><patternFill patternType=\"gray125\"/></fill>"};
    }
    if (borders_.empty()) {
      std::string key;
      AppendBorderXml(key, {});
      borders_.push_back(key);
      border_index_.emplace(key, 0);
    }
  }

  // The id the file used for the code, else its built-in id, else a new custom id.
  int NumberFormat(const std::string& code) {
    if (auto it = code_ids_.find(code); it != code_ids_.end()) return it->second;
    if (const int builtin = host::BuiltinFormatId(code); builtin >= 0) return builtin;
    const int id = next_id_++;
    num_fmts_.emplace_back(id, code);
    code_ids_.emplace(code, id);
    return id;
  }

  int Font(const host::Font& font) {
    std::string key;
    AppendFontXml(key, font, false);
    return IndexOf(std::move(key), font_index_, fonts_);
  }

  // The fill a format kept from the file, else none.
  int Fill(const Style& style) {
    const FormatExtras* kept = FormatExtrasOf(style.file_extras);
    return kept && !kept->fill.empty() ? IndexOf(kept->fill, fill_index_, fills_) : 0;
  }

  int Border(const BorderLines& lines) {
    std::string key;
    AppendBorderXml(key, lines);
    return IndexOf(std::move(key), border_index_, borders_);
  }

  // <numFmts> (when there are custom formats), <fonts>, <fills> and <borders>.
  void AppendTo(std::vector<std::pair<int, std::string>>& parts) const {
    if (!num_fmts_.empty()) {
      std::string x = "<numFmts count=\"" + std::to_string(num_fmts_.size()) + "\">";
      for (const auto& [id, code] : num_fmts_) {
        x += "<numFmt";
        AppendAttr(x, "numFmtId", id);
        AppendAttr(x, "formatCode", code);
        x += "/>";
      }
      parts.emplace_back(StylesRank("numFmts"), x + "</numFmts>");
    }
    auto table = [&](std::string_view name, const std::vector<std::string>& items) {
      std::string x = "<" + std::string(name) + " count=\"" + std::to_string(items.size()) + "\">";
      for (const auto& i : items) x += i;
      parts.emplace_back(StylesRank(name), x + "</" + std::string(name) + ">");
    };
    table("fonts", fonts_);
    table("fills", fills_);
    table("borders", borders_);
  }

 private:
  static int IndexOf(std::string xml, std::unordered_map<std::string, int>& index,
                     std::vector<std::string>& items) {
    auto [it, added] = index.emplace(xml, static_cast<int>(items.size()));
    if (added) items.push_back(std::move(xml));
    return it->second;
  }

  std::vector<std::pair<int, std::string>> num_fmts_;
  std::map<std::string, int> code_ids_;
  int next_id_ = 164;  // the first id of custom formats
  std::vector<std::string> fonts_, fills_, borders_;
  std::unordered_map<std::string, int> font_index_, fill_index_, border_index_;
};

// The part's elements the model does not hold, in schema order, and the defaults a part needs
// where the file had none (a workbook made here has none at all).
void AppendKeptElements(const StylesExtras& kept, bool made_here,
                        std::vector<std::pair<int, std::string>>& parts) {
  bool has_style_xfs = false, has_cell_styles = false;
  int last_rank = 0;
  for (const RawElement& e : kept.elements) {
    int rank = StylesRank(e.name);
    if (rank < 0) rank = last_rank;
    last_rank = rank;
    has_style_xfs |= e.name == "cellStyleXfs";
    has_cell_styles |= e.name == "cellStyles";
    parts.emplace_back(rank, e.xml);
  }
  if (!has_style_xfs) {
    parts.emplace_back(StylesRank("cellStyleXfs"),
                       "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                       "borderId=\"0\"/></cellStyleXfs>");
  }
  if (!has_cell_styles) {
    parts.emplace_back(StylesRank("cellStyles"),
                       "<cellStyles count=\"1\"><cellStyle name=\"標準\" xfId=\"0\" "
                       "builtinId=\"0\"/></cellStyles>");
  }
  if (made_here) {
    parts.emplace_back(StylesRank("dxfs"), "<dxfs count=\"0\"/>");
    parts.emplace_back(StylesRank("tableStyles"),
                       "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" "
                       "defaultPivotStyle=\"PivotStyleLight16\"/>");
  }
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
  const host::StylePool& pool = workbook.styles();
  const StylesExtras empty;
  const StylesExtras& kept = extras ? *extras : empty;
  StyleTables tables(kept);
  std::string xfs;
  for (size_t id = 0; id < pool.size(); ++id) {
    const Style& s = pool.Get(static_cast<host::StyleId>(id));
    AppendCellFormatXml(xfs, s,
                        {tables.NumberFormat(s.number_format), tables.Font(s.font), tables.Fill(s),
                         tables.Border(s.borders)});
  }
  std::vector<std::pair<int, std::string>> parts;  // rank, xml
  tables.AppendTo(parts);
  parts.emplace_back(StylesRank("cellXfs"), "<cellXfs count=\"" + std::to_string(pool.size()) +
                                                "\">" + xfs + "</cellXfs>");
  AppendKeptElements(kept, extras == nullptr, parts);
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<styleSheet";
  AppendAttr(out, "xmlns", ns.main);
  out += kept.root_attrs;
  out += ">";
  for (const auto& [rank, x] : parts) out += x;
  out += "</styleSheet>";
  return out;
}

}  // namespace tessarin::ooxml
