// Range: addressing, values, selection, the clipboard, row heights and column widths, comments
// and phonetic guides. Formats are in range_format.cpp.
#include "core/host/range.h"

#include <algorithm>
#include <cmath>

#include "core/host/application.h"
#include "core/host/clipboard.h"
#include "core/host/formula_refs.h"
#include "core/host/host_error.h"
#include "core/host/number_format.h"
#include "core/host/runtime.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

// More cells than this in one value write would exhaust memory long before it finished.
constexpr int64_t kMaxCellsPerWrite = 16 * 1024 * 1024;

[[noreturn]] void Fail(std::string msg) { throw HostError(kErrApplicationDefined, std::move(msg)); }

[[noreturn]] void OutsideSheet(const char* what) {
  Fail(std::string(what) +
       ": the reference lies outside the sheet (rows 1 to 1048576, columns A to XFD).");
}

Area Checked(int64_t top, int64_t left, int64_t bottom, int64_t right, const char* what) {
  if (!IsValidCell(top, left) || !IsValidCell(bottom, right)) OutsideSheet(what);
  return {static_cast<int32_t>(top), static_cast<int32_t>(left), static_cast<int32_t>(bottom),
          static_cast<int32_t>(right)};
}

StyleId Background(const Worksheet& sheet, const RowData& rd, int32_t col) {
  if (rd.has_style) return rd.style;
  const ColumnInfo* ci = sheet.Column(col);
  return (ci && ci->has_style) ? ci->style : kDefaultStyle;
}

bool HasTextSection(std::string_view code) {
  // Most cells keep the default code: asked for every cell of a column, it is answered at once.
  if (code == "General") return false;
  return code.find('@') != std::string_view::npos || code.find(';') != std::string_view::npos;
}

// The host's Application for a sheet, or HostError 1004 naming what needed it.
Application& AppOf(const Worksheet& sheet, const char* what) {
  Application* app = sheet.workbook().application();
  if (!app) Fail(std::string(what) + " failed: the workbook is not open in the application.");
  return *app;
}

void CheckActive(const Worksheet& sheet, const char* what) {
  const Workbook& wb = sheet.workbook();
  const Application* app = wb.application();
  if (wb.active_sheet() != &sheet || (app && app->active_workbook() != &wb)) {
    Fail(std::string(what) + " method of Range class failed: sheet \"" + sheet.name() +
         "\" is not the active sheet.");
  }
}

double ToNumberOr13(std::string_view text) {
  const std::optional<double> v = ParseNumber(text);
  if (!v)
    throw HostError(kErrTypeMismatch,
                    "Type mismatch: \"" + std::string(text) + "\" is not a number.");
  return *v;
}

std::string ConstantText(const CellValue& v) {
  switch (v.type) {
    case ValueType::kEmpty:
      return "";
    case ValueType::kNumber:
      return NumberToText(v.number);
    case ValueType::kText:
      return v.text;
    case ValueType::kBoolean:
      return v.boolean ? "TRUE" : "FALSE";
    case ValueType::kError:
      return std::string(CellErrorText(v.error));
  }
  return "";
}

}  // namespace

// --- Addressing ---

Range Range::All(Worksheet& sheet) { return Range(sheet, Area{1, 1, kMaxRows, kMaxColumns}); }

void Range::ThrowOutsideSheet(const char* what) { OutsideSheet(what); }

Range Range::SubRange(std::string_view address) const {
  const AreaList parsed = ParseAddress(address);
  const Area& base = areas_.front();
  const int64_t dr = base.top - 1, dc = base.left - 1;
  AreaList out;
  for (const Area& a : parsed) {
    if (a.IsWholeRows() && a.IsWholeColumns()) {
      out.push_back(a);
    } else if (a.IsWholeRows()) {
      out.push_back(Checked(a.top + dr, 1, a.bottom + dr, kMaxColumns, "Range"));
    } else if (a.IsWholeColumns()) {
      out.push_back(Checked(1, a.left + dc, kMaxRows, a.right + dc, "Range"));
    } else {
      out.push_back(Checked(a.top + dr, a.left + dc, a.bottom + dr, a.right + dc, "Range"));
    }
  }
  return Range(*sheet_, out);
}

