// The styles part: the file's tables are kept at their indices and the model's styles are
// looked up in them, so cell style formats and differential formats keep pointing at the right
// fonts, fills and borders.
#include "core/ooxml/styles_part.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <map>
#include <unordered_map>

#include "core/host/constants.h"
#include "core/host/palette.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

using host::BorderLine;
using host::Font;
using host::Style;

constexpr const auto& kPalette = host::kDefaultPalette;

// Built-in number formats as a Japanese-locale host shows them.
const std::map<int, std::string_view>& Builtins() {
  static const std::map<int, std::string_view> m = {
      {0, "General"},
      {1, "0"},
      {2, "0.00"},
      {3, "#,##0"},
      {4, "#,##0.00"},
      {5, "\"¥\"#,##0;\"¥\"\\-#,##0"},
      {6, "\"¥\"#,##0;[Red]\"¥\"\\-#,##0"},
      {7, "\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
      {8, "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"},
      {9, "0%"},
      {10, "0.00%"},
      {11, "0.00E+00"},
      {12, "# ?/?"},
      {13, "# ?\?/??"},
      {14, "yyyy/m/d"},
      {15, "d-mmm-yy"},
      {16, "d-mmm"},
      {17, "mmm-yy"},
      {18, "h:mm AM/PM"},
      {19, "h:mm:ss AM/PM"},
      {20, "h:mm"},
      {21, "h:mm:ss"},
      {22, "yyyy/m/d h:mm"},
      {27, "[$-411]ge.m.d"},
      {28, "[$-411]ggge\"年\"m\"月\"d\"日\""},
      {29, "[$-411]ggge\"年\"m\"月\"d\"日\""},
      {30, "m/d/yy"},
      {31, "yyyy\"年\"m\"月\"d\"日\""},
      {32, "h\"時\"mm\"分\""},
      {33, "h\"時\"mm\"分\"ss\"秒\""},
      {34, "yyyy\"年\"m\"月\""},
      {35, "m\"月\"d\"日\""},
      {36, "[$-411]ge.m.d"},
      {37, "#,##0 ;(#,##0)"},
      {38, "#,##0 ;[Red](#,##0)"},
      {39, "#,##0.00 ;(#,##0.00)"},
      {40, "#,##0.00 ;[Red](#,##0.00)"},
      {41, "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ "},
      {42, "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ "},
      {43, "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"?\?_ ;_ @_ "},
      {44, "_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"?\?_ ;_ @_ "},
      {45, "mm:ss"},
      {46, "[h]:mm:ss"},
      {47, "mm:ss.0"},
      {48, "##0.0E+0"},
      {49, "@"},
      {50, "[$-411]ge.m.d"},
      {51, "[$-411]ggge\"年\"m\"月\"d\"日\""},
      {52, "yyyy\"年\"m\"月\""},
      {53, "m\"月\"d\"日\""},
      {54, "[$-411]ggge\"年\"m\"月\"d\"日\""},
      {55, "yyyy\"年\"m\"月\""},
      {56, "m\"月\"d\"日\""},
      {57, "[$-411]ge.m.d"},
      {58, "[$-411]ggge\"年\"m\"月\"d\"日\""}};
  return m;
}

int BuiltinId(std::string_view code) {
  for (const auto& [id, c] : Builtins()) {
    if (c == code) return id;
  }
  return -1;
}

// Border line names of the file <-> the host's LineStyle and Weight.
struct LineName {
  std::string_view name;
  int style;
  int weight;
};
constexpr LineName kLines[] = {
    {"thin", host::kXlContinuous, host::kXlThin},
    {"medium", host::kXlContinuous, host::kXlMedium},
    {"thick", host::kXlContinuous, host::kXlThick},
    {"hair", host::kXlContinuous, host::kXlHairline},
    {"dashed", host::kXlDash, host::kXlThin},
    {"mediumDashed", host::kXlDash, host::kXlMedium},
    {"dotted", host::kXlDot, host::kXlThin},
    {"double", host::kXlDouble, host::kXlThick},
    {"dashDot", host::kXlDashDot, host::kXlThin},
    {"mediumDashDot", host::kXlDashDot, host::kXlMedium},
    {"dashDotDot", host::kXlDashDotDot, host::kXlThin},
    {"mediumDashDotDot", host::kXlDashDotDot, host::kXlMedium},
    {"slantDashDot", host::kXlSlantDashDot, host::kXlMedium},
};

// The file's name for a line, from the same table the reader uses: the exact style and weight,
// else the style's medium or thin form (by how heavy the line is), else any form of the style.
std::string_view LineNameOf(const BorderLine& b) {
  const bool heavy = b.weight == host::kXlMedium || b.weight == host::kXlThick;
  const LineName* any = nullptr;
  const LineName* near = nullptr;
  for (const LineName& l : kLines) {
    if (l.style != b.line_style) continue;
    if (l.weight == b.weight) return l.name;
    if (l.weight == (heavy ? host::kXlMedium : host::kXlThin) && !near) near = &l;
    if (!any) any = &l;
  }
  return near ? near->name : any ? any->name : "thin";
}

void AppendElement(std::string& out, const ElementAttrs& e) {
  out.push_back('<');
  out.append(e.name);
  for (const auto& [k, v] : e.attrs) AppendAttr(out, k, v);
  out.append("/>");
}

// Splits a font's kept children (a run of empty elements we wrote ourselves) into its elements.
std::vector<std::string_view> SplitElements(std::string_view xml) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < xml.size()) {
    const size_t b = xml.find('<', i);
    if (b == std::string_view::npos) break;
    const size_t e = xml.find("/>", b);
    if (e == std::string_view::npos) break;
    out.push_back(xml.substr(b, e + 2 - b));
    i = e + 2;
  }
  return out;
}

std::string_view ElementName(std::string_view piece) {
  size_t e = 1;
  while (e < piece.size() && piece[e] != ' ' && piece[e] != '/' && piece[e] != '>') ++e;
  return piece.substr(1, e - 1);
}

// The ColorIndex a stored <color .../> element stands for.
int ColorIndexOfXml(std::string_view piece) {
  pugi::xml_document doc;
  if (!doc.load_buffer(piece.data(), piece.size())) return host::kXlAutomatic;
  auto els = ChildElements(doc);
  return els.empty() ? host::kXlAutomatic : ColorIndexOf(els.front());
}

// Writes the colour of a font or border line: the colour the file gave while it still stands
// for the model's ColorIndex, else the palette entry.
void AppendColor(std::string& out, int color_index, std::string_view color_xml) {
  if (!color_xml.empty() && ColorIndexOfXml(color_xml) == color_index) {
    out.append(color_xml);
  } else if (color_index >= 1 && color_index <= 56) {
    out.append("<color indexed=\"");
    AppendInt(out, color_index + 7);
    out.append("\"/>");
  }
}

// Reads the colour element of a font or border: palette indices go to the model only, anything
// else is also kept as written.
void ReadColor(const ElementAttrs& e, int& color_index, std::string& color_xml) {
  color_index = ColorIndexOf(e);
  int64_t idx;
  if (e.attrs.size() == 1 && e.attrs[0].first == "indexed" && ParseInt(e.attrs[0].second, idx) &&
      idx >= 0 && idx < 64) {
    return;
  }
  color_xml.clear();
  AppendElement(color_xml, e);
}

void AppendBorderXml(std::string& out, const std::array<BorderLine, host::kBorderSlots>& b) {
  out.append("<border");
  if (b[host::kDiagonalUp].IsSet()) out.append(" diagonalUp=\"1\"");
  if (b[host::kDiagonalDown].IsSet()) out.append(" diagonalDown=\"1\"");
  out.push_back('>');
  auto line = [&](std::string_view name, const BorderLine& l) {
    if (!l.IsSet()) {
      out.append("<").append(name).append("/>");
      return;
    }
    out.append("<").append(name).append(" style=\"").append(LineNameOf(l)).append("\">");
    AppendColor(out, l.color_index, KeptXmlOf(l.file_color));
    out.append("</").append(name).append(">");
  };
  line("left", b[host::kLeft]);
  line("right", b[host::kRight]);
  line("top", b[host::kTop]);
  line("bottom", b[host::kBottom]);
  line("diagonal", b[host::kDiagonalUp].IsSet() ? b[host::kDiagonalUp] : b[host::kDiagonalDown]);
  out.append("</border>");
}

std::array<BorderLine, host::kBorderSlots> ReadBorder(pugi::xml_node node) {
  std::array<BorderLine, host::kBorderSlots> b;
  BorderLine diagonal;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    const std::string_view name = LocalName(c.name());
    BorderLine line;
    const std::string_view style = AttrValue(c, "style", "none");
    for (const LineName& ln : kLines) {
      if (ln.name == style) line.line_style = ln.style, line.weight = ln.weight;
    }
    if (!line.IsSet()) continue;
    std::string color;
    for (const ElementAttrs& e : ChildElements(c)) {
      if (e.name == "color") ReadColor(e, line.color_index, color);
    }
    line.file_color = KeepXml(std::move(color));
    if (name == "left" || name == "start")
      b[host::kLeft] = line;
    else if (name == "right" || name == "end")
      b[host::kRight] = line;
    else if (name == "top")
      b[host::kTop] = line;
    else if (name == "bottom")
      b[host::kBottom] = line;
    else if (name == "diagonal")
      diagonal = line;
  }
  if (diagonal.IsSet()) {
    if (ParseBool(AttrValue(node, "diagonalUp"), false)) b[host::kDiagonalUp] = diagonal;
    if (ParseBool(AttrValue(node, "diagonalDown"), false)) b[host::kDiagonalDown] = diagonal;
  }
  return b;
}

