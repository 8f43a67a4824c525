// Font elements: the model's properties, the underline names and the kept children.
#include "core/ooxml/font_xml.h"

#include "core/host/constants.h"
#include "core/ooxml/color_xml.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

// Underline names of the file <-> the host's Underline, one table both ways. <u/> without a
// value is single; any other name (none) is no underline.
struct UnderlineName {
  std::string_view name;
  int value;
};
constexpr UnderlineName kUnderlines[] = {
    {"single", host::kXlUnderlineStyleSingle},
    {"double", host::kXlUnderlineStyleDouble},
    {"singleAccounting", host::kXlUnderlineStyleSingleAccounting},
    {"doubleAccounting", host::kXlUnderlineStyleDoubleAccounting},
};

int UnderlineFrom(std::string_view val) {
  if (val.empty()) return host::kXlUnderlineStyleSingle;
  for (const UnderlineName& u : kUnderlines) {
    if (u.name == val) return u.value;
  }
  return host::kXlUnderlineStyleNone;
}

// "" for no underline.
std::string_view UnderlineNameOf(int underline) {
  for (const UnderlineName& u : kUnderlines) {
    if (u.value == underline) return u.name;
  }
  return "";
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

}  // namespace

host::Font FontFromElements(const std::vector<ElementAttrs>& children, const host::Font& base) {
  host::Font f = base;
  std::string kept;  // children the model does not hold, as written
  bool color_seen = false;
  for (const ElementAttrs& e : children) {
    const std::string_view val = e.Get("val");
    const bool on = val.empty() || ParseBool(val, true);
    if (e.name == "b") {
      f.bold = on;
    } else if (e.name == "i") {
      f.italic = on;
    } else if (e.name == "strike") {
      f.strikethrough = on;
    } else if (e.name == "outline") {
      f.outline = on;
    } else if (e.name == "shadow") {
      f.shadow = on;
    } else if (e.name == "u") {
      f.underline = UnderlineFrom(val);
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
  f.file_extras = MakeXmlExtras(std::move(kept));
  return f;
}

void AppendFontXml(std::string& out, const host::Font& f, bool run) {
  out.append(run ? "<rPr>" : "<font>");
  if (f.bold) out.append("<b/>");
  if (f.italic) out.append("<i/>");
  if (f.strikethrough) out.append("<strike/>");
  if (f.outline) out.append("<outline/>");
  if (f.shadow) out.append("<shadow/>");
  if (const std::string_view u = UnderlineNameOf(f.underline); !u.empty()) {
    // Single is the element's default, written bare as the host writes it.
    out.append(u == "single" ? "<u/>" : "<u val=\"" + std::string(u) + "\"/>");
  }
  if (f.superscript)
    out.append("<vertAlign val=\"superscript\"/>");
  else if (f.subscript)
    out.append("<vertAlign val=\"subscript\"/>");
  out.append("<sz");
  AppendAttrNumber(out, "val", f.size);
  out.append("/>");
  const auto pieces = SplitElements(XmlExtrasOf(f.file_extras));
  std::string_view color_xml;
  for (std::string_view p : pieces) {
    if (ElementName(p) == "color") color_xml = p;
  }
  AppendColorXml(out, f.color_index, color_xml);
  out.append(run ? "<rFont" : "<name");
  AppendAttr(out, "val", f.name);
  out.append("/>");
  for (std::string_view p : pieces) {
    if (ElementName(p) != "color") out.append(p);
  }
  out.append(run ? "</rPr>" : "</font>");
}

}  // namespace tessarin::ooxml