Range Range::Span(const Range& from, const Range& to) {
  if (from.sheet_ != to.sheet_) Fail("Range: the two cells are on different sheets.");
  const Area& a = from.areas_.front();
  const Area& b = to.areas_.front();
  return Range(*from.sheet_, Area{std::min(a.top, b.top), std::min(a.left, b.left),
                                  std::max(a.bottom, b.bottom), std::max(a.right, b.right)});
}

Range Range::Offset(int64_t rows, int64_t cols) const {
  AreaList out;
  for (const Area& a : areas_) {
    out.push_back(Checked(a.top + rows, a.left + cols, a.bottom + rows, a.right + cols, "Offset"));
  }
  return Range(*sheet_, out, kind_);
}

Range Range::Item(int64_t index) const {
  if (index < 1) throw HostError(kErrApplicationDefined, "Item: the index must be 1 or more.");
  const Area& a = areas_.front();
  switch (kind_) {
    case Kind::kRows: {
      const int64_t r = a.top + index - 1;
      return Range(*sheet_, Checked(r, a.left, r, a.right, "Rows"), Kind::kRows);
    }
    case Kind::kColumns: {
      const int64_t c = a.left + index - 1;
      return Range(*sheet_, Checked(a.top, c, a.bottom, c, "Columns"), Kind::kColumns);
    }
    case Kind::kCells:
      break;
  }
  const int64_t cols = a.Columns();
  return Cells((index - 1) / cols + 1, (index - 1) % cols + 1);
}

Range Range::EntireRow() const {
  AreaList out;
  for (const Area& a : areas_) out.push_back(Area{a.top, 1, a.bottom, kMaxColumns});
  return Range(*sheet_, out, Kind::kRows);
}

Range Range::EntireColumn() const {
  AreaList out;
  for (const Area& a : areas_) out.push_back(Area{1, a.left, kMaxRows, a.right});
  return Range(*sheet_, out, Kind::kColumns);
}

int64_t Range::Count() const {
  switch (kind_) {
    case Kind::kRows:
      return areas_.front().Rows();
    case Kind::kColumns:
      return areas_.front().Columns();
    case Kind::kCells:
      break;
  }
  return areas_.CellCount();
}

Range Range::Areas(int index) const {
  if (index < 1 || index > AreasCount()) {
    throw HostError(kErrSubscriptOutOfRange, "Subscript out of range: the range has " +
                                                 std::to_string(AreasCount()) + " areas.");
  }
  return Range(*sheet_, areas_[index - 1]);
}

std::string Range::Address(int reference_style, bool absolute) const {
  if (reference_style == kXlA1) return FormatA1(areas_, absolute);
  if (reference_style == kXlR1C1) return FormatR1C1(areas_);
  throw HostError(kErrInvalidProcedureCall,
                  "Address: unknown reference style " + std::to_string(reference_style) + ".");
}

// --- Values ---

CellValue Range::Value() const { return sheet_->Value(Row(), Column()); }

void Range::SetValue(const CellValue& value) const {
  sheet_->CheckWritable();
  if (value.IsEmpty()) {  // the host's Value = Empty is ClearContents
    ClearContents();
    return;
  }
  if (areas_.CellCount() > kMaxCellsPerWrite) {
    throw HostError(kErrOutOfMemory,
                    "Not enough memory to write " + std::to_string(areas_.CellCount()) + " cells.");
  }
  for (const Area& a : areas_) {
    for (int32_t r = a.top; r <= a.bottom; ++r) {
      for (int32_t c = a.left; c <= a.right; ++c) sheet_->SetValue(r, c, value);
    }
  }
}