// Alignment names of the file <-> the host's constants, one table each way.
struct AlignmentName {
  std::string_view name;
  int value;
};
constexpr AlignmentName kHorizontal[] = {
    {"left", host::kXlLeft},
    {"center", host::kXlCenter},
    {"right", host::kXlRight},
    {"fill", host::kXlFill},
    {"justify", host::kXlJustify},
    {"centerContinuous", host::kXlCenterAcrossSelection},
    {"distributed", host::kXlDistributed},
};
constexpr AlignmentName kVertical[] = {
    {"top", host::kXlTop},
    {"center", host::kXlCenter},
    {"justify", host::kXlJustify},
    {"distributed", host::kXlDistributed},
};

template <size_t N>
int AlignmentFrom(const AlignmentName (&table)[N], std::string_view name, int fallback) {
  for (const AlignmentName& a : table) {
    if (a.name == name) return a.value;
  }
  return fallback;
}

// "" for the file's default (general, bottom), which is left unwritten.
template <size_t N>
std::string_view AlignmentNameOf(const AlignmentName (&table)[N], int value) {
  for (const AlignmentName& a : table) {
    if (a.value == value) return a.name;
  }
  return "";
}

int HorizontalFrom(std::string_view v) { return AlignmentFrom(kHorizontal, v, host::kXlGeneral); }
std::string_view HorizontalName(int h) { return AlignmentNameOf(kHorizontal, h); }
int VerticalFrom(std::string_view v) { return AlignmentFrom(kVertical, v, host::kXlBottom); }
std::string_view VerticalName(int v) { return AlignmentNameOf(kVertical, v); }

