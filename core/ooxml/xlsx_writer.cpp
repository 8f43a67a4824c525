// Writing a workbook as an .xlsx or .xlsm package: the parts in the order a reader needs them,
// each step of WriteXlsx one method of the writer below.
#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <system_error>
#include <thread>

#include "core/host/host_error.h"
#include "core/ooxml/comments_part.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/package.h"
#include "core/ooxml/part_compression.h"
#include "core/ooxml/relationships.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/styles_part.h"
#include "core/ooxml/workbook_part.h"
#include "core/ooxml/worksheet_part.h"
#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {
namespace {

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

constexpr std::string_view kCoreProperties =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<cp:coreProperties "
    "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
    "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"/>";
constexpr std::string_view kAppProperties =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Properties "
    "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
    "<Application>Tessarin</Application></Properties>";

// One save. The parts are collected as zip entries (big sheets as generators that write while
// the archive is compressed); the file's own parts not rebuilt are passed on as they came.
class XlsxWriter {
 public:
  XlsxWriter(const host::Workbook& workbook, const WriteOptions& options)
      : workbook_(workbook),
        options_(options),
        extras_(PackageExtrasOf(workbook)),
        ns_(extras_ && extras_->strict ? Namespaces::Strict() : Namespaces::Transitional()),
        rel_(ns_.rel_type_prefix),
        workbook_part_(extras_ ? extras_->workbook_part : "xl/workbook.xml"),
        xl_dir_(workbook_part_.substr(0, workbook_part_.rfind('/') + 1)),
        mdw_(MaxDigitWidth(workbook.default_font())),
        types_(extras_ ? extras_->content_types : ContentTypes{}),
        strings_(workbook.strings()) {}

  std::string Write() {
    CheckModelLimits();
    NameSheetParts();
    ChooseActiveSheet();
    LeaveOutMacros();
    ChooseStringTable();
    WriteSheets();
    PlaceTabs();
    CollectNames();
    WriteStylesAndStrings();
    WriteWorkbook();
    WritePackageRoot();
    PassOnKeptParts();
    WriteTypes();
    CheckPackageLimits();
    return WriteZip(entries_);
  }

 private:
  [[noreturn]] void Refuse(const std::string& why) const {
    throw host::HostError(host::kErrApplicationDefined,
                          "Cannot save " + workbook_.name() + ": " + why + " Nothing was written.");
  }

  void Add(const std::string& name, std::string data, std::string_view type = {}) {
    owned_.push_back(std::move(data));
    entries_.push_back({name, owned_.back(), true, {}, 0});
    used_.insert(Lower(name));
    if (!type.empty()) types_.SetOverride(name, type);
  }
  bool IsFree(const std::string& name) const {
    return !used_.count(Lower(name)) && !(extras_ && extras_->parts.count(name));
  }
  std::string FreeName(const std::string& stem, const std::string& ext) const {
    for (int n = 1;; ++n) {
      std::string name = stem + std::to_string(n) + ext;
      if (IsFree(name)) return name;
    }
  }
  // The sheet's extras when this sheet owns them: a copy shares its source's, and only the first
  // keeps the part and its links.
  const SheetExtras* OwnExtras(int index) const {
    const SheetExtras* e = SheetExtrasOf(workbook_.Sheet(index));
    return e && sheet_parts_[index - 1] == e->part_name ? e : nullptr;
  }

  // What we save, we must be able to open: the reader's limits on the model, before any part.
  void CheckModelLimits() const {
    const ReadLimits& limits = options_.limits;
    if (workbook_.SheetCount() == 0) {
      throw host::HostError(host::kErrApplicationDefined,
                            "Cannot save " + workbook_.name() + ": the workbook has no sheets.");
    }
    const uint64_t sheet_count = static_cast<uint64_t>(workbook_.SheetCount()) +
                                 (extras_ ? extras_->other_sheets.size() : 0);
    if (sheet_count > limits.max_sheets) {
      Refuse("the workbook has " + std::to_string(sheet_count) +
             " sheets, and a workbook of more than " + std::to_string(limits.max_sheets) +
             " could not be opened again.");
    }
    uint64_t cells = 0;
    for (int i = 1; i <= workbook_.SheetCount(); ++i)
      cells += workbook_.Sheet(i).cells().CellCount();
    if (cells > limits.max_cells) {
      Refuse("the workbook has " + std::to_string(cells) + " cells, and a workbook of more than " +
             std::to_string(limits.max_cells) + " could not be opened again.");
    }
  }