void Range::SetNumber(double value) const {
  if (IsSingleCell()) {
    sheet_->CheckWritable();
    sheet_->SetNumber(Row(), Column(), value);
    return;
  }
  SetValue(CellValue::Number(value));
}

void Range::SetText(std::string_view text) const {
  if (IsSingleCell()) {
    sheet_->CheckWritable();
    sheet_->SetText(Row(), Column(), text);
    return;
  }
  SetValue(CellValue::Text(std::string(text)));
}

std::string Range::Text() const { return DisplayedText(*sheet_, Row(), Column()); }

std::string DisplayedText(const Worksheet& sheet, int32_t row, int32_t col) {
  const Cell* c = sheet.cells().Find(row, col);
  if (!c) return "";
  const std::string& code = sheet.styles().Get(c->style).number_format;
  switch (c->type) {
    case ValueType::kEmpty:
      return "";
    case ValueType::kNumber:
      return FormatNumber(c->v.number, code, sheet.workbook().date1904());
    case ValueType::kText: {
      const std::string_view text = sheet.strings().Get(c->v.text);
      return HasTextSection(code) ? FormatText(text, code) : std::string(text);
    }
    case ValueType::kBoolean:
      return c->v.boolean ? "TRUE" : "FALSE";
    case ValueType::kError:
      return std::string(CellErrorText(c->v.error));
  }
  return "";
}

bool ShowsNothing(const Worksheet& sheet, int32_t row, int32_t col) {
  const Cell* c = sheet.cells().Find(row, col);
  if (!c || c->type == ValueType::kEmpty) return true;
  if (c->type == ValueType::kText && !HasTextSection(sheet.styles().Get(c->style).number_format))
    return sheet.strings().Get(c->v.text).empty();
  return DisplayedText(sheet, row, col).empty();
}

std::string Range::Formula() const {
  const CellExtra* e = sheet_->Extra(Row(), Column());
  if (e && !e->formula.empty()) return "=" + e->formula;
  return ConstantText(Value());
}

std::string Range::FormulaR1C1() const {
  const CellExtra* e = sheet_->Extra(Row(), Column());
  if (e && !e->formula.empty()) return "=" + FormulaA1ToR1C1(e->formula, Row(), Column());
  return ConstantText(Value());
}

namespace {

void SetFormulaText(const Range& range, std::string_view text, bool r1c1) {
  Worksheet& sheet = range.sheet();
  sheet.CheckWritable();
  if (text.empty() || text.front() != '=') {
    range.SetValue(ParseInput(text));
    return;
  }
  if (range.CellsCount() > kMaxCellsPerWrite) {
    throw HostError(kErrOutOfMemory, "Not enough memory to write " +
                                         std::to_string(range.CellsCount()) + " formulas.");
  }
  const std::string_view body = text.substr(1);
  for (const Area& a : range.areas()) {
    for (int32_t r = a.top; r <= a.bottom; ++r) {
      for (int32_t c = a.left; c <= a.right; ++c) {
        sheet.ClearValue(r, c);
        sheet.ObtainExtra(r, c).formula = r1c1 ? FormulaR1C1ToA1(body, r, c) : std::string(body);
      }
    }
  }
}

}  // namespace

void Range::SetFormulaR1C1(std::string_view text) const { SetFormulaText(*this, text, true); }
void Range::SetFormula(std::string_view text) const { SetFormulaText(*this, text, false); }

