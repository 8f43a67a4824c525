// <rowBreaks>: manual page breaks.
#include "core/ooxml/page_breaks.h"

#include "core/host/geometry.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

void ReadRowBreaks(pugi::xml_node row_breaks, host::Worksheet& sheet) {
  for (pugi::xml_node brk = row_breaks.first_child(); brk; brk = brk.next_sibling()) {
    if (LocalName(brk.name()) != "brk" || !ParseBool(AttrValue(brk, "man"), false)) continue;
    int64_t id = 0;
    if (!ParseInt(AttrValue(brk, "id"), id) || id < 1 || id >= host::kMaxRows) continue;
    sheet.AddRowBreak(static_cast<int32_t>(id + 1));
  }
}

std::string RowBreaksXml(const host::Worksheet& sheet) {
  const std::vector<int32_t>& breaks = sheet.row_breaks();
  if (breaks.empty()) return "";
  std::string out = "<rowBreaks";
  AppendAttr(out, "count", static_cast<int64_t>(breaks.size()));
  AppendAttr(out, "manualBreakCount", static_cast<int64_t>(breaks.size()));
  out += ">";
  for (int32_t row : breaks) {
    out += "<brk";
    AppendAttr(out, "id", int64_t{row} - 1);
    AppendAttr(out, "max", int64_t{host::kMaxColumns} - 1);
    AppendAttr(out, "man", int64_t{1});
    out += "/>";
  }
  return out + "</rowBreaks>";
}

}  // namespace tessarin::ooxml