  // The part names of the sheets read from the file first, so new sheets never take them; and
  // the VML id blocks of kept shapes, so new comment drawings never reuse them.
  void NameSheetParts() {
    const int count = workbook_.SheetCount();
    sheet_parts_.assign(count, "");
    for (int i = 1; i <= count; ++i) {
      const SheetExtras* e = SheetExtrasOf(workbook_.Sheet(i));
      if (e && !e->part_name.empty() && IsFree(e->part_name)) {
        sheet_parts_[i - 1] = e->part_name;
        used_.insert(Lower(e->part_name));
      }
    }
    for (int i = 1; i <= count; ++i) {
      if (sheet_parts_[i - 1].empty()) {
        sheet_parts_[i - 1] = FreeName(xl_dir_ + "worksheets/sheet", ".xml");
        used_.insert(Lower(sheet_parts_[i - 1]));
      }
      const SheetExtras* e = SheetExtrasOf(workbook_.Sheet(i));
      if (e && e->vml_idmap > 0 && !e->vml_shapes.empty()) reserved_blocks_.insert(e->vml_idmap);
      if (e) max_sheet_id_ = std::max(max_sheet_id_, e->sheet_id);
    }
    if (extras_) {
      for (const OtherSheet& o : extras_->other_sheets)
        max_sheet_id_ = std::max(max_sheet_id_, o.sheet_id);
    }
  }

  // The active sheet must be a visible one, and some sheet must be visible, or the host repairs
  // the file on opening. A chart sheet the file had active stays active while the worksheet
  // standing in for it does; no worksheet is then selected.
  void ChooseActiveSheet() {
    active_ = workbook_.active_sheet();
    for (int i = 1; i <= workbook_.SheetCount() && !first_visible_; ++i) {
      if (workbook_.Sheet(i).visibility() == host::SheetVisibility::kVisible)
        first_visible_ = &workbook_.Sheet(i);
    }
    if (!first_visible_) first_visible_ = &workbook_.Sheet(1);
    if (!active_ || workbook_.IndexOf(*active_) == 0 ||
        active_->visibility() != host::SheetVisibility::kVisible) {
      active_ = first_visible_;
    }
    if (extras_ && extras_->active_other >= 0) {
      const SheetExtras* e = OwnExtras(workbook_.IndexOf(*active_));
      other_active_ = e && e->position == extras_->active_stand_in;
    }
  }

  // Without macros: the project, its own links (the signature) and its relationships part go.
  void LeaveOutMacros() {
    if (extras_) workbook_rels_ = extras_->workbook_rels;
    if (!extras_ || !options_.without_macros) return;
    for (const Relationship& r : workbook_rels_) {
      if (!IsMacroProject(r) || r.external) continue;
      const std::string project = ResolvePartName(workbook_part_, r.target);
      dropped_.insert(Lower(project));
      const std::string project_rels = RelsPartName(project);
      dropped_.insert(Lower(project_rels));
      auto it = extras_->parts.find(project_rels);
      if (it == extras_->parts.end()) continue;
      for (const Relationship& sub :
           ReadRelationships(InflatePart(it->second), workbook_.name(), project_rels)) {
        if (!sub.external) dropped_.insert(Lower(ResolvePartName(project, sub.target)));
      }
    }
    workbook_rels_.erase(std::remove_if(workbook_rels_.begin(), workbook_rels_.end(),
                                        [](const Relationship& r) { return IsMacroProject(r); }),
                         workbook_rels_.end());
  }