void Range::ClearContents() const {
  sheet_->CheckWritable();
  sheet_->NoteChange();  // the cells are emptied in place below
  Worksheet& sheet = *sheet_;
  for (const Area& a : areas_) {
    sheet.cells().ForEachRow(a.top, a.bottom, [&](int32_t r, RowData& rd) {
      auto it = LowerBoundCol(rd.cells, a.left);
      bool any_redundant = false;
      for (; it != rd.cells.end() && it->col <= a.right; ++it) {
        Cell& c = *it;
        c.type = ValueType::kEmpty;
        c.v.number = 0;
        if (c.has_extra()) {
          // The cell exists, so ObtainExtra does not touch the row's cell vector.
          CellExtra& e = sheet.ObtainExtra(r, c.col);
          e.ClearContent();
          sheet.PruneExtra(r, c.col);
        }
        if (!c.has_extra() && c.style == Background(sheet, rd, c.col)) any_redundant = true;
      }
      if (!any_redundant) return;
      // Cells left with nothing of their own are dropped, so clearing keeps the sheet sparse.
      auto first = LowerBoundCol(rd.cells, a.left);
      auto last = first;
      while (last != rd.cells.end() && last->col <= a.right) ++last;
      auto kept = std::remove_if(first, last, [&](const Cell& c) {
        return c.type == ValueType::kEmpty && !c.has_extra() &&
               c.style == Background(sheet, rd, c.col);
      });
      rd.cells.erase(kept, last);
    });
  }
}

// --- Selection and clipboard ---

void Range::Select() const {
  CheckActive(*sheet_, "Select");
  SheetView& view = sheet_->view();
  view.selection.assign(areas_.begin(), areas_.end());
  view.active_cell = {Row(), Column()};
}

void Range::Activate() const {
  CheckActive(*sheet_, "Activate");
  SheetView& view = sheet_->view();
  if (IsSingleCell()) {
    for (const Area& a : view.selection) {
      if (a.Contains(Row(), Column())) {
        view.active_cell = {Row(), Column()};
        return;
      }
    }
  }
  Select();
}

void Range::Copy() const {
  Application& app = AppOf(*sheet_, "Copy");
  if (areas_.size() != 1) Fail("Copy: this command cannot be used on multiple selections.");
  app.SetClipboard(CopyCells(*sheet_, areas_.front()));
}

void Range::Copy(const Range& destination) const {
  if (areas_.size() != 1) Fail("Copy: this command cannot be used on multiple selections.");
  const ClipboardData data = CopyCells(*sheet_, areas_.front());
  PasteCells(data, destination.sheet(), {destination.Row(), destination.Column()});
}

// --- Rows and columns ---

double Range::RowHeight() const { return sheet_->RowHeight(Row()); }

void Range::SetRowHeight(double points) const {
  if (!(points >= 0 && points <= 409.5)) {
    Fail("Unable to set the RowHeight property: " + NumberToText(points) +
         " is not between 0 and 409.5.");
  }
  sheet_->CheckWritable();
  for (const Area& a : areas_) {
    if (a.IsWholeColumns()) {  // every row: the sheet's default, and no row keeps its own
      sheet_->set_default_row_height(points);
      sheet_->cells().ForEachRow(1, kMaxRows, [](int32_t, RowData& rd) { rd.height = -1; });
      continue;
    }
    for (int32_t r = a.top; r <= a.bottom; ++r) sheet_->SetRowHeight(r, points);
  }
}

void Range::SetRowHeight(std::string_view points) const { SetRowHeight(ToNumberOr13(points)); }

double Range::ColumnWidth() const { return sheet_->ColumnWidth(Column()); }

void Range::SetColumnWidth(double width) const {
  if (!(width >= 0 && width <= 255)) {
    Fail("Unable to set the ColumnWidth property: " + NumberToText(width) +
         " is not between 0 and 255.");
  }
  sheet_->CheckWritable();
  for (const Area& a : areas_) {
    if (a.IsWholeRows()) {
      sheet_->set_default_column_width(width);
      for (int32_t c = 1; c <= sheet_->MaxColumnInfo(); ++c) sheet_->ObtainColumn(c).width = -1;
      continue;
    }
    for (int32_t c = a.left; c <= a.right; ++c) sheet_->SetColumnWidth(c, width);
  }
}

void Range::SetColumnWidth(std::string_view width) const { SetColumnWidth(ToNumberOr13(width)); }

// --- Comments ---

