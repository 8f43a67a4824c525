// The workbook part: the sheet list and the workbook-wide settings around it.
#include "core/ooxml/workbook_part.h"

#include <algorithm>
#include <pugixml.hpp>

#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

constexpr std::string_view kWorkbookOrder[] = {"fileVersion",    "fileSharing",
                                               "workbookPr",     "workbookProtection",
                                               "bookViews",      "sheets",
                                               "functionGroups", "externalReferences",
                                               "definedNames",   "calcPr",
                                               "oleSize",        "customWorkbookViews",
                                               "pivotCaches",    "smartTagPr",
                                               "smartTagTypes",  "webPublishing",
                                               "fileRecoveryPr", "webPublishObjects",
                                               "extLst"};

constexpr int WorkbookRank(std::string_view name) {
  for (size_t i = 0; i < std::size(kWorkbookOrder); ++i) {
    if (kWorkbookOrder[i] == name) return static_cast<int>(i);
  }
  return -1;
}

std::string AttrsExcept(pugi::xml_node n, std::initializer_list<std::string_view> skip) {
  std::string out;
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view name = a.name();
    if (name.substr(0, 5) != "xmlns" &&
        std::find(skip.begin(), skip.end(), LocalName(name)) != skip.end())
      continue;
    AppendAttr(out, name, a.value());
  }
  return out;
}

// Splits a formula at top-level commas (outside quotes).
std::vector<std::string_view> SplitAreas(std::string_view f) {
  std::vector<std::string_view> out;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '\'')
      quoted = !quoted;
    else if (f[i] == ',' && !quoted) {
      out.push_back(f.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(f.substr(start));
  return out;
}

bool IsPlainIdent(std::string_view name) {
  if (name.empty()) return false;
  const char c0 = name[0];
  if (!((c0 >= 'A' && c0 <= 'Z') || (c0 >= 'a' && c0 <= 'z') || c0 == '_')) return false;
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
          c == '.'))
      return false;
  }
  int32_t r, col;
  if (ParseCellRef(name, r, col)) return false;
  // R1C1-looking names need quotes too.
  if ((c0 == 'R' || c0 == 'r' || c0 == 'C' || c0 == 'c') &&
      name.find_first_not_of("RrCc0123456789") == std::string_view::npos)
    return false;
  return true;
}

}  // namespace

std::string QuoteSheetName(std::string_view name) {
  if (IsPlainIdent(name)) return std::string(name);
  std::string out = "'";
  for (char c : name) {
    if (c == '\'')
      out += "''";
    else
      out += c;
  }
  return out + "'";
}

std::string PrintAreaFromFormula(std::string_view formula) {
  std::string out;
  for (std::string_view piece : SplitAreas(formula)) {
    // Drop the sheet qualifier: everything up to the last '!' outside quotes.
    bool quoted = false;
    size_t bang = std::string_view::npos;
    for (size_t i = 0; i < piece.size(); ++i) {
      if (piece[i] == '\'')
        quoted = !quoted;
      else if (piece[i] == '!' && !quoted)
        bang = i;
    }
    std::string ref(bang == std::string_view::npos ? piece : piece.substr(bang + 1));
    ref.erase(std::remove(ref.begin(), ref.end(), '$'), ref.end());
    host::Area a;
    if (!ParseArea(ref, a)) return {};
    if (!out.empty()) out += ',';
    out += AreaText(a);
  }
  return out;
}

std::string PrintAreaFormula(std::string_view sheet, std::string_view print_area) {
  std::string out;
  const std::string qualifier = QuoteSheetName(sheet) + "!";
  for (std::string_view piece : SplitAreas(print_area)) {
    std::string ref(
        piece.substr(piece.rfind('!') == std::string_view::npos ? 0 : piece.rfind('!') + 1));
    ref.erase(std::remove(ref.begin(), ref.end(), '$'), ref.end());
    host::Area a;
    if (!ParseArea(ref, a)) continue;
    if (!out.empty()) out += ',';
    out += qualifier;
    auto col = [&](int32_t c) {
      out += '$';
      AppendColumnName(out, c);
    };
    auto row = [&](int32_t r) {
      out += '$';
      AppendInt(out, r);
    };
    if (a.IsWholeRows() && !a.IsWholeColumns()) {
      row(a.top), out += ':', row(a.bottom);
    } else if (a.IsWholeColumns() && !a.IsWholeRows()) {
      col(a.left), out += ':', col(a.right);
    } else {
      col(a.left), row(a.top);
      if (a.CellCount() > 1) out += ':', col(a.right), row(a.bottom);
    }
  }
  return out;
}