  // The string table read from the file is passed on when the cells still use nearly all of its
  // items and hold few texts it lacks (those are then written in their cells): a table written
  // anew would be no smaller. Decided before any cell is written, as it fixes every index.
  void ChooseStringTable() {
    const KeptStrings* kept = extras_ ? extras_->shared_strings.get() : nullptr;
    if (!options_.keep_string_table || !kept || kept->pool != &workbook_.strings()) return;
    const std::vector<uint32_t>& ids = kept->plain_ids;
    std::vector<uint32_t> item_of =
        SharedStringsWriter::FirstItems(ids, workbook_.strings().size());
    std::vector<bool> used(ids.size(), false);
    uint64_t used_items = 0, in_place_bytes = 0, references = 0;
    for (int i = 1; i <= workbook_.SheetCount(); ++i) {
      const host::Worksheet& sheet = workbook_.Sheet(i);
      sheet.cells().ForEachRow(1, host::kMaxRows, [&](int32_t r, const host::RowData& rd) {
        for (const host::Cell& c : rd.cells) {
          if (c.type != host::ValueType::kText) continue;
          const host::CellExtra* extra = c.has_extra() ? sheet.Extra(r, c.col) : nullptr;
          if (extra && !extra->formula.empty()) continue;
          const bool rich = extra && (!extra->runs.empty() ||
                                      (extra->phonetic && !extra->phonetic->runs.empty()));
          const uint32_t item = c.v.text < item_of.size() ? item_of[c.v.text] : 0;
          if (rich || item == 0) {
            in_place_bytes += workbook_.strings().Get(c.v.text).size() + 32;
            continue;
          }
          ++references;
          if (!used[item - 1]) {
            used[item - 1] = true;
            ++used_items;
          }
        }
      });
    }
    if (in_place_bytes > kept->part.size / 32 || ids.size() - used_items > ids.size() / 16) return;
    strings_.CarryTable(std::move(item_of), static_cast<uint32_t>(ids.size()));
    kept_strings_ = kept;
    StartTableEdit(references);
  }

