// Reading an .xlsx or .xlsm package into the workbook model: each step of ReadXlsx one method of
// the reader below, in the order the parts depend on each other.
#include <pugixml.hpp>
#include <set>
#include <system_error>
#include <thread>

#include "core/host/text_util.h"
#include "core/ooxml/comments_part.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/package.h"
#include "core/ooxml/read_ahead.h"
#include "core/ooxml/relationships.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/styles_part.h"
#include "core/ooxml/workbook_part.h"
#include "core/ooxml/worksheet_part.h"
#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {
namespace {

// Sheets that inflate to more than this are inflated on a thread of their own while they are
// scanned; below it a thread costs more than it saves.
constexpr uint64_t kReadAheadBytes = 1 << 20;

// String tables smaller than this (inflated) are written anew: keeping them saves little.
constexpr uint64_t kKeptStringsMinimum = 1u << 20;

// A streaming source over a part of the package.
XmlScanner::Source StreamOf(PackageReader& pkg, const std::string& part) {
  std::shared_ptr<PackageReader::Stream> stream = pkg.Open(part);
  return [stream](char* out, size_t size) { return stream->Read(out, size); };
}

// The same, inflated ahead when the part is big: two pieces of the scanner ahead, so that the
// next one is being inflated while the last is scanned (with less, the two threads take turns
// instead of running side by side). The scanner asks whole pieces of the read-ahead, so errors
// come where they would without it.
XmlScanner::Source StreamAheadOf(PackageReader& pkg, const std::string& part) {
  XmlScanner::Source source = StreamOf(pkg, part);
  if (pkg.DeclaredSize(part) <= kReadAheadBytes) return source;
  return ReadAhead(std::move(source), XmlScanner::kPieceBytes / 2, 4);
}

// One read. Parts the reader models are consumed (rebuilt on saving); every other part is kept
// in the workbook's extras, still compressed as it came.
class XlsxReader {
 public:
  XlsxReader(std::string_view bytes, const std::string& file_name, const ReadLimits& limits)
      : file_(host::BaseName(file_name)),
        limits_(limits),
        pkg_(bytes, file_, limits),
        book_(std::make_unique<host::Workbook>(file_)),
        extras_(std::make_shared<PackageExtras>()) {}

  ~XlsxReader() {
    if (strings_thread_.joinable()) strings_thread_.join();
  }

  std::unique_ptr<host::Workbook> Read() {
    ReadTypes();
    FindWorkbookPart();
    ReadWorkbook();
    ReadStylesAndStrings();
    try {
      ReadSheets();
    } catch (...) {
      // Read first, the table's own error would have come before the sheets'.
      FinishStrings();
      throw;
    }
    FinishStrings();
    KeepStrings();
    AssignNames();
    ChooseActiveSheet();
    KeepTheRest();
    book_->file_extras() = std::move(extras_);
    return std::move(book_);
  }

 private:
  void Consume(const std::string& part) { consumed_.insert(Lower(part)); }

  void ReadTypes() {
    const std::string* types_xml = pkg_.Find("[Content_Types].xml");
    if (!types_xml) {
      Fail(file_, "[Content_Types].xml",
           "the part is missing; the file is not an Office Open XML package.");
    }
    extras_->content_types = ReadContentTypes(*types_xml, file_);
    Consume("[Content_Types].xml");
  }

  // The workbook part, through the package relationships, and its content type.
  void FindWorkbookPart() {
    if (const std::string* root_rels = pkg_.Find("_rels/.rels")) {
      for (const Relationship& r : ReadRelationships(*root_rels, file_, "_rels/.rels")) {
        if (RelTypeIs(r.type, "officeDocument") && !r.external)
          workbook_part_ = ResolvePartName("", r.target);
      }
    }
    if (workbook_part_.empty() || !pkg_.Has(workbook_part_)) {
      if (!workbook_part_.empty())
        Fail(file_, workbook_part_, "the part is missing from the package.");
      if (!pkg_.Has("xl/workbook.xml"))
        Fail(file_, "xl/workbook.xml", "the package has no workbook part.");
      workbook_part_ = "xl/workbook.xml";
    }
    extras_->workbook_part = workbook_part_;
    std::string& type = extras_->workbook_content_type;
    type = extras_->content_types.TypeOf(workbook_part_);
    if (type.empty()) type = std::string(content_type::kWorkbook);
    if (type != content_type::kWorkbook && type != content_type::kMacroWorkbook &&
        type.find("spreadsheetml") == std::string::npos &&
        type.find("ms-excel") == std::string::npos) {
      Fail(file_, workbook_part_, "the package is not a workbook (its main part is " + type + ").");
    }
    Consume(workbook_part_);
  }

