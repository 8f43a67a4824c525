// .xlsx and .xlsm packages: which parts make a workbook, and how they are tied together.
#include "core/ooxml/xlsx.h"

#include <algorithm>
#include <deque>
#include <pugixml.hpp>
#include <set>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"
#include "core/ooxml/carry.h"
#include "core/ooxml/comments_part.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/package.h"
#include "core/ooxml/relationships.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/styles_part.h"
#include "core/ooxml/workbook_part.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {
namespace {

// The workbook's link to its macro project (the "bin" part that holds the code).
bool IsMacroProject(const Relationship& r) {
  const std::string_view kType = "/vbaProject";
  return r.type.size() >= kType.size() &&
         r.type.compare(r.type.size() - kType.size(), kType.size(), kType) == 0;
}

// A sheet part's XML without tabSelected on its first view: the sheet is no longer selected.
std::string WithoutTabSelected(std::string xml) {
  size_t view = std::string::npos;
  for (size_t p = xml.find("sheetView"); p != std::string::npos; p = xml.find("sheetView", p + 9)) {
    const char before = p > 0 ? xml[p - 1] : ' ';
    const char after = p + 9 < xml.size() ? xml[p + 9] : ' ';
    if ((before == '<' || before == ':') && (after == ' ' || after == '/' || after == '>')) {
      view = p;
      break;
    }
  }
  if (view == std::string::npos) return xml;
  const size_t end = xml.find('>', view);
  const size_t attr = xml.find(" tabSelected=", view);
  if (attr == std::string::npos || attr > end || attr + 14 >= xml.size()) return xml;
  const size_t close = xml.find(xml[attr + 13], attr + 14);
  if (close == std::string::npos || close > end) return xml;
  xml.erase(attr, close + 1 - attr);
  return xml;
}

// A streaming source over a part of the package.
XmlScanner::Source StreamOf(PackageReader& pkg, const std::string& part) {
  std::shared_ptr<PackageReader::Stream> stream = pkg.Open(part);
  return [stream](char* out, size_t size) { return stream->Read(out, size); };
}

}  // namespace

bool LooksLikeZip(std::string_view bytes) {
  return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' &&
         ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6));
}