std::string RenameSheetInFormula(std::string_view f, std::string_view from, std::string_view to) {
  const std::string quoted_from = [&] {
    std::string q = "'";
    for (char c : from) q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'!";
  }();
  const std::string plain_from = std::string(from) + "!";
  const std::string replacement = QuoteSheetName(to) + "!";
  std::string out;
  size_t i = 0;
  bool in_string = false;
  while (i < f.size()) {
    if (f[i] == '"') {
      in_string = !in_string;
      out += f[i++];
      continue;
    }
    if (!in_string && f.compare(i, quoted_from.size(), quoted_from) == 0) {
      out += replacement;
      i += quoted_from.size();
      continue;
    }
    const bool boundary = i == 0 || !(std::isalnum(static_cast<unsigned char>(f[i - 1])) ||
                                      f[i - 1] == '_' || f[i - 1] == '.' || f[i - 1] == '\'' ||
                                      static_cast<unsigned char>(f[i - 1]) >= 0x80);
    if (!in_string && boundary && f.compare(i, plain_from.size(), plain_from) == 0) {
      out += replacement;
      i += plain_from.size();
      continue;
    }
    out += f[i++];
  }
  return out;
}

WorkbookInfo ReadWorkbookPart(std::string_view xml, std::string_view file, std::string_view part,
                              PackageExtras& extras) {
  pugi::xml_document doc;
  LoadXml(doc, xml, file, part);
  pugi::xml_node root = doc.document_element();
  if (LocalName(root.name()) != "workbook") {
    Fail(file, part, "the root element is <" + std::string(root.name()) + ">, not <workbook>.");
  }
  WorkbookInfo info;
  {
    const std::string_view rn = root.name();
    const size_t colon = rn.find(':');
    const std::string decl =
        colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(rn.substr(0, colon));
    info.strict =
        std::string_view(root.attribute(decl.c_str()).value()) == Namespaces::Strict().main;
  }
  for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (n == "xmlns" || n == "xmlns:r") continue;
    AppendAttr(extras.workbook_root_attrs, n, a.value());
  }
  bool have_sheets = false;
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    const std::string_view name = LocalName(n.name());
    if (name == "workbookPr") {
      info.date1904 = ParseBool(AttrValue(n, "date1904"), false);
      extras.workbook_pr_attrs = AttrsExcept(n, {"date1904"});
    } else if (name == "bookViews") {
      bool first = true;
      for (pugi::xml_node v = n.first_child(); v; v = v.next_sibling()) {
        if (v.type() != pugi::node_element) continue;
        if (first) {
          int64_t tab;
          if (ParseInt(AttrValue(v, "activeTab"), tab) && tab >= 0 && tab < 65536)
            info.active_tab = static_cast<int>(tab);
          if (ParseInt(AttrValue(v, "firstSheet"), tab) && tab >= 0 && tab < 65536)
            info.first_sheet = static_cast<int>(tab);
          extras.workbook_view_attrs = AttrsExcept(v, {"activeTab", "firstSheet"});
          first = false;
        } else {
          extras.more_workbook_views += NodeXml(v);
        }
      }
    } else if (name == "sheets") {
      have_sheets = true;
      for (pugi::xml_node s = n.first_child(); s; s = s.next_sibling()) {
        if (LocalName(s.name()) != "sheet") continue;
        SheetEntry e;
        e.name = AttrValue(s, "name");
        e.rel_id = AttrValue(s, "id");
        e.state = AttrValue(s, "state");
        int64_t id;
        if (ParseInt(AttrValue(s, "sheetId"), id) && id > 0 && id < (1 << 30))
          e.sheet_id = static_cast<int>(id);
        e.attrs = AttrsExcept(s, {"name", "id", "state", "sheetId"});
        info.sheets.push_back(std::move(e));
      }
    } else if (name == "definedNames") {
      for (pugi::xml_node d = n.first_child(); d; d = d.next_sibling()) {
        if (LocalName(d.name()) != "definedName") continue;
        DefinedName dn;
        dn.name = AttrValue(d, "name");
        int64_t local;
        if (ParseInt(AttrValue(d, "localSheetId"), local) && local >= 0 && local < 65536)
          dn.local_sheet = static_cast<int>(local);
        dn.attrs = AttrsExcept(d, {"name", "localSheetId"});
        dn.formula = d.text().get();
        info.names.push_back(std::move(dn));
      }
    } else {
      extras.workbook_children.push_back({std::string(name), NodeXml(n)});
    }
  }
  if (!have_sheets || info.sheets.empty()) Fail(file, part, "the workbook lists no sheets.");
  return info;
}