// textRotation of the file <-> Orientation of the host.
int OrientationFrom(int64_t rotation) {
  if (rotation == 255) return host::kXlVertical;
  if (rotation > 90 && rotation <= 180) return static_cast<int>(90 - rotation);
  if (rotation >= 0 && rotation <= 90) return static_cast<int>(rotation);
  return 0;
}

int RotationOf(int orientation) {
  switch (orientation) {
    case host::kXlVertical:
      return 255;
    case host::kXlUpward:
      return 90;
    case host::kXlDownward:
      return 180;
    case host::kXlHorizontal:
      return 0;
    default:
      break;
  }
  if (orientation >= 0 && orientation <= 90) return orientation;
  if (orientation < 0 && orientation >= -90) return 90 - orientation;
  return 0;
}

constexpr char kExtraSeparator = '\x1f';

std::string AttrsText(pugi::xml_node node, std::initializer_list<std::string_view> skip,
                      bool skip_apply) {
  std::string out;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (std::find(skip.begin(), skip.end(), n) != skip.end()) continue;
    if (skip_apply && n.substr(0, 5) == "apply") continue;
    AppendAttr(out, n, a.value());
  }
  return out;
}

Style ReadXf(pugi::xml_node xf, const std::vector<Font>& fonts,
             const std::vector<std::string>& fills,
             const std::vector<std::array<BorderLine, host::kBorderSlots>>& borders,
             const std::map<int, std::string>& formats) {
  Style s;
  int64_t v;
  if (ParseInt(AttrValue(xf, "fontId"), v) && v >= 0 && v < static_cast<int64_t>(fonts.size()))
    s.font = fonts[v];
  else if (!fonts.empty())
    s.font = fonts[0];
  FormatExtras kept;
  if (ParseInt(AttrValue(xf, "fillId"), v) && v > 0 && v < static_cast<int64_t>(fills.size()))
    kept.fill = fills[v];
  if (ParseInt(AttrValue(xf, "borderId"), v) && v >= 0 && v < static_cast<int64_t>(borders.size()))
    s.borders = borders[v];
  if (ParseInt(AttrValue(xf, "numFmtId"), v)) {
    auto it = formats.find(static_cast<int>(v));
    if (it != formats.end())
      s.number_format = it->second;
    else if (!BuiltinNumberFormat(static_cast<int>(v)).empty())
      s.number_format = BuiltinNumberFormat(static_cast<int>(v));
  }
  std::string extra = AttrsText(xf, {"numFmtId", "fontId", "fillId", "borderId"}, true);
  if (AttrValue(xf, "xfId") == "0")
    extra = AttrsText(xf, {"numFmtId", "fontId", "fillId", "borderId", "xfId"}, true);
  std::string align_extra;
  if (pugi::xml_node al = Child(xf, "alignment")) {
    s.horizontal = HorizontalFrom(AttrValue(al, "horizontal"));
    s.vertical = VerticalFrom(AttrValue(al, "vertical"));
    if (ParseInt(AttrValue(al, "textRotation"), v)) s.orientation = OrientationFrom(v);
    s.wrap = ParseBool(AttrValue(al, "wrapText"), false);
    s.shrink = ParseBool(AttrValue(al, "shrinkToFit"), false);
    if (ParseInt(AttrValue(al, "indent"), v) && v >= 0 && v <= 250) s.indent = static_cast<int>(v);
    align_extra = AttrsText(
        al, {"horizontal", "vertical", "textRotation", "wrapText", "shrinkToFit", "indent"}, false);
  }
  if (pugi::xml_node pr = Child(xf, "protection"))
    kept.protection = "<protection" + AttrsText(pr, {}, false) + "/>";
  if (pugi::xml_node ext = Child(xf, "extLst")) kept.ext_list = StandaloneNodeXml(ext);
  if (!align_extra.empty()) extra += kExtraSeparator + align_extra;
  kept.attrs = std::move(extra);
  if (!kept.Empty())
    s.file_extras = host::FileExtrasRef(std::make_shared<const FormatExtras>(std::move(kept)));
  return s;
}