RangeComment Range::AddComment(std::string_view text) const {
  sheet_->CheckWritable();
  const int32_t row = Row(), col = Column();
  const CellExtra* e = sheet_->Extra(row, col);
  if (e && e->comment) {
    Fail("AddComment: cell " + FormatA1(Area::Cell(row, col)) + " already has a comment.");
  }
  host::Comment comment;
  comment.text = std::string(text);
  sheet_->ObtainExtra(row, col).comment = std::move(comment);
  return RangeComment(sheet_, row, col);
}

RangeComment Range::Comment() const { return RangeComment(sheet_, Row(), Column()); }

bool RangeComment::exists() const {
  const CellExtra* e = sheet_->Extra(row_, col_);
  return e && e->comment;
}

const Comment& RangeComment::Get() const {
  const CellExtra* e = sheet_->Extra(row_, col_);
  if (!e || !e->comment) {
    throw HostError(
        kErrObjectVariableNotSet,
        "Object variable not set: cell " + FormatA1(Area::Cell(row_, col_)) + " has no comment.");
  }
  return *e->comment;
}

std::string RangeComment::Text() const { return Get().text; }

void RangeComment::SetText(std::string_view text) const {
  Get();
  sheet_->CheckWritable();
  host::Comment& c = *sheet_->ObtainExtra(row_, col_).comment;
  c.text = std::string(text);
  c.runs.clear();  // runs described the old text
}

bool RangeComment::Visible() const { return Get().visible; }

void RangeComment::SetVisible(bool visible) const {
  Get();
  sheet_->CheckWritable();
  sheet_->ObtainExtra(row_, col_).comment->visible = visible;
}

CommentShape RangeComment::Shape() const {
  Get();
  return CommentShape(sheet_, row_, col_);
}

void RangeComment::Delete() const {
  Get();
  sheet_->CheckWritable();
  sheet_->ObtainExtra(row_, col_).comment.reset();
  sheet_->PruneExtra(row_, col_);
}

namespace {

const host::Comment& ShapeComment(const Worksheet* sheet, int32_t row, int32_t col) {
  const CellExtra* e = sheet->Extra(row, col);
  if (!e || !e->comment) {
    throw HostError(kErrObjectVariableNotSet, "Object variable not set: the comment was deleted.");
  }
  return *e->comment;
}

// The comment for writing (reading it through ObtainExtra would count as a change).
host::Comment& WritableShapeComment(Worksheet* sheet, int32_t row, int32_t col) {
  ShapeComment(sheet, row, col);
  return *sheet->ObtainExtra(row, col).comment;
}

void Scale(double& size, double original, double factor, int relative_to_original) {
  if (!(factor > 0) || !std::isfinite(factor)) {
    throw HostError(kErrInvalidProcedureCall, "Invalid procedure call or argument: scale factor " +
                                                  NumberToText(factor) + " must be positive.");
  }
  size = (relative_to_original != 0 ? original : size) * factor;
}

}  // namespace

double CommentShape::Width() const {
  const host::Comment& c = ShapeComment(sheet_, row_, col_);
  return c.width > 0 ? c.width : kDefaultCommentWidth;
}

double CommentShape::Height() const {
  const host::Comment& c = ShapeComment(sheet_, row_, col_);
  return c.height > 0 ? c.height : kDefaultCommentHeight;
}

void CommentShape::ScaleHeight(double factor, int relative_to_original, int) const {
  sheet_->CheckWritable();
  const double current = Height();
  host::Comment& c = WritableShapeComment(sheet_, row_, col_);
  c.height = current;
  Scale(c.height, kDefaultCommentHeight, factor, relative_to_original);
}

void CommentShape::ScaleWidth(double factor, int relative_to_original, int) const {
  sheet_->CheckWritable();
  const double current = Width();
  host::Comment& c = WritableShapeComment(sheet_, row_, col_);
  c.width = current;
  Scale(c.width, kDefaultCommentWidth, factor, relative_to_original);
}

// --- Phonetic guides ---

RangePhonetics Range::Phonetics() const { return RangePhonetics(*this); }