  void ReadWorkbook() {
    info_ = ReadWorkbookPart(pkg_.Get(workbook_part_), file_, workbook_part_, *extras_);
    if (info_.sheets.size() > limits_.max_sheets) {
      Fail(file_, workbook_part_,
           "the workbook lists " + std::to_string(info_.sheets.size()) + " sheets, more than the " +
               std::to_string(limits_.max_sheets) + " that can be opened.");
    }
    extras_->strict = info_.strict;
    book_->set_date1904(info_.date1904);
    book_->set_file_format(extras_->workbook_content_type == content_type::kMacroWorkbook
                               ? host::FileFormat::kXlsm
                               : host::FileFormat::kXlsx);
    const std::string rels_part = RelsPartName(workbook_part_);
    if (const std::string* x = pkg_.Find(rels_part))
      workbook_rels_ = ReadRelationships(*x, file_, rels_part);
    Consume(rels_part);
  }

  // Styles, then shared strings (whose runs need the default font); the calculation chain goes,
  // since formulas may change. The shared strings are read on a thread of their own while the
  // sheets are read (their cells wait for the items they use).
  void ReadStylesAndStrings() {
    if (const Relationship* r = FindRel(workbook_rels_, "styles")) {
      const std::string part = ResolvePartName(workbook_part_, r->target);
      if (const std::string* x = pkg_.Find(part)) {
        xf_styles_ = ReadStyles(*x, file_, part, *book_, extras_->styles);
        Consume(part);
      }
    }
    if (const Relationship* r = FindRel(workbook_rels_, "sharedStrings")) {
      const std::string part = ResolvePartName(workbook_part_, r->target);
      if (pkg_.Has(part)) {
        Consume(part);
        strings_part_ = part;
        shared_strings_.Open();
        auto read = [this, source = StreamOf(pkg_, part), part,
                     base = book_->default_font()]() mutable {
          try {
            ReadSharedStrings(std::move(source), file_, part, base, shared_strings_);
          } catch (...) {
            // Kept by the table for FinishStrings and the cells that wait on it.
          }
        };
        try {
          strings_thread_ = std::thread(read);
        } catch (const std::system_error&) {
          read();  // no thread to be had: the table is read first, as it would be in turn
        }
      }
    }
    if (const Relationship* r = FindRel(workbook_rels_, "calcChain"))
      Consume(ResolvePartName(workbook_part_, r->target));
  }

  // Waits for the shared strings; throws what reading them threw.
  void FinishStrings() {
    if (strings_thread_.joinable()) strings_thread_.join();
    shared_strings_.WaitFinished();
  }

  // A big table, read whole and so proved sound, is kept as stored: a save that adds no item
  // passes it on instead of writing and compressing it again. Taken once the sheets are read
  // and the table's texts are let go, so that the opening's peak holds neither twice.
  void KeepStrings() {
    if (strings_part_.empty()) return;
    shared_strings_.ReleaseTexts();
    CompressedPart stored = pkg_.Stored(strings_part_);
    if (stored.method != 8 || stored.size < kKeptStringsMinimum) return;
    auto kept = std::make_shared<KeptStrings>();
    kept->part = std::move(stored);
    kept->pool = &book_->strings();
    kept->plain_ids = shared_strings_.PlainIds();
    extras_->shared_strings = std::move(kept);
  }