void AppendXf(std::string& out, const Style& s, int num_fmt, int font, int fill, int border) {
  const FormatExtras* kept = FormatExtrasOf(s.file_extras);
  const std::string_view extra = kept ? std::string_view(kept->attrs) : std::string_view();
  const std::string_view protection =
      kept ? std::string_view(kept->protection) : std::string_view();
  const std::string_view ext_list = kept ? std::string_view(kept->ext_list) : std::string_view();
  const size_t sep = extra.find(kExtraSeparator);
  const std::string_view xf_attrs = extra.substr(0, sep);
  const std::string_view align_extra =
      sep == std::string_view::npos ? std::string_view() : extra.substr(sep + 1);
  out.append("<xf");
  AppendAttr(out, "numFmtId", num_fmt);
  AppendAttr(out, "fontId", font);
  AppendAttr(out, "fillId", fill);
  AppendAttr(out, "borderId", border);
  if (xf_attrs.find(" xfId=") == std::string_view::npos) out.append(" xfId=\"0\"");
  out.append(xf_attrs);
  if (num_fmt != 0) out.append(" applyNumberFormat=\"1\"");
  if (font != 0) out.append(" applyFont=\"1\"");
  if (fill != 0) out.append(" applyFill=\"1\"");
  if (border != 0) out.append(" applyBorder=\"1\"");
  std::string align;
  if (!HorizontalName(s.horizontal).empty())
    AppendAttr(align, "horizontal", HorizontalName(s.horizontal));
  if (!VerticalName(s.vertical).empty()) AppendAttr(align, "vertical", VerticalName(s.vertical));
  if (const int r = RotationOf(s.orientation); r != 0) AppendAttr(align, "textRotation", r);
  if (s.wrap) align.append(" wrapText=\"1\"");
  if (s.indent > 0) AppendAttr(align, "indent", s.indent);
  if (s.shrink) align.append(" shrinkToFit=\"1\"");
  align.append(align_extra);
  if (!align.empty()) out.append(" applyAlignment=\"1\"");
  if (!protection.empty()) out.append(" applyProtection=\"1\"");
  if (align.empty() && protection.empty() && ext_list.empty()) {
    out.append("/>");
    return;
  }
  out.push_back('>');
  if (!align.empty()) out.append("<alignment").append(align).append("/>");
  out.append(protection);
  out.append(ext_list);
  out.append("</xf>");
}

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

