// Cell format elements: borders, alignment and <xf>, each mapped through one table both ways.
#include "core/ooxml/cell_format_xml.h"

#include <algorithm>

#include "core/host/constants.h"
#include "core/host/number_format.h"
#include "core/ooxml/color_xml.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

using host::BorderLine;
using host::Font;
using host::Style;

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

}  // namespace

void AppendBorderXml(std::string& out, const BorderLines& b) {
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
    AppendColorXml(out, l.color_index, XmlExtrasOf(l.file_color));
    out.append("</").append(name).append(">");
  };
  line("left", b[host::kLeft]);
  line("right", b[host::kRight]);
  line("top", b[host::kTop]);
  line("bottom", b[host::kBottom]);
  line("diagonal", b[host::kDiagonalUp].IsSet() ? b[host::kDiagonalUp] : b[host::kDiagonalDown]);
  out.append("</border>");
}

BorderLines ReadBorder(pugi::xml_node node) {
  BorderLines b;
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
    line.file_color = MakeXmlExtras(std::move(color));
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

Style ReadCellFormat(pugi::xml_node xf, const CellFormatTables& tables) {
  const std::vector<Font>& fonts = tables.fonts;
  const std::vector<std::string>& fills = tables.fills;
  const std::vector<BorderLines>& borders = tables.borders;
  const std::map<int, std::string>& formats = tables.formats;
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
    else if (!host::BuiltinFormatCode(static_cast<int>(v)).empty())
      s.number_format = host::BuiltinFormatCode(static_cast<int>(v));
  }
  kept.xf_attrs = AttrsText(xf, {"numFmtId", "fontId", "fillId", "borderId"}, true);
  if (AttrValue(xf, "xfId") == "0")
    kept.xf_attrs = AttrsText(xf, {"numFmtId", "fontId", "fillId", "borderId", "xfId"}, true);
  if (pugi::xml_node al = Child(xf, "alignment")) {
    s.horizontal = HorizontalFrom(AttrValue(al, "horizontal"));
    s.vertical = VerticalFrom(AttrValue(al, "vertical"));
    if (ParseInt(AttrValue(al, "textRotation"), v)) s.orientation = OrientationFrom(v);
    s.wrap = ParseBool(AttrValue(al, "wrapText"), false);
    s.shrink = ParseBool(AttrValue(al, "shrinkToFit"), false);
    if (ParseInt(AttrValue(al, "indent"), v) && v >= 0 && v <= 250) s.indent = static_cast<int>(v);
    kept.alignment_attrs = AttrsText(
        al, {"horizontal", "vertical", "textRotation", "wrapText", "shrinkToFit", "indent"}, false);
  }
  if (pugi::xml_node pr = Child(xf, "protection"))
    kept.protection = "<protection" + AttrsText(pr, {}, false) + "/>";
  if (pugi::xml_node ext = Child(xf, "extLst")) kept.ext_list = StandaloneNodeXml(ext);
  if (!kept.Empty())
    s.file_extras = host::FileExtrasRef(std::make_shared<const FormatExtras>(std::move(kept)));
  return s;
}

void AppendCellFormatXml(std::string& out, const Style& s, const CellFormatIds& ids) {
  const int num_fmt = ids.num_fmt, font = ids.font, fill = ids.fill, border = ids.border;
  const FormatExtras* kept = FormatExtrasOf(s.file_extras);
  const std::string_view protection =
      kept ? std::string_view(kept->protection) : std::string_view();
  const std::string_view ext_list = kept ? std::string_view(kept->ext_list) : std::string_view();
  const std::string_view xf_attrs = kept ? std::string_view(kept->xf_attrs) : std::string_view();
  const std::string_view align_extra =
      kept ? std::string_view(kept->alignment_attrs) : std::string_view();
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

}  // namespace tessarin::ooxml