  // Worksheets become sheets of the model; chart and dialog sheets are kept in their place.
  void ReadSheets() {
    by_position_.assign(info_.sheets.size(), nullptr);
    mdw_ = MaxDigitWidth(book_->default_font());
    cell_budget_ = limits_.max_cells;
    int last_worksheet = -1;
    for (size_t i = 0; i < info_.sheets.size(); ++i) {
      const SheetEntry& e = info_.sheets[i];
      const Relationship* rel = nullptr;
      for (const Relationship& r : workbook_rels_) {
        if (r.id == e.rel_id) rel = &r;
      }
      if (!rel)
        Fail(file_, workbook_part_,
             "sheet \"" + e.name + "\" has no relationship " + e.rel_id + ".");
      const int position = static_cast<int>(i);
      if (!RelTypeIs(rel->type, "worksheet")) {
        extras_->other_sheets.push_back(
            {e.name, e.sheet_id, e.state, e.attrs, *rel, position, last_worksheet});
        continue;
      }
      by_position_[i] = &ReadSheet(e, *rel, position);
      last_worksheet = position;
    }
    if (book_->SheetCount() == 0) Fail(file_, workbook_part_, "the workbook holds no worksheet.");
  }

  host::Worksheet& ReadSheet(const SheetEntry& e, const Relationship& rel, int position) {
    const std::string part = ResolvePartName(workbook_part_, rel.target);
    if (!pkg_.Has(part))
      Fail(file_, part, "the part of sheet \"" + e.name + "\" is missing from the package.");
    Consume(part);
    host::Worksheet& sheet =
        book_->AddSheet(book_->NearestSheetName(e.name), book_->SheetCount() + 1);
    auto sheet_extras = std::make_shared<SheetExtras>();
    sheet_extras->position = position;
    sheet_extras->original_name = e.name;
    sheet_extras->part_name = part;
    sheet_extras->sheet_id = e.sheet_id;
    sheet_extras->sheet_attrs = e.attrs;
    if (e.state == "hidden") sheet.set_visibility(host::SheetVisibility::kHidden);
    if (e.state == "veryHidden") sheet.set_visibility(host::SheetVisibility::kVeryHidden);

    const std::string rels_part = RelsPartName(part);
    std::vector<Relationship> rels;
    if (const std::string* x = pkg_.Find(rels_part)) rels = ReadRelationships(*x, file_, rels_part);
    Consume(rels_part);
    WorksheetReadContext ctx;
    ctx.file = file_;
    ctx.part = part;
    ctx.shared_strings = &shared_strings_;
    ctx.xf_styles = &xf_styles_;
    ctx.max_digit_width = mdw_;
    ctx.date1904 = info_.date1904;
    ctx.cell_budget = &cell_budget_;
    ReadWorksheet(StreamAheadOf(pkg_, part), ctx, sheet, *sheet_extras);
    ReadSheetComments(part, rels, sheet, *sheet_extras);
    sheet.file_extras() = std::move(sheet_extras);
    return sheet;
  }

  // The sheet's links: comments and the drawing of their boxes (the drawing <legacyDrawing>
  // names) are rebuilt on saving, every other link kept.
  void ReadSheetComments(const std::string& part, const std::vector<Relationship>& rels,
                         host::Worksheet& sheet, SheetExtras& sheet_extras) {
    const Relationship* comments_rel = FindRel(rels, "comments");
    const Relationship* vml_rel = nullptr;
    std::string vml_part;
    for (auto it = sheet_extras.elements.begin(); it != sheet_extras.elements.end(); ++it) {
      if (it->name != "legacyDrawing") continue;
      pugi::xml_document doc;
      if (!doc.load_buffer(it->xml.data(), it->xml.size())) continue;
      const std::string_view id = AttrValue(doc.document_element(), "id");
      for (const Relationship& r : rels) {
        if (r.id == id && RelTypeIs(r.type, "vmlDrawing") && !r.external &&
            pkg_.Has(ResolvePartName(part, r.target))) {
          vml_rel = &r;
          vml_part = ResolvePartName(part, r.target);
        }
      }
      if (vml_rel) {
        sheet_extras.elements.erase(it);
        break;
      }
    }
    for (const Relationship& r : rels) {
      if (&r != comments_rel && &r != vml_rel) sheet_extras.rels.push_back(r);
    }
    if (comments_rel && !comments_rel->external) {
      const std::string comments_part = ResolvePartName(part, comments_rel->target);
      if (const std::string* x = pkg_.Find(comments_part)) {
        ReadComments(*x, file_, comments_part, sheet, sheet_extras);
        Consume(comments_part);
      }
    }
    if (vml_rel) {
      ReadCommentShapes(pkg_.Get(vml_part), sheet, sheet_extras);
      Consume(vml_part);
      const std::string vml_rels = RelsPartName(vml_part);
      if (const std::string* x = pkg_.Find(vml_rels)) {
        sheet_extras.vml_rels = ReadRelationships(*x, file_, vml_rels);
        Consume(vml_rels);
      }
    }
  }