std::string WriteWorkbookPart(const host::Workbook& workbook, const PackageExtras* extras,
                              const std::vector<SheetOut>& sheets, const TabView& tabs,
                              const std::vector<DefinedName>& names, const Namespaces& ns) {
  std::vector<std::pair<int, std::string>> parts;
  {
    std::string p = "<workbookPr";
    if (workbook.date1904()) p += " date1904=\"1\"";
    if (extras) p += extras->workbook_pr_attrs;
    parts.emplace_back(WorkbookRank("workbookPr"), p + "/>");
  }
  {
    std::string v = "<bookViews><workbookView";
    if (extras && !extras->workbook_view_attrs.empty()) {
      v += extras->workbook_view_attrs;
    } else {
      v += " xWindow=\"0\" yWindow=\"0\" windowWidth=\"16384\" windowHeight=\"8192\"";
    }
    if (tabs.first_sheet > 0) AppendAttr(v, "firstSheet", tabs.first_sheet);
    if (tabs.active_tab > 0) AppendAttr(v, "activeTab", tabs.active_tab);
    v += "/>";
    if (extras) v += extras->more_workbook_views;
    parts.emplace_back(WorkbookRank("bookViews"), v + "</bookViews>");
  }
  {
    std::string s = "<sheets>";
    for (const SheetOut& o : sheets) {
      s += "<sheet";
      AppendAttr(s, "name", o.name);
      AppendAttr(s, "sheetId", o.sheet_id);
      if (!o.state.empty()) AppendAttr(s, "state", o.state);
      s += o.attrs;
      AppendAttr(s, "r:id", o.rel_id);
      s += "/>";
    }
    parts.emplace_back(WorkbookRank("sheets"), s + "</sheets>");
  }
  if (!names.empty()) {
    std::string d = "<definedNames>";
    for (const DefinedName& n : names) {
      d += "<definedName";
      AppendAttr(d, "name", n.name);
      if (n.local_sheet >= 0) AppendAttr(d, "localSheetId", n.local_sheet);
      d += n.attrs;
      d += ">";
      AppendEscaped(d, n.formula);
      d += "</definedName>";
    }
    parts.emplace_back(WorkbookRank("definedNames"), d + "</definedNames>");
  }
  bool have_calc = false;
  if (extras) {
    int last = 0;
    for (const RawElement& e : extras->workbook_children) {
      int rank = WorkbookRank(e.name);
      if (rank < 0) rank = last;
      last = rank;
      have_calc |= e.name == "calcPr";
      parts.emplace_back(rank, e.xml);
    }
  }
  if (!have_calc) parts.emplace_back(WorkbookRank("calcPr"), "<calcPr calcId=\"191029\"/>");
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<workbook";
  AppendAttr(out, "xmlns", ns.main);
  AppendAttr(out, "xmlns:r", ns.relationships);
  if (extras) out += extras->workbook_root_attrs;
  out += ">";
  for (const auto& [rank, x] : parts) out += x;
  out += "</workbook>";
  return out;
}

}  // namespace tessarin::ooxml