  // Every cell that refers to the kept table was just counted: the table's start is edited on
  // another core while the sheets are written. PassOnStringTable takes the result only when the
  // sheets made as many references; what the edit threw is thrown there, as if made there.
  void StartTableEdit(uint64_t references) {
    table_edit_references_ = references;
    try {
      table_edit_thread_ = std::jthread([this, references] {
        try {
          table_edit_ = EditTableCounts(references);
        } catch (...) {
          table_edit_error_ = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: the edit is made when the table is passed on.
    }
  }

  // The kept table with its counts written anew: only its first blocks are compressed again.
  std::optional<CompressedPart> EditTableCounts(uint64_t references) const {
    const std::string count = std::to_string(references);
    const std::string unique = std::to_string(kept_strings_->plain_ids.size());
    return EditPartStart(kept_strings_->part, [&](std::string_view start) {
      return TableCountsEdit(start, count, unique);
    });
  }

  // The sheet list in file order: the worksheets of the model, each chart or dialog sheet after
  // the worksheet it followed in the file (those whose neighbour went away last).
  void WriteSheets() {
    ListOtherSheets(-1);
    for (int i = 1; i <= workbook_.SheetCount(); ++i) {
      const SheetExtras* own = OwnExtras(i);
      WriteSheet(i, own);
      if (own) ListOtherSheets(own->position);
    }
    if (!extras_) return;
    for (const OtherSheet& o : extras_->other_sheets) {
      if (new_position_.count(o.position)) continue;
      new_position_[o.position] = static_cast<int>(sheet_list_.size());
      sheet_list_.push_back({o.name, o.rel.id, o.sheet_id, o.state, o.attrs});
    }
  }

  void ListOtherSheets(int after_position) {
    if (!extras_) return;
    for (const OtherSheet& o : extras_->other_sheets) {
      if (o.after_position != after_position) continue;
      new_position_[o.position] = static_cast<int>(sheet_list_.size());
      sheet_list_.push_back({o.name, o.rel.id, o.sheet_id, o.state, o.attrs});
    }
  }

  void WriteSheet(int index, const SheetExtras* own) {
    const host::Worksheet& sheet = workbook_.Sheet(index);
    const std::string& part = sheet_parts_[index - 1];
    std::vector<Relationship> rels = own ? own->rels : std::vector<Relationship>{};
    WorksheetWriteContext ctx;
    ctx.ns = &ns_;
    ctx.max_digit_width = mdw_;
    ctx.active = &sheet == active_ && !other_active_;
    WriteSheetComments(sheet, own, part, rels, ctx);
    // Sheets are written whole while they are measured, within the package's allowance for
    // parts held whole; the others are generated while the archive is compressed.
    const uint64_t keep_below = std::min(kWholePartLimit, whole_allowance_) + 1;
    WorksheetWriter& writer = *writers_.emplace_back(
        std::make_unique<WorksheetWriter>(sheet, own, strings_, ctx, keep_below));
    if (writer.kept()) {
      whole_allowance_ -= writer.size();
      entries_.push_back({part, writer.whole(), true, {}, 0, nullptr, true});
    } else {
      entries_.push_back({part,
                          {},
                          true,
                          [&writer](std::string& out) { return writer.Next(out, 1 << 20); },
                          writer.size()});
    }
    used_.insert(Lower(part));
    types_.SetOverride(part, content_type::kWorksheet);
    if (!rels.empty()) Add(RelsPartName(part), WriteRelationships(rels));

    const std::string id = FreeRelId(workbook_rels_, next_workbook_rel_);
    workbook_rels_.push_back({id, rel_ + "worksheet", RelativeTarget(workbook_part_, part), false});
    SheetOut out{sheet.name(), id, 0, "", ""};
    // The first sheet of a file position keeps its id and attributes; copies get new ids.
    if (own && !listed_positions_.count(own->position)) {
      out.sheet_id = own->sheet_id;
      out.attrs = own->sheet_attrs;
    } else {
      out.sheet_id = ++max_sheet_id_;
    }
    if (&sheet != first_visible_) {
      if (sheet.visibility() == host::SheetVisibility::kHidden) out.state = "hidden";
      if (sheet.visibility() == host::SheetVisibility::kVeryHidden) out.state = "veryHidden";
    }
    const int position = static_cast<int>(sheet_list_.size());
    if (&sheet == active_) active_tab_ = position;
    if (own) {
      new_position_[own->position] = position;
      listed_positions_.insert(own->position);
    }
    const std::string& print_area = sheet.page_setup().print_area;
    if (!print_area.empty()) {
      const std::string f = PrintAreaFormula(sheet.name(), print_area);
      if (!f.empty()) names_.push_back({"_xlnm.Print_Area", "", position, f});
    }
    sheet_list_.push_back(std::move(out));
  }

  // The comments part and the drawing of their boxes (with the kept shapes of other controls).
  void WriteSheetComments(const host::Worksheet& sheet, const SheetExtras* own,
                          const std::string& part, std::vector<Relationship>& rels,
                          WorksheetWriteContext& ctx) {
    const bool notes = HasComments(sheet);
    if (!notes && !(own && !own->vml_shapes.empty())) return;
    int next_sheet_rel = 1;
    std::vector<int> blocks;
    const int needed = notes ? CommentShapeBlocks(sheet) : 0;
    while (static_cast<int>(blocks.size()) < needed) {
      if (!reserved_blocks_.count(next_block_)) blocks.push_back(next_block_);
      ++next_block_;
    }
    if (blocks.empty()) {
      while (reserved_blocks_.count(next_block_)) ++next_block_;
      blocks.push_back(next_block_++);
    }
    const std::string vml = FreeName(xl_dir_ + "drawings/vmlDrawing", ".vml");
    Add(vml, WriteCommentShapes(sheet, own, blocks, mdw_));
    types_.SetDefault("vml", content_type::kVml);
    if (own && !own->vml_rels.empty()) Add(RelsPartName(vml), WriteRelationships(own->vml_rels));
    ctx.legacy_drawing_id = FreeRelId(rels, next_sheet_rel);
    rels.push_back({ctx.legacy_drawing_id, rel_ + "vmlDrawing", RelativeTarget(part, vml), false});
    if (!notes) return;
    const std::string comments = FreeName(xl_dir_ + "comments", ".xml");
    Add(comments, WriteComments(sheet, own, ns_), content_type::kComments);
    const std::string id = FreeRelId(rels, next_sheet_rel);
    rels.push_back({id, rel_ + "comments", RelativeTarget(part, comments), false});
  }

  // The active tab and the first tab shown, at the sheets' new positions; a chart sheet that is
  // no longer active loses the selection its own part records.
  void PlaceTabs() {
    tabs_ = {active_tab_, 0};
    if (!extras_) return;
    if (auto it = new_position_.find(extras_->first_sheet); it != new_position_.end())
      tabs_.first_sheet = it->second;
    for (const OtherSheet& o : extras_->other_sheets) {
      if (o.position != extras_->active_other) continue;
      if (other_active_) {
        tabs_.active_tab = new_position_[o.position];
        continue;
      }
      const std::string part = ResolvePartName(workbook_part_, o.rel.target);
      if (auto it = extras_->parts.find(part); it != extras_->parts.end() && !o.rel.external)
        Add(part, WithoutTabSelected(InflatePart(it->second)));
    }
  }

  // Kept names: sheet indices follow the sheets, renamed sheets follow their new names; a print
  // area of ours replaces any the file had for the same sheet.
  void CollectNames() {
    if (!extras_) return;
    std::vector<DefinedName> kept;
    for (DefinedName n : extras_->defined_names) {
      if (n.local_sheet >= 0) {
        auto it = new_position_.find(n.local_sheet);
        if (it == new_position_.end()) continue;  // its sheet was deleted
        n.local_sheet = it->second;
      }
      for (int i = 1; i <= workbook_.SheetCount(); ++i) {
        const host::Worksheet& s = workbook_.Sheet(i);
        const SheetExtras* e = SheetExtrasOf(s);
        if (e && e->original_name != s.name())
          n.formula = RenameSheetInFormula(n.formula, e->original_name, s.name());
      }
      kept.push_back(std::move(n));
    }
    for (const DefinedName& n : names_) {
      kept.erase(std::remove_if(kept.begin(), kept.end(),
                                [&](const DefinedName& c) {
                                  return c.name == n.name && c.local_sheet == n.local_sheet;
                                }),
                 kept.end());
    }
    names_.insert(names_.begin(), kept.begin(), kept.end());
  }

  void WriteStylesAndStrings() {
    const std::string styles_part = xl_dir_ + "styles.xml";
    Add(styles_part, WriteStyles(workbook_, extras_ ? &extras_->styles : nullptr, ns_),
        content_type::kStyles);
    workbook_rels_.push_back({FreeRelId(workbook_rels_, next_workbook_rel_), rel_ + "styles",
                              RelativeTarget(workbook_part_, styles_part), false});
    if (strings_.empty()) return;
    const std::string sst_part = xl_dir_ + "sharedStrings.xml";
    if (kept_strings_)
      PassOnStringTable(sst_part);
    else
      Add(sst_part, strings_.Finish(ns_), content_type::kSharedStrings);
    workbook_rels_.push_back({FreeRelId(workbook_rels_, next_workbook_rel_), rel_ + "sharedStrings",
                              RelativeTarget(workbook_part_, sst_part), false});
  }

  // The kept table with its counts written anew (see EditTableCounts). Should its bits not allow
  // that, it is inflated and written whole; its items are the same.
  void PassOnStringTable(const std::string& part) {
    std::optional<CompressedPart> amended;
    const bool started = table_edit_thread_.joinable();
    if (started) table_edit_thread_.join();
    if (started && table_edit_references_ == strings_.count()) {
      if (table_edit_error_) std::rethrow_exception(table_edit_error_);
      amended = std::move(table_edit_);
    } else {
      amended = EditTableCounts(strings_.count());
    }
    if (amended) {
      passed_on_.push_back(std::move(*amended));
      entries_.push_back({part, {}, true, {}, passed_on_.back().size, &passed_on_.back()});
      used_.insert(Lower(part));
      types_.SetOverride(part, content_type::kSharedStrings);
      return;
    }
    std::string xml = InflatePart(kept_strings_->part);
    const std::optional<StartEdit> change = TableCountsEdit(
        xml, std::to_string(strings_.count()), std::to_string(kept_strings_->plain_ids.size()));
    if (!change) Refuse("its shared strings could not be written again.");
    xml.replace(0, change->length, change->text);
    Add(part, std::move(xml), content_type::kSharedStrings);
  }

  // The main part keeps the content type it was read with, unless the macros are left out.
  void WriteWorkbook() {
    std::string main_type =
        extras_ ? extras_->workbook_content_type : std::string(content_type::kWorkbook);
    if (options_.without_macros && main_type == content_type::kMacroWorkbook)
      main_type = content_type::kWorkbook;
    Add(workbook_part_, WriteWorkbookPart(workbook_, extras_, sheet_list_, tabs_, names_, ns_),
        main_type);
    Add(RelsPartName(workbook_part_), WriteRelationships(workbook_rels_));
  }

  // The package relationships and document properties, where the file brought none.
  void WritePackageRoot() {
    if (extras_ && extras_->parts.count("_rels/.rels")) return;
    const std::string core_rel =
        "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
    std::vector<Relationship> root = {{"rId1", rel_ + "officeDocument", workbook_part_, false}};
    if (!extras_ || !extras_->parts.count("docProps/core.xml"))
      Add("docProps/core.xml", std::string(kCoreProperties), content_type::kCoreProps);
    root.push_back({"rId2", core_rel, "docProps/core.xml", false});
    if (!extras_ || !extras_->parts.count("docProps/app.xml"))
      Add("docProps/app.xml", std::string(kAppProperties), content_type::kAppProps);
    root.push_back({"rId3", rel_ + "extended-properties", "docProps/app.xml", false});
    Add("_rels/.rels", WriteRelationships(root));
  }

  void PassOnKeptParts() {
    if (!extras_) return;
    for (const auto& [name, data] : extras_->parts) {
      if (used_.count(Lower(name)) || dropped_.count(Lower(name))) continue;
      entries_.push_back({name, {}, true, {}, data.size, &data});
      used_.insert(Lower(name));
    }
  }

  // Content types first in the archive, with overrides only for parts that are still there.
  void WriteTypes() {
    if (options_.without_macros) {
      auto& defaults = types_.defaults;
      defaults.erase(std::remove_if(defaults.begin(), defaults.end(),
                                    [](const auto& d) {
                                      return d.second.find("vbaProject") != std::string::npos;
                                    }),
                     defaults.end());
    }
    types_.SetDefault("rels", content_type::kRels);
    types_.SetDefault("xml", content_type::kXml);
    auto& overrides = types_.overrides;
    overrides.erase(std::remove_if(overrides.begin(), overrides.end(),
                                   [&](const auto& o) { return !used_.count(Lower(o.first)); }),
                    overrides.end());
    owned_.push_back(WriteContentTypes(types_));
    entries_.insert(entries_.begin(), ZipEntry{"[Content_Types].xml", owned_.back(), true, {}, 0});
  }

  // The reader's limits on the package, checked before anything is compressed.
  void CheckPackageLimits() const {
    const ReadLimits& limits = options_.limits;
    if (entries_.size() > limits.max_entries) {
      Refuse("the package would hold " + std::to_string(entries_.size()) +
             " parts, more than the " + std::to_string(limits.max_entries) +
             " that can be opened.");
    }
    uint64_t total = 0;
    for (const ZipEntry& e : entries_) {
      const uint64_t size = e.generate || e.compressed ? e.size : e.data.size();
      if (size > limits.max_part_size) {
        Refuse("the part " + e.name + " would be " + std::to_string(size >> 20) +
               " MiB, more than the " + std::to_string(limits.max_part_size >> 20) +
               " MiB a part may have to be opened again.");
      }
      total += size;
    }
    if (total > limits.max_total_expanded) {
      Refuse("the package would expand to " + std::to_string(total >> 20) + " MiB, more than the " +
             std::to_string(limits.max_total_expanded >> 20) + " MiB that can be opened again.");
    }
  }

  const host::Workbook& workbook_;
  const WriteOptions& options_;
  const PackageExtras* extras_;
  const Namespaces& ns_;
  const std::string rel_;  // relationship type prefix of the flavour
  const std::string workbook_part_;
  const std::string xl_dir_;
  const int mdw_;

  std::deque<std::string> owned_;  // texts the entries point into
  std::vector<ZipEntry> entries_;
  std::vector<std::unique_ptr<WorksheetWriter>> writers_;
  uint64_t whole_allowance_ = kWholePartsLimit;  // bytes of sheets still to be kept whole
  std::set<std::string> used_;                   // lower-case names of parts written
  std::set<std::string> dropped_;                // lower-case names of kept parts left out
  ContentTypes types_;
  SharedStringsWriter strings_;
  const KeptStrings* kept_strings_ = nullptr;  // the table passed on, when it is
  std::deque<CompressedPart> passed_on_;

  std::vector<std::string> sheet_parts_;  // by sheet index - 1
  std::set<int> reserved_blocks_;
  int next_block_ = 1;
  int max_sheet_id_ = 0;
  const host::Worksheet* active_ = nullptr;
  const host::Worksheet* first_visible_ = nullptr;
  bool other_active_ = false;

  std::vector<Relationship> workbook_rels_;
  int next_workbook_rel_ = 1;
  std::vector<SheetOut> sheet_list_;
  std::map<int, int> new_position_;  // file position of a sheet as read -> its position now
  std::set<int> listed_positions_;
  int active_tab_ = 0;
  TabView tabs_;
  std::vector<DefinedName> names_;

  // The kept table's edit made beside the sheets (StartTableEdit). The thread is the last
  // member, so that it is joined before what it writes goes, should a save fail on its way.
  uint64_t table_edit_references_ = 0;
  std::optional<CompressedPart> table_edit_;
  std::exception_ptr table_edit_error_;
  std::jthread table_edit_thread_;
};

}  // namespace

std::string WriteXlsx(const host::Workbook& workbook, const WriteOptions& options) {
  return XlsxWriter(workbook, options).Write();
}

}  // namespace tessarin::ooxml