bool RangePhonetics::Visible() const {
  const CellExtra* e = range_.sheet().Extra(range_.Row(), range_.Column());
  return e && e->phonetic && e->phonetic->visible;
}

void RangePhonetics::SetVisible(bool visible) const {
  Worksheet& sheet = range_.sheet();
  sheet.CheckWritable();
  std::vector<CellRef> cells;
  for (const Area& a : range_.areas()) {
    sheet.cells().ForEachCell(a, [&](int32_t r, Cell& c) { cells.push_back({r, c.col}); });
  }
  if (range_.IsSingleCell() && cells.empty()) cells.push_back({range_.Row(), range_.Column()});
  for (const CellRef& ref : cells) {
    const CellExtra* e = sheet.Extra(ref.row, ref.col);
    if (!visible && (!e || !e->phonetic)) continue;
    CellExtra& extra = sheet.ObtainExtra(ref.row, ref.col);
    if (!extra.phonetic) extra.phonetic.emplace();
    extra.phonetic->visible = visible;
    if (!visible && extra.phonetic->runs.empty() && !extra.phonetic->file_extras) {
      extra.phonetic.reset();
    }
    sheet.PruneExtra(ref.row, ref.col);
  }
}

std::string RangePhonetics::Text() const {
  const CellExtra* e = range_.sheet().Extra(range_.Row(), range_.Column());
  std::string out;
  if (e && e->phonetic) {
    for (const PhoneticRun& run : e->phonetic->runs) out += run.text;
  }
  return out;
}

void RangePhonetics::SetText(std::string_view reading) const {
  Worksheet& sheet = range_.sheet();
  sheet.CheckWritable();
  std::vector<CellRef> cells;
  for (const Area& a : range_.areas()) {
    sheet.cells().ForEachCell(a, [&](int32_t r, Cell& c) {
      if (c.type == ValueType::kText) cells.push_back({r, c.col});
    });
  }
  for (const CellRef& ref : cells) {
    const uint32_t length = static_cast<uint32_t>(Utf8Length(sheet.TextView(ref.row, ref.col)));
    const CellExtra* e = sheet.Extra(ref.row, ref.col);
    if (reading.empty() && (!e || !e->phonetic)) continue;
    CellExtra& extra = sheet.ObtainExtra(ref.row, ref.col);
    if (!extra.phonetic) extra.phonetic.emplace();
    extra.phonetic->runs.clear();
    if (!reading.empty()) extra.phonetic->runs.push_back({0, length, std::string(reading)});
    sheet.PruneExtra(ref.row, ref.col);
  }
}

void RangePhonetics::Add(int64_t start, int64_t length, std::string_view text) const {
  Worksheet& sheet = range_.sheet();
  sheet.CheckWritable();
  const int32_t row = range_.Row(), col = range_.Column();
  const int64_t text_length = static_cast<int64_t>(Utf8Length(sheet.TextView(row, col)));
  if (start < 1 || length < 1 || start + length - 1 > text_length || text.empty()) {
    throw HostError(
        kErrInvalidProcedureCall,
        "Invalid procedure call: Phonetics.Add needs a reading and a span inside the text (" +
            std::to_string(text_length) + " characters).");
  }
  CellExtra& extra = sheet.ObtainExtra(row, col);
  if (!extra.phonetic) extra.phonetic.emplace();
  std::vector<PhoneticRun>& runs = extra.phonetic->runs;
  const uint32_t first = static_cast<uint32_t>(start - 1),
                 end = static_cast<uint32_t>(start - 1 + length);
  std::erase_if(runs,
                [&](const PhoneticRun& r) { return r.start < end && first < r.start + r.length; });
  PhoneticRun added{first, end - first, std::string(text)};
  runs.insert(std::lower_bound(
                  runs.begin(), runs.end(), added,
                  [](const PhoneticRun& a, const PhoneticRun& b) { return a.start < b.start; }),
              std::move(added));
}

}  // namespace tessarin::host