std::unique_ptr<host::Workbook> ReadXlsx(std::string_view bytes, const std::string& file_name,
                                         const ReadLimits& limits) {
  const std::string file(host::BaseName(file_name));
  PackageReader pkg(bytes, file, limits);
  auto book = std::make_unique<host::Workbook>(file);
  auto carry = std::make_shared<PackageExtras>();
  std::set<std::string> consumed;  // parts rebuilt on save, not carried
  auto consume = [&](const std::string& part) { consumed.insert(Lower(part)); };

  const std::string* types_xml = pkg.Find("[Content_Types].xml");
  if (!types_xml)
    Fail(file, "[Content_Types].xml",
         "the part is missing; the file is not an Office Open XML package.");
  carry->content_types = ReadContentTypes(*types_xml, file);
  consume("[Content_Types].xml");

  // The workbook part, through the package relationships.
  std::string workbook_part;
  if (const std::string* root_rels = pkg.Find("_rels/.rels")) {
    for (const Relationship& r : ReadRelationships(*root_rels, file, "_rels/.rels")) {
      if (RelTypeIs(r.type, "officeDocument") && !r.external)
        workbook_part = ResolvePartName("", r.target);
    }
  }
  if (workbook_part.empty() || !pkg.Has(workbook_part)) {
    if (!workbook_part.empty()) Fail(file, workbook_part, "the part is missing from the package.");
    if (!pkg.Has("xl/workbook.xml"))
      Fail(file, "xl/workbook.xml", "the package has no workbook part.");
    workbook_part = "xl/workbook.xml";
  }
  carry->workbook_part = workbook_part;
  carry->workbook_content_type = carry->content_types.TypeOf(workbook_part);
  if (carry->workbook_content_type.empty())
    carry->workbook_content_type = std::string(content_type::kWorkbook);
  if (carry->workbook_content_type != content_type::kWorkbook &&
      carry->workbook_content_type != content_type::kMacroWorkbook &&
      carry->workbook_content_type.find("spreadsheetml") == std::string::npos &&
      carry->workbook_content_type.find("ms-excel") == std::string::npos) {
    Fail(file, workbook_part,
         "the package is not a workbook (its main part is " + carry->workbook_content_type + ").");
  }
  consume(workbook_part);
  WorkbookInfo info = ReadWorkbookPart(pkg.Get(workbook_part), file, workbook_part, *carry);
  if (info.sheets.size() > limits.max_sheets) {
    Fail(file, workbook_part,
         "the workbook lists " + std::to_string(info.sheets.size()) + " sheets, more than the " +
             std::to_string(limits.max_sheets) + " that can be opened.");
  }
  carry->strict = info.strict;
  book->set_date1904(info.date1904);
  book->set_file_format(carry->workbook_content_type == content_type::kMacroWorkbook
                            ? host::FileFormat::kXlsm
                            : host::FileFormat::kXlsx);

  const std::string workbook_rels_part = RelsPartName(workbook_part);
  std::vector<Relationship> wb_rels;
  if (const std::string* x = pkg.Find(workbook_rels_part))
    wb_rels = ReadRelationships(*x, file, workbook_rels_part);
  consume(workbook_rels_part);

  // Styles, then shared strings (whose runs need the default font).
  std::vector<host::StyleId> xf_styles{host::kDefaultStyle};
  if (const Relationship* r = FindRel(wb_rels, "styles")) {
    const std::string part = ResolvePartName(workbook_part, r->target);
    if (const std::string* x = pkg.Find(part)) {
      xf_styles = ReadStyles(*x, file, part, *book, carry->styles);
      consume(part);
    }
  }
  SharedStrings sst;
  if (const Relationship* r = FindRel(wb_rels, "sharedStrings")) {
    const std::string part = ResolvePartName(workbook_part, r->target);
    if (pkg.Has(part)) {
      sst = ReadSharedStrings(StreamOf(pkg, part), file, part, *book);
      consume(part);
    }
  }
  if (const Relationship* r = FindRel(wb_rels, "calcChain"))
    consume(ResolvePartName(workbook_part, r->target));

  const int mdw = MaxDigitWidth(book->default_font());
  uint64_t cell_budget = limits.max_cells;
  std::vector<host::Worksheet*> by_position(info.sheets.size(), nullptr);
  int last_worksheet = -1;
  for (size_t i = 0; i < info.sheets.size(); ++i) {
    const SheetEntry& e = info.sheets[i];
    const Relationship* rel = nullptr;
    for (const Relationship& r : wb_rels) {
      if (r.id == e.rel_id) rel = &r;
    }
    if (!rel)
      Fail(file, workbook_part, "sheet \"" + e.name + "\" has no relationship " + e.rel_id + ".");
    if (!RelTypeIs(rel->type, "worksheet")) {
      OtherSheet o;
      o.name = e.name;
      o.attrs = " sheetId=\"" + std::to_string(e.sheet_id) + "\"" +
                (e.state.empty() ? "" : " state=\"" + e.state + "\"") + e.attrs;
      o.rel = *rel;
      o.position = static_cast<int>(i);
      o.after_position = last_worksheet;
      carry->other_sheets.push_back(std::move(o));
      continue;
    }
    const std::string part = ResolvePartName(workbook_part, rel->target);
    if (!pkg.Has(part))
      Fail(file, part, "the part of sheet \"" + e.name + "\" is missing from the package.");
    consume(part);
    host::Worksheet* sheet =
        &book->AddSheet(book->NearestSheetName(e.name), book->SheetCount() + 1);
    auto sc = std::make_shared<SheetExtras>();
    sc->position = static_cast<int>(i);
    sc->original_name = e.name;
    sc->part_name = part;
    sc->sheet_attrs = " sheetId=\"" + std::to_string(e.sheet_id) + "\"" + e.attrs;
    if (e.state == "hidden") sheet->set_visibility(host::SheetVisibility::kHidden);
    if (e.state == "veryHidden") sheet->set_visibility(host::SheetVisibility::kVeryHidden);

    // The sheet's links: comments and their drawing are rebuilt, the rest kept.
    const std::string rels_part = RelsPartName(part);
    std::vector<Relationship> rels;
    if (const std::string* x = pkg.Find(rels_part)) rels = ReadRelationships(*x, file, rels_part);
    consume(rels_part);
    WorksheetReadContext ctx;
    ctx.file = file;
    ctx.part = part;
    ctx.shared_strings = &sst;
    ctx.xf_styles = &xf_styles;
    ctx.max_digit_width = mdw;
    ctx.date1904 = info.date1904;
    ctx.cell_budget = &cell_budget;
    ReadWorksheet(StreamOf(pkg, part), ctx, *sheet, *sc);

    // The drawing of <legacyDrawing> holds the comment boxes: rebuilt on save with the comments.
    const Relationship* comments_rel = FindRel(rels, "comments");
    const Relationship* vml_rel = nullptr;
    std::string vml_part;
    for (auto it = sc->elements.begin(); it != sc->elements.end(); ++it) {
      if (it->name != "legacyDrawing") continue;
      pugi::xml_document doc;
      if (!doc.load_buffer(it->xml.data(), it->xml.size())) continue;
      const std::string_view id = AttrValue(doc.document_element(), "id");
      for (const Relationship& r : rels) {
        if (r.id == id && RelTypeIs(r.type, "vmlDrawing") && !r.external &&
            pkg.Has(ResolvePartName(part, r.target))) {
          vml_rel = &r;
          vml_part = ResolvePartName(part, r.target);
        }
      }
      if (vml_rel) {
        sc->elements.erase(it);
        break;
      }
    }
    for (const Relationship& r : rels) {
      if (&r != comments_rel && &r != vml_rel) sc->rels.push_back(r);
    }
    if (comments_rel && !comments_rel->external) {
      const std::string cpart = ResolvePartName(part, comments_rel->target);
      if (const std::string* x = pkg.Find(cpart)) {
        ReadComments(*x, file, cpart, *sheet, *sc);
        consume(cpart);
      }
    }
    if (vml_rel) {
      ReadCommentShapes(pkg.Get(vml_part), *sheet, *sc);
      consume(vml_part);
      const std::string vml_rels = RelsPartName(vml_part);
      if (const std::string* x = pkg.Find(vml_rels)) {
        sc->vml_rels = ReadRelationships(*x, file, vml_rels);
        consume(vml_rels);
      }
    }
    sheet->file_extras() = std::move(sc);
    by_position[i] = sheet;
    last_worksheet = static_cast<int>(i);
  }
  if (book->SheetCount() == 0) Fail(file, workbook_part, "the workbook holds no worksheet.");

  // Print areas belong to the sheets; every other name is carried with its sheet index.
  for (DefinedName& n : info.names) {
    if (n.name == "_xlnm.Print_Area" && n.local_sheet >= 0 &&
        n.local_sheet < static_cast<int>(by_position.size()) && by_position[n.local_sheet]) {
      const std::string area = PrintAreaFromFormula(n.formula);
      if (!area.empty()) {
        by_position[n.local_sheet]->page_setup().print_area = area;
        continue;
      }
    }
    carry->defined_names.push_back(std::move(n));
  }
  for (const Relationship& r : wb_rels) {
    if (RelTypeIs(r.type, "worksheet") || RelTypeIs(r.type, "styles") ||
        RelTypeIs(r.type, "sharedStrings") || RelTypeIs(r.type, "calcChain")) {
      continue;
    }
    carry->workbook_rels.push_back(r);
  }
  carry->file_sheet_count = static_cast<int>(info.sheets.size());

  // The active sheet: the file's active tab when it is a worksheet, else the first visible one.
  host::Worksheet* active = info.active_tab < static_cast<int>(by_position.size())
                                ? by_position[info.active_tab]
                                : nullptr;
  if (!active || active->visibility() != host::SheetVisibility::kVisible) {
    active = nullptr;
    for (int i = 1; i <= book->SheetCount() && !active; ++i) {
      if (book->Sheet(i).visibility() == host::SheetVisibility::kVisible) active = &book->Sheet(i);
    }
    if (!active) active = &book->Sheet(1);
  }
  book->set_active_sheet(active);
  carry->first_sheet = info.first_sheet;
  for (const OtherSheet& o : carry->other_sheets) {
    if (o.position == info.active_tab) {
      carry->active_other = o.position;
      carry->active_stand_in = SheetExtrasOf(*active)->position;
    }
  }

  for (const std::string& name : pkg.names()) {
    if (consumed.count(Lower(name))) continue;
    // Parts written back unread stay compressed as they came; they must not carry a document
    // type on to the next program either.
    DoctypeWatch doctype;
    CompressedPart data =
        pkg.TakeCompressed(name, [&](std::string_view piece) { doctype.Feed(piece); });
    if (doctype.found())
      Fail(file, name,
           "the part has a document type declaration (<!DOCTYPE>), which workbook parts never "
           "have.");
    carry->parts.emplace(name, std::move(data));
  }
  book->file_extras() = std::move(carry);
  return book;
}