std::string_view ElementAttrs::Get(std::string_view key) const {
  for (const auto& [k, v] : attrs) {
    if (k == key) return v;
  }
  return {};
}

std::vector<ElementAttrs> ChildElements(pugi::xml_node node) {
  std::vector<ElementAttrs> out;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    ElementAttrs e;
    e.name = LocalName(c.name());
    for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view n = a.name();
      if (n.substr(0, 5) == "xmlns") continue;
      e.attrs.emplace_back(LocalName(n), a.value());
    }
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<ElementAttrs> ChildElements(XmlScanner& sc) {
  std::vector<ElementAttrs> out;
  const int depth = sc.depth();
  for (;;) {
    const auto t = sc.Next();
    if (t == XmlScanner::kEnd && sc.depth() < depth) return out;
    if (t == XmlScanner::kStart && sc.depth() == depth + 1) {
      ElementAttrs e;
      e.name = sc.name();
      for (const auto& a : sc.attrs()) {
        if (a.qname.substr(0, 5) == "xmlns") continue;
        e.attrs.emplace_back(a.name, Unescape(a.raw, &sc));
      }
      out.push_back(std::move(e));
    }
    if (t == XmlScanner::kEof) sc.Error("unexpected end of document");
  }
}

int ColorIndexOf(const ElementAttrs& color) {
  int64_t v;
  if (ParseInt(color.Get("indexed"), v)) {
    if (v >= 0 && v <= 7) return static_cast<int>(v + 1);
    if (v >= 8 && v <= 63) return static_cast<int>(v - 7);
    return host::kXlAutomatic;
  }
  std::string_view rgb = color.Get("rgb");
  if (rgb.size() == 8) rgb.remove_prefix(2);
  if (rgb.size() == 6) {
    uint32_t c = 0;
    for (char ch : rgb) {
      const int h = (ch >= '0' && ch <= '9')   ? ch - '0'
                    : (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10
                    : (ch >= 'A' && ch <= 'F') ? ch - 'A' + 10
                                               : -1;
      if (h < 0) return host::kXlAutomatic;
      c = c * 16 + static_cast<uint32_t>(h);
    }
    int best = 1;
    long best_d = LONG_MAX;
    for (size_t i = 0; i < kPalette.size(); ++i) {
      const long dr = long((c >> 16) & 255) - long((kPalette[i] >> 16) & 255);
      const long dg = long((c >> 8) & 255) - long((kPalette[i] >> 8) & 255);
      const long db = long(c & 255) - long(kPalette[i] & 255);
      const long d = dr * dr + dg * dg + db * db;
      if (d < best_d) best_d = d, best = static_cast<int>(i) + 1;
    }
    return best;
  }
  return host::kXlAutomatic;
}

Font FontFromElements(const std::vector<ElementAttrs>& children, const Font& base) {
  Font f = base;
  std::string kept;  // children the model does not hold, as written
  bool color_seen = false;
  for (const ElementAttrs& e : children) {
    const std::string_view val = e.Get("val");
    const bool on = val.empty() || ParseBool(val, true);
    if (e.name == "b")
      f.bold = on;
    else if (e.name == "i")
      f.italic = on;
    else if (e.name == "strike")
      f.strikethrough = on;
    else if (e.name == "outline")
      f.outline = on;
    else if (e.name == "shadow")
      f.shadow = on;
    else if (e.name == "u") {
      if (val.empty() || val == "single")
        f.underline = host::kXlUnderlineStyleSingle;
      else if (val == "double")
        f.underline = host::kXlUnderlineStyleDouble;
      else if (val == "singleAccounting")
        f.underline = host::kXlUnderlineStyleSingleAccounting;
      else if (val == "doubleAccounting")
        f.underline = host::kXlUnderlineStyleDoubleAccounting;
      else
        f.underline = host::kXlUnderlineStyleNone;
    } else if (e.name == "vertAlign") {
      f.superscript = val == "superscript";
      f.subscript = val == "subscript";
    } else if (e.name == "sz") {
      double d;
      if (ParseDouble(val, d) && d > 0 && d < 1000) f.size = d;
    } else if (e.name == "name" || e.name == "rFont") {
      if (!val.empty()) f.name = std::string(val);
    } else if (e.name == "color") {
      color_seen = true;
      std::string xml;
      ReadColor(e, f.color_index, xml);
      kept += xml;
    } else {
      AppendElement(kept, e);
    }
  }
  if (!color_seen) f.color_index = base.color_index;
  f.file_extras = KeepXml(std::move(kept));
  return f;
}

void AppendFontXml(std::string& out, const Font& f, bool run) {
  out.append(run ? "<rPr>" : "<font>");
  if (f.bold) out.append("<b/>");
  if (f.italic) out.append("<i/>");
  if (f.strikethrough) out.append("<strike/>");
  if (f.outline) out.append("<outline/>");
  if (f.shadow) out.append("<shadow/>");
  switch (f.underline) {
    case host::kXlUnderlineStyleSingle:
      out.append("<u/>");
      break;
    case host::kXlUnderlineStyleDouble:
      out.append("<u val=\"double\"/>");
      break;
    case host::kXlUnderlineStyleSingleAccounting:
      out.append("<u val=\"singleAccounting\"/>");
      break;
    case host::kXlUnderlineStyleDoubleAccounting:
      out.append("<u val=\"doubleAccounting\"/>");
      break;
    default:
      break;
  }
  if (f.superscript)
    out.append("<vertAlign val=\"superscript\"/>");
  else if (f.subscript)
    out.append("<vertAlign val=\"subscript\"/>");
  out.append("<sz");
  AppendAttrNumber(out, "val", f.size);
  out.append("/>");
  const auto pieces = SplitElements(KeptXmlOf(f.file_extras));
  std::string_view color_xml;
  for (std::string_view p : pieces) {
    if (ElementName(p) == "color") color_xml = p;
  }
  AppendColor(out, f.color_index, color_xml);
  out.append(run ? "<rFont" : "<name");
  AppendAttr(out, "val", f.name);
  out.append("/>");
  for (std::string_view p : pieces) {
    if (ElementName(p) != "color") out.append(p);
  }
  out.append(run ? "</rPr>" : "</font>");
}

std::string_view BuiltinNumberFormat(int id) {
  auto it = Builtins().find(id);
  return it == Builtins().end() ? std::string_view() : it->second;
}

std::vector<host::StyleId> ReadStyles(std::string_view xml, std::string_view file,
                                      std::string_view part, host::Workbook& workbook,
                                      StylesCarry& carry) {
  pugi::xml_document doc;
  LoadXml(doc, xml, file, part);
  pugi::xml_node root = doc.document_element();
  carry.root_attrs = RootAttrs(root);

  std::map<int, std::string> formats;
  std::vector<Font> fonts;
  std::vector<std::array<BorderLine, host::kBorderSlots>> borders;
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
        carry.num_fmts.emplace_back(static_cast<int>(id), code);
        carry.format_ids.emplace(code, static_cast<int>(id));
      }
    } else if (name == "fonts") {
      for (pugi::xml_node f = n.first_child(); f; f = f.next_sibling()) {
        if (f.type() != pugi::node_element) continue;
        fonts.push_back(FontFromElements(ChildElements(f), Font{}));
        carry.fonts.push_back(NodeXml(f));
        std::string key;
        AppendFontXml(key, fonts.back(), false);
        carry.font_keys.push_back(std::move(key));
      }
    } else if (name == "fills") {
      for (pugi::xml_node f = n.first_child(); f; f = f.next_sibling()) {
        if (f.type() == pugi::node_element) carry.fills.push_back(NodeXml(f));
      }
    } else if (name == "borders") {
      for (pugi::xml_node b = n.first_child(); b; b = b.next_sibling()) {
        if (b.type() != pugi::node_element) continue;
        borders.push_back(ReadBorder(b));
        carry.borders.push_back(NodeXml(b));
        std::string key;
        AppendBorderXml(key, borders.back());
        carry.border_keys.push_back(std::move(key));
      }
    } else if (name == "cellXfs") {
      cell_xfs = n;
    } else {
      carry.elements.push_back({std::string(name), NodeXml(n)});
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
  Style normal = xfs.empty() ? Style{} : ReadXf(xfs[0], fonts, carry.fills, borders, formats);
  normal.font = fonts[0];
  workbook.styles().SetNormal(normal);
  for (pugi::xml_node x : xfs)
    ids.push_back(workbook.styles().Intern(ReadXf(x, fonts, carry.fills, borders, formats)));
  if (ids.empty()) ids.push_back(host::kDefaultStyle);
  return ids;
}

std::string WriteStyles(const host::Workbook& workbook, const StylesCarry* carry,
                        const Namespaces& ns) {
  const host::StylePool& pool = const_cast<host::Workbook&>(workbook).styles();
  StylesCarry empty;
  const StylesCarry& c = carry ? *carry : empty;

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
    } else if (int b = BuiltinId(s.number_format); b >= 0) {
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
    AppendXf(xfs, s, fmt, fit->second, fill, bit->second);
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
  if (!carry) {
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