  // Print areas belong to the sheets; every other name is kept with its sheet's position, and
  // every workbook link but those rebuilt on saving.
  void AssignNames() {
    for (DefinedName& n : info_.names) {
      if (n.name == "_xlnm.Print_Area" && n.local_sheet >= 0 &&
          n.local_sheet < static_cast<int>(by_position_.size()) && by_position_[n.local_sheet]) {
        const std::string area = PrintAreaFromFormula(n.formula);
        if (!area.empty()) {
          by_position_[n.local_sheet]->page_setup().print_area = area;
          continue;
        }
      }
      extras_->defined_names.push_back(std::move(n));
    }
    for (const Relationship& r : workbook_rels_) {
      if (RelTypeIs(r.type, "worksheet") || RelTypeIs(r.type, "styles") ||
          RelTypeIs(r.type, "sharedStrings") || RelTypeIs(r.type, "calcChain")) {
        continue;
      }
      extras_->workbook_rels.push_back(r);
    }
    extras_->file_sheet_count = static_cast<int>(info_.sheets.size());
  }

  // The file's active tab when it is a visible worksheet, else the first visible one; an active
  // chart sheet is remembered with the worksheet standing in for it.
  void ChooseActiveSheet() {
    host::Worksheet* active = info_.active_tab < static_cast<int>(by_position_.size())
                                  ? by_position_[info_.active_tab]
                                  : nullptr;
    if (!active || active->visibility() != host::SheetVisibility::kVisible) {
      active = nullptr;
      for (int i = 1; i <= book_->SheetCount() && !active; ++i) {
        if (book_->Sheet(i).visibility() == host::SheetVisibility::kVisible)
          active = &book_->Sheet(i);
      }
      if (!active) active = &book_->Sheet(1);
    }
    book_->set_active_sheet(active);
    extras_->first_sheet = info_.first_sheet;
    for (const OtherSheet& o : extras_->other_sheets) {
      if (o.position != info_.active_tab) continue;
      extras_->active_other = o.position;
      extras_->active_stand_in = SheetExtrasOf(*active)->position;
    }
  }

  // Parts not read are kept as they came, compressed; they must not extras a document type on to
  // the next program either.
  void KeepTheRest() {
    for (const std::string& name : pkg_.names()) {
      if (consumed_.count(Lower(name))) continue;
      DoctypeWatch doctype;
      CompressedPart data =
          pkg_.TakeCompressed(name, [&](std::string_view piece) { doctype.Feed(piece); });
      if (doctype.found()) {
        Fail(file_, name,
             "the part has a document type declaration (<!DOCTYPE>), which workbook parts never "
             "have.");
      }
      extras_->parts.emplace(name, std::move(data));
    }
  }

  const std::string file_;
  const ReadLimits& limits_;
  PackageReader pkg_;
  std::unique_ptr<host::Workbook> book_;
  std::shared_ptr<PackageExtras> extras_;
  std::set<std::string> consumed_;  // lower-case names of parts rebuilt on saving
  std::string workbook_part_;
  WorkbookInfo info_;
  std::vector<Relationship> workbook_rels_;
  std::vector<host::StyleId> xf_styles_{host::kDefaultStyle};
  SharedStrings shared_strings_;
  std::string strings_part_;  // the shared strings part, when there is one
  int mdw_ = 8;
  uint64_t cell_budget_ = 0;
  std::vector<host::Worksheet*> by_position_;  // worksheets by file position, null for others
  // Reads shared_strings_ from the package; joined before either goes.
  std::thread strings_thread_;
};

}  // namespace

std::unique_ptr<host::Workbook> ReadXlsx(std::string_view bytes, const std::string& file_name,
                                         const ReadLimits& limits) {
  return XlsxReader(bytes, file_name, limits).Read();
}

}  // namespace tessarin::ooxml