bool HasMacros(const host::Workbook& workbook) {
  const PackageExtras* carry = PackageExtrasOf(workbook);
  return carry && (carry->workbook_content_type == content_type::kMacroWorkbook ||
                   std::any_of(carry->workbook_rels.begin(), carry->workbook_rels.end(),
                               [](const Relationship& r) { return IsMacroProject(r); }));
}

std::string WriteXlsx(const host::Workbook& workbook, const WriteOptions& options) {
  const ReadLimits& limits = options.limits;
  if (workbook.SheetCount() == 0) {
    throw host::HostError(host::kErrApplicationDefined,
                          "Cannot save " + workbook.name() + ": the workbook has no sheets.");
  }
  auto refuse = [&](const std::string& why) {
    throw host::HostError(host::kErrApplicationDefined,
                          "Cannot save " + workbook.name() + ": " + why + " Nothing was written.");
  };
  const uint64_t sheet_count =
      static_cast<uint64_t>(workbook.SheetCount()) +
      (PackageExtrasOf(workbook) ? PackageExtrasOf(workbook)->other_sheets.size() : 0);
  if (sheet_count > limits.max_sheets) {
    refuse("the workbook has " + std::to_string(sheet_count) +
           " sheets, and a workbook of more than " + std::to_string(limits.max_sheets) +
           " could not be opened again.");
  }
  uint64_t cells = 0;
  for (int i = 1; i <= workbook.SheetCount(); ++i) cells += workbook.Sheet(i).cells().CellCount();
  if (cells > limits.max_cells) {
    refuse("the workbook has " + std::to_string(cells) + " cells, and a workbook of more than " +
           std::to_string(limits.max_cells) + " could not be opened again.");
  }
  const PackageExtras* carry = PackageExtrasOf(workbook);
  const Namespaces& ns = carry && carry->strict ? Namespaces::Strict() : Namespaces::Transitional();
  const std::string rel = std::string(ns.rel_type_prefix);
  const std::string workbook_part = carry ? carry->workbook_part : "xl/workbook.xml";
  const int mdw = MaxDigitWidth(workbook.default_font());

  std::deque<std::string> owned;
  std::vector<ZipEntry> entries;
  std::vector<std::unique_ptr<WorksheetWriter>> writers;
  std::set<std::string> used;  // lower-case names of parts written
  ContentTypes types = carry ? carry->content_types : ContentTypes{};
  auto add = [&](const std::string& name, std::string data, std::string_view type = {}) {
    owned.push_back(std::move(data));
    entries.push_back({name, owned.back(), true, {}, 0});
    used.insert(Lower(name));
    if (!type.empty()) types.SetOverride(name, type);
  };
  auto is_free = [&](const std::string& name) {
    return !used.count(Lower(name)) && !(carry && carry->parts.count(name));
  };
  auto free_name = [&](const std::string& stem, const std::string& ext) {
    for (int n = 1;; ++n) {
      std::string name = stem + std::to_string(n) + ext;
      if (is_free(name)) return name;
    }
  };
  const std::string xl_dir = workbook_part.substr(0, workbook_part.rfind('/') + 1);

  // Reserve the part names of the sheets read from the file first, so new sheets never take them.
  std::vector<std::string> sheet_parts(workbook.SheetCount());
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    const SheetExtras* sc = SheetExtrasOf(workbook.Sheet(i));
    if (sc && !sc->part_name.empty() && is_free(sc->part_name)) {
      sheet_parts[i - 1] = sc->part_name;
      used.insert(Lower(sc->part_name));
    }
  }
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    if (sheet_parts[i - 1].empty()) {
      sheet_parts[i - 1] = free_name(xl_dir + "worksheets/sheet", ".xml");
      used.insert(Lower(sheet_parts[i - 1]));
    }
  }
  // VML id blocks: those of kept shapes first, then fresh ones.
  std::set<int> reserved_blocks;
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    const SheetExtras* sc = SheetExtrasOf(workbook.Sheet(i));
    if (sc && sc->vml_idmap > 0 && !sc->vml_shapes.empty()) reserved_blocks.insert(sc->vml_idmap);
  }
  int next_block = 1;

  // The active sheet must be a visible one, and some sheet must be visible, or the host repairs
  // the file on opening.
  const host::Worksheet* active = workbook.active_sheet();
  const host::Worksheet* first_visible = nullptr;
  for (int i = 1; i <= workbook.SheetCount() && !first_visible; ++i) {
    if (workbook.Sheet(i).visibility() == host::SheetVisibility::kVisible)
      first_visible = &workbook.Sheet(i);
  }
  if (!first_visible) first_visible = &workbook.Sheet(1);
  if (!active || workbook.IndexOf(*active) == 0 ||
      active->visibility() != host::SheetVisibility::kVisible) {
    active = first_visible;
  }

  // A chart sheet the file had active stays active while the worksheet standing in for it does;
  // no worksheet is then selected.
  bool other_active = false;
  if (carry && carry->active_other >= 0) {
    const SheetExtras* e = SheetExtrasOf(*active);
    other_active = e && e->position == carry->active_stand_in &&
                   sheet_parts[workbook.IndexOf(*active) - 1] == e->part_name;
  }

  std::vector<Relationship> wb_rels = carry ? carry->workbook_rels : std::vector<Relationship>{};
  // Without macros: the project, its own links (the signature) and its relationships part go.
  std::set<std::string> dropped;
  if (carry && options.without_macros) {
    for (const Relationship& r : wb_rels) {
      if (!IsMacroProject(r) || r.external) continue;
      const std::string project = ResolvePartName(workbook_part, r.target);
      dropped.insert(Lower(project));
      const std::string project_rels = RelsPartName(project);
      dropped.insert(Lower(project_rels));
      auto it = carry->parts.find(project_rels);
      if (it == carry->parts.end()) continue;
      for (const Relationship& sub :
           ReadRelationships(InflatePart(it->second), workbook.name(), project_rels)) {
        if (!sub.external) dropped.insert(Lower(ResolvePartName(project, sub.target)));
      }
    }
    wb_rels.erase(std::remove_if(wb_rels.begin(), wb_rels.end(),
                                 [](const Relationship& r) { return IsMacroProject(r); }),
                  wb_rels.end());
  }
  int next_rel = 1;
  SharedStringsWriter strings(const_cast<host::Workbook&>(workbook).strings());
  std::vector<SheetOut> sheet_out;
  std::vector<DefinedName> names;
  int active_tab = 0;
  // File positions of the sheets as read -> their position now.
  std::map<int, int> new_position;
  int max_sheet_id = 0;
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    const SheetExtras* sc = SheetExtrasOf(workbook.Sheet(i));
    if (sc) {
      const size_t p = sc->sheet_attrs.find("sheetId=\"");
      if (p != std::string::npos)
        max_sheet_id = std::max(max_sheet_id, std::atoi(sc->sheet_attrs.c_str() + p + 9));
    }
  }
  if (carry) {
    for (const OtherSheet& o : carry->other_sheets) {
      const size_t p = o.attrs.find("sheetId=\"");
      if (p != std::string::npos)
        max_sheet_id = std::max(max_sheet_id, std::atoi(o.attrs.c_str() + p + 9));
    }
  }
  auto emit_other = [&](int after_position) {
    if (!carry) return;
    for (const OtherSheet& o : carry->other_sheets) {
      if (o.after_position != after_position) continue;
      new_position[o.position] = static_cast<int>(sheet_out.size());
      sheet_out.push_back({o.name, o.rel.id, o.attrs});
    }
  };
  emit_other(-1);
  std::set<int> emitted_positions;
  std::vector<std::string> sheet_xml_parts;
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    const host::Worksheet& sheet = workbook.Sheet(i);
    const SheetExtras* sc = SheetExtrasOf(sheet);
    // A sheet copied from another shares its carry; only the first keeps the part's links.
    const bool own_carry = sc && sheet_parts[i - 1] == sc->part_name;
    const SheetExtras* keep = own_carry ? sc : nullptr;
    const std::string& part = sheet_parts[i - 1];
    std::vector<Relationship> rels = keep ? keep->rels : std::vector<Relationship>{};
    int next_sheet_rel = 1;
    WorksheetWriteContext ctx;
    ctx.ns = &ns;
    ctx.max_digit_width = mdw;
    ctx.active = &sheet == active && !other_active;
    const bool notes = HasComments(sheet);
    if (notes || (keep && !keep->vml_shapes.empty())) {
      std::vector<int> blocks;
      const int needed = notes ? CommentShapeBlocks(sheet) : 0;
      while (static_cast<int>(blocks.size()) < needed) {
        if (!reserved_blocks.count(next_block)) blocks.push_back(next_block);
        ++next_block;
      }
      if (blocks.empty()) {
        while (reserved_blocks.count(next_block)) ++next_block;
        blocks.push_back(next_block++);
      }
      const std::string vml = free_name(xl_dir + "drawings/vmlDrawing", ".vml");
      add(vml, WriteCommentShapes(sheet, keep, blocks, mdw));
      types.SetDefault("vml", content_type::kVml);
      if (keep && !keep->vml_rels.empty())
        add(RelsPartName(vml), WriteRelationships(keep->vml_rels));
      ctx.legacy_drawing_id = FreeRelId(rels, next_sheet_rel);
      rels.push_back({ctx.legacy_drawing_id, rel + "vmlDrawing", RelativeTarget(part, vml), false});
      if (notes) {
        const std::string comments = free_name(xl_dir + "comments", ".xml");
        add(comments, WriteComments(sheet, keep, ns), content_type::kComments);
        const std::string id = FreeRelId(rels, next_sheet_rel);
        rels.push_back({id, rel + "comments", RelativeTarget(part, comments), false});
      }
    }
    // Big sheets are generated while the archive is compressed, never held whole.
    WorksheetWriter& writer =
        *writers.emplace_back(std::make_unique<WorksheetWriter>(sheet, keep, strings, ctx));
    ZipEntry entry{part,
                   {},
                   true,
                   [&writer](std::string& out) { return writer.Next(out, 1 << 20); },
                   writer.size()};
    entries.push_back(std::move(entry));
    used.insert(Lower(part));
    types.SetOverride(part, content_type::kWorksheet);
    if (!rels.empty()) add(RelsPartName(part), WriteRelationships(rels));

    const std::string id = FreeRelId(wb_rels, next_rel);
    wb_rels.push_back({id, rel + "worksheet", RelativeTarget(workbook_part, part), false});
    std::string attrs;
    if (own_carry && !emitted_positions.count(sc->position)) {
      attrs = sc->sheet_attrs;
    } else {
      attrs = " sheetId=\"" + std::to_string(++max_sheet_id) + "\"";
    }
    if (&sheet != first_visible) {
      if (sheet.visibility() == host::SheetVisibility::kHidden) attrs += " state=\"hidden\"";
      if (sheet.visibility() == host::SheetVisibility::kVeryHidden)
        attrs += " state=\"veryHidden\"";
    }
    if (&sheet == active) active_tab = static_cast<int>(sheet_out.size());
    if (own_carry) {
      new_position[sc->position] = static_cast<int>(sheet_out.size());
      emitted_positions.insert(sc->position);
    }
    const std::string& print_area = sheet.page_setup().print_area;
    if (!print_area.empty()) {
      const std::string f = PrintAreaFormula(sheet.name(), print_area);
      if (!f.empty())
        names.push_back({"_xlnm.Print_Area", "", static_cast<int>(sheet_out.size()), f});
    }
    sheet_out.push_back({sheet.name(), id, attrs});
    if (own_carry) emit_other(sc->position);
  }
  // Chart sheets whose neighbour went away go last.
  if (carry) {
    for (const OtherSheet& o : carry->other_sheets) {
      if (new_position.count(o.position)) continue;
      new_position[o.position] = static_cast<int>(sheet_out.size());
      sheet_out.push_back({o.name, o.rel.id, o.attrs});
    }
  }

  TabView tabs{active_tab, 0};
  if (carry) {
    if (auto it = new_position.find(carry->first_sheet); it != new_position.end())
      tabs.first_sheet = it->second;
    for (const OtherSheet& o : carry->other_sheets) {
      if (o.position != carry->active_other) continue;
      if (other_active) {
        tabs.active_tab = new_position[o.position];
        continue;
      }
      // Another sheet is active now: the chart sheet's own view must not say it is selected.
      const std::string part = ResolvePartName(workbook_part, o.rel.target);
      if (auto it = carry->parts.find(part); it != carry->parts.end() && !o.rel.external)
        add(part, WithoutTabSelected(InflatePart(it->second)));
    }
  }

  // Carried names: sheet indices follow the sheets, renamed sheets follow their new names.
  if (carry) {
    std::vector<DefinedName> carried;
    for (DefinedName n : carry->defined_names) {
      if (n.local_sheet >= 0) {
        auto it = new_position.find(n.local_sheet);
        if (it == new_position.end()) continue;  // its sheet was deleted
        n.local_sheet = it->second;
      }
      for (int i = 1; i <= workbook.SheetCount(); ++i) {
        const host::Worksheet& s = workbook.Sheet(i);
        const SheetExtras* se = SheetExtrasOf(s);
        if (se && se->original_name != s.name()) {
          n.formula = RenameSheetInFormula(n.formula, se->original_name, s.name());
        }
      }
      carried.push_back(std::move(n));
    }
    // A print area of ours replaces any the file had for the same sheet.
    for (const DefinedName& n : names) {
      carried.erase(std::remove_if(carried.begin(), carried.end(),
                                   [&](const DefinedName& c) {
                                     return c.name == n.name && c.local_sheet == n.local_sheet;
                                   }),
                    carried.end());
    }
    names.insert(names.begin(), carried.begin(), carried.end());
  }

  const std::string styles_part = xl_dir + "styles.xml";
  add(styles_part, WriteStyles(workbook, carry ? &carry->styles : nullptr, ns),
      content_type::kStyles);
  wb_rels.push_back({FreeRelId(wb_rels, next_rel), rel + "styles",
                     RelativeTarget(workbook_part, styles_part), false});
  if (!strings.empty()) {
    const std::string sst_part = xl_dir + "sharedStrings.xml";
    add(sst_part, strings.Finish(ns), content_type::kSharedStrings);
    wb_rels.push_back({FreeRelId(wb_rels, next_rel), rel + "sharedStrings",
                       RelativeTarget(workbook_part, sst_part), false});
  }
  std::string main_type =
      carry ? carry->workbook_content_type : std::string(content_type::kWorkbook);
  if (options.without_macros && main_type == content_type::kMacroWorkbook)
    main_type = content_type::kWorkbook;
  add(workbook_part, WriteWorkbookPart(workbook, carry, sheet_out, tabs, names, ns), main_type);
  add(RelsPartName(workbook_part), WriteRelationships(wb_rels));

  if (!carry || !carry->parts.count("_rels/.rels")) {
    const std::string pkg_rel =
        "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
    std::vector<Relationship> root = {{"rId1", rel + "officeDocument", workbook_part, false}};
    if (!carry || !carry->parts.count("docProps/core.xml")) {
      add("docProps/core.xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
          "<cp:coreProperties "
          "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
          "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
          "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
          "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"/>",
          content_type::kCoreProps);
    }
    root.push_back({"rId2", pkg_rel, "docProps/core.xml", false});
    if (!carry || !carry->parts.count("docProps/app.xml")) {
      add("docProps/app.xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
          "<Properties "
          "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
          "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
          "<Application>Tessarin</Application></Properties>",
          content_type::kAppProps);
    }
    root.push_back({"rId3", rel + "extended-properties", "docProps/app.xml", false});
    add("_rels/.rels", WriteRelationships(root));
  }
  if (carry) {
    for (const auto& [name, data] : carry->parts) {
      if (used.count(Lower(name)) || dropped.count(Lower(name))) continue;
      entries.push_back({name, {}, true, {}, data.size, &data});
      used.insert(Lower(name));
    }
  }

  // Content types: keep overrides only for parts that are still there.
  if (options.without_macros) {
    types.defaults.erase(std::remove_if(types.defaults.begin(), types.defaults.end(),
                                        [](const auto& d) {
                                          return d.second.find("vbaProject") != std::string::npos;
                                        }),
                         types.defaults.end());
  }
  types.SetDefault("rels", content_type::kRels);
  types.SetDefault("xml", content_type::kXml);
  types.overrides.erase(std::remove_if(types.overrides.begin(), types.overrides.end(),
                                       [&](const auto& o) { return !used.count(Lower(o.first)); }),
                        types.overrides.end());
  owned.push_back(WriteContentTypes(types));
  entries.insert(entries.begin(), ZipEntry{"[Content_Types].xml", owned.back(), true, {}, 0});

  // What we save, we must be able to open: the reader's limits, before anything is compressed.
  if (entries.size() > limits.max_entries) {
    refuse("the package would hold " + std::to_string(entries.size()) + " parts, more than the " +
           std::to_string(limits.max_entries) + " that can be opened.");
  }
  uint64_t total = 0;
  for (const ZipEntry& e : entries) {
    const uint64_t size = e.generate || e.compressed ? e.size : e.data.size();
    if (size > limits.max_part_size) {
      refuse("the part " + e.name + " would be " + std::to_string(size >> 20) +
             " MiB, more than the " + std::to_string(limits.max_part_size >> 20) +
             " MiB a part may have to be opened again.");
    }
    total += size;
  }
  if (total > limits.max_total_expanded) {
    refuse("the package would expand to " + std::to_string(total >> 20) + " MiB, more than the " +
           std::to_string(limits.max_total_expanded >> 20) + " MiB that can be opened again.");
  }
  return WriteZip(entries);
}

}  // namespace tessarin::ooxml
