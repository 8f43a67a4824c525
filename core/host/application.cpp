// Application: workbooks, activation, selection, the clipboard, shortcut keys and the sheet-level
// handles (Sheets, Sheet, Comments, PageSetup, Window).
#include "core/host/application.h"

#include <algorithm>

#include "core/host/host_error.h"
#include "core/host/runtime.h"
#include "core/host/shortcut_keys.h"

namespace tessarin::host {
namespace {

[[noreturn]] void Fail(std::string msg) { throw HostError(kErrApplicationDefined, std::move(msg)); }

void CheckMargin(double points, const char* name) {
  if (!(points >= 0 && points < 1e6)) {
    Fail(std::string("Unable to set the ") + name +
         " property of the PageSetup class: " + NumberToText(points) + " is not a margin.");
  }
}

Range WholeLines(Worksheet& sheet, std::string_view text, bool rows) {
  std::string address(text);
  if (address.find(':') == std::string::npos) address += ":" + address;
  const AreaList areas = ParseAddress(address);
  for (const Area& a : areas) {
    if (rows ? !a.IsWholeRows() : !a.IsWholeColumns()) {
      Fail(std::string(rows ? "Rows" : "Columns") + ": \"" + std::string(text) +
           "\" does not name whole " + (rows ? "rows." : "columns."));
    }
  }
  return Range(sheet, areas, rows ? Range::Kind::kRows : Range::Kind::kColumns);
}

}  // namespace

// --- PageSetupRef ---

void PageSetupRef::SetLeftMargin(double v) const {
  CheckMargin(v, "LeftMargin"), Writable().left_margin = v;
}
void PageSetupRef::SetRightMargin(double v) const {
  CheckMargin(v, "RightMargin"), Writable().right_margin = v;
}
void PageSetupRef::SetTopMargin(double v) const {
  CheckMargin(v, "TopMargin"), Writable().top_margin = v;
}
void PageSetupRef::SetBottomMargin(double v) const {
  CheckMargin(v, "BottomMargin"), Writable().bottom_margin = v;
}
void PageSetupRef::SetHeaderMargin(double v) const {
  CheckMargin(v, "HeaderMargin"), Writable().header_margin = v;
}
void PageSetupRef::SetFooterMargin(double v) const {
  CheckMargin(v, "FooterMargin"), Writable().footer_margin = v;
}

void PageSetupRef::SetOrientation(int value) const {
  if (value != kXlPortrait && value != kXlLandscape) {
    Fail("Unable to set the Orientation property of the PageSetup class: " + std::to_string(value) +
         ".");
  }
  Writable().orientation = value;
}

void PageSetupRef::SetPaperSize(int value) const {
  if (value < 1 || value > 118) {
    Fail("Unable to set the PaperSize property of the PageSetup class: " + std::to_string(value) +
         ".");
  }
  Writable().paper_size = value;
}

void PageSetupRef::SetZoom(int percent) const {
  if (percent < 10 || percent > 400) {
    Fail("Unable to set the Zoom property of the PageSetup class: " + std::to_string(percent) +
         " is not between 10 and 400.");
  }
  PageSetup& ps = Writable();
  ps.zoom = percent;
  ps.fit_wide = ps.fit_tall = 0;
}

void PageSetupRef::SetOrder(int value) const {
  if (value != kXlDownThenOver && value != kXlOverThenDown) {
    Fail("Unable to set the Order property of the PageSetup class: " + std::to_string(value) + ".");
  }
  Writable().order = value;
}

void PageSetupRef::SetPrintComments(int value) const {
  if (value != kXlPrintNoComments && value != kXlPrintSheetEnd && value != kXlPrintInPlace) {
    Fail("Unable to set the PrintComments property of the PageSetup class: " +
         std::to_string(value) + ".");
  }
  Writable().print_comments = value;
}

void PageSetupRef::SetPrintArea(std::string_view address) const {
  Writable().print_area = address.empty() ? std::string() : FormatA1(ParseAddress(address));
}

// --- SheetComments ---

RangeComment SheetComments::Item(int index) const {
  std::vector<CellRef> refs;
  sheet_->ForEachExtra([&](int32_t r, int32_t c, const CellExtra& e) {
    if (e.comment) refs.push_back({r, c});
  });
  if (index < 1 || index > static_cast<int>(refs.size())) {
    throw HostError(kErrSubscriptOutOfRange, "Subscript out of range: sheet \"" + sheet_->name() +
                                                 "\" has " + std::to_string(refs.size()) +
                                                 " comments.");
  }
  std::sort(refs.begin(), refs.end(), [](const CellRef& a, const CellRef& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  return RangeComment(sheet_, refs[index - 1].row, refs[index - 1].col);
}

void SheetComments::Delete() const {
  sheet_->CheckWritable();
  sheet_->DeleteAllComments();
}

// --- Sheet ---

void Sheet::SetName(std::string_view name) const {
  sheet_->workbook().RenameSheet(*sheet_, std::string(name));
}
int Sheet::Index() const { return sheet_->workbook().IndexOf(*sheet_); }
void Sheet::Select() const { app_->ActivateSheet(*sheet_); }
void Sheet::Activate() const { app_->ActivateSheet(*sheet_); }

namespace {

// The 1-based position a sheet moved or copied next to `before` / `after` takes, counted
// before the sheet itself is taken out (`moving`, 0 for a new sheet).
int PlaceOf(const Workbook& workbook, const Sheet* before, const Sheet* after, int moving) {
  const Sheet* anchor = before ? before : after;
  if (anchor == nullptr) return workbook.SheetCount() + (moving == 0 ? 1 : 0);
  if (&anchor->Parent() != &workbook) {
    Fail("The Before/After sheet belongs to another workbook.");
  }
  int position = anchor->Index() + (before ? 0 : 1);
  if (moving != 0 && moving < position) --position;  // its own place closes up first
  return position;
}

}  // namespace

void Sheet::Delete() const {
  Workbook& workbook = sheet_->workbook();
  int visible = 0;
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    visible += workbook.Sheet(i).visibility() == SheetVisibility::kVisible;
  }
  if (visible <= 1 && sheet_->visibility() == SheetVisibility::kVisible) {
    Fail("A workbook must contain at least one visible worksheet.");
  }
  const bool was_active = workbook.active_sheet() == sheet_;
  const int index = Index();
  workbook.RemoveSheet(index);
  if (!was_active) return;
  // The sheet that took its place, else the one before, skipping hidden ones.
  for (int i = std::min(index, workbook.SheetCount()); i >= 1; --i) {
    if (workbook.Sheet(i).visibility() != SheetVisibility::kVisible) continue;
    workbook.set_active_sheet(nullptr);
    app_->ActivateSheet(workbook.Sheet(i));
    return;
  }
  for (int i = index; i <= workbook.SheetCount(); ++i) {
    if (workbook.Sheet(i).visibility() != SheetVisibility::kVisible) continue;
    workbook.set_active_sheet(nullptr);
    app_->ActivateSheet(workbook.Sheet(i));
    return;
  }
}

void Sheet::Move(const Sheet* before, const Sheet* after) const {
  Workbook& workbook = sheet_->workbook();
  const int from = Index();
  workbook.MoveSheet(from, PlaceOf(workbook, before, after, from));
}

Sheet Sheet::Copy(const Sheet* before, const Sheet* after) const {
  Workbook& workbook = sheet_->workbook();
  const int position = PlaceOf(workbook, before, after, 0);
  Worksheet& copy = workbook.AddSheet(workbook.NearestSheetName(sheet_->name()), position);
  copy.CopyContentFrom(*sheet_);
  app_->ActivateSheet(copy);
  return Sheet(*app_, copy);
}

void Sheet::Paste() const {
  const ClipboardData* data = app_->clipboard();
  if (!data) Fail("Paste method of Worksheet class failed: nothing has been copied.");
  SheetView& view = sheet_->view();
  const CellRef at = view.selection.empty()
                         ? view.active_cell
                         : CellRef{view.selection.front().top, view.selection.front().left};
  const Area pasted = PasteCells(*data, *sheet_, at);
  view.selection.assign(1, pasted);
  view.active_cell = {pasted.top, pasted.left};
}

void Sheet::ResetAllPageBreaks() const {
  sheet_->CheckWritable();
  sheet_->ClearRowBreaks();
}

// --- HPageBreakCollection ---

int32_t HPageBreakCollection::Item(int index) const {
  if (index < 1 || index > Count()) {
    throw HostError(kErrSubscriptOutOfRange,
                    "Subscript out of range: the sheet has " + std::to_string(Count()) +
                        " horizontal page breaks, not " + std::to_string(index) + ".");
  }
  return sheet_->row_breaks()[index - 1];
}

void HPageBreakCollection::Add(const host::Range& before) const {
  sheet_->CheckWritable();
  const int32_t row = before.Row();
  if (&before.sheet() != sheet_ || row < 2) {
    Fail("Add method of HPageBreaks class failed: no page can start at that row.");
  }
  sheet_->AddRowBreak(row);
}

host::Range Sheet::Rows(std::string_view rows) const { return WholeLines(*sheet_, rows, true); }
host::Range Sheet::Columns(std::string_view columns) const {
  return WholeLines(*sheet_, columns, false);
}
host::Range Sheet::UsedRange() const { return host::Range(*sheet_, sheet_->UsedArea()); }

// --- SheetCollection ---

Sheet SheetCollection::Item(int index) const { return Sheet(*app_, workbook_->Sheet(index)); }

Sheet SheetCollection::Item(std::string_view name) const {
  Worksheet* ws = workbook_->FindSheet(name);
  if (!ws) {
    throw HostError(kErrSubscriptOutOfRange, "Subscript out of range: workbook " +
                                                 workbook_->name() + " has no sheet \"" +
                                                 std::string(name) + "\".");
  }
  return Sheet(*app_, *ws);
}

Sheet SheetCollection::Add(int type, const Sheet* before, const Sheet* after) const {
  if (type != kXlWorksheet)
    Fail("Sheets.Add: only worksheets (-4167) can be added, not type " + std::to_string(type) +
         ".");
  int position = workbook_->SheetCount() + 1;
  if (before || after) {
    const Sheet& anchor = before ? *before : *after;
    if (&anchor.Parent() != workbook_)
      Fail("Sheets.Add: the Before/After sheet belongs to another workbook.");
    position = anchor.Index() + (before ? 0 : 1);
  }
  Worksheet& ws = workbook_->AddSheet(workbook_->NextSheetName(), position);
  app_->ActivateSheet(ws);
  return Sheet(*app_, ws);
}

// --- WorkbookCollection ---

int WorkbookCollection::Count() const { return static_cast<int>(app_->workbooks_.size()); }

Workbook& WorkbookCollection::Item(int index) const {
  if (index < 1 || index > Count()) {
    throw HostError(kErrSubscriptOutOfRange,
                    "Subscript out of range: there is no workbook " + std::to_string(index) + ".");
  }
  return *app_->workbooks_[index - 1];
}

Workbook& WorkbookCollection::Item(std::string_view name) const {
  for (const auto& wb : app_->workbooks_) {
    if (SheetNamesEqual(wb->name(), name)) return *wb;
  }
  throw HostError(kErrSubscriptOutOfRange,
                  "Subscript out of range: no workbook \"" + std::string(name) + "\" is open.");
}

// Each open workbook costs memory whatever it holds; a script adding them without end would
// exhaust it. Checked before anything is read or made.
void WorkbookCollection::CheckRoom() const {
  if (Count() >= kMaxOpenWorkbooks) {
    Fail("Too many workbooks are open (" + std::to_string(kMaxOpenWorkbooks) +
         "); close some before opening or adding another.");
  }
}

Workbook& WorkbookCollection::Add() const {
  CheckRoom();
  auto wb = std::make_unique<Workbook>("Book" + std::to_string(app_->next_book_number_++));
  wb->set_active_sheet(&wb->AddSheet("Sheet1", 1));
  wb->set_saved(true);  // a new workbook holds nothing to lose
  return app_->AdoptWorkbook(std::move(wb));
}

Workbook& WorkbookCollection::Open(const std::string& path) const {
  FileService* service = app_->file_service();
  if (!service) Fail("Open method of Workbooks class failed: no file service is installed.");
  for (const auto& wb : app_->workbooks_) {
    if (!wb->path().empty() && wb->FullName() == path) {
      app_->ActivateWorkbook(*wb);
      return *wb;
    }
  }
  CheckRoom();

  std::unique_ptr<Workbook> wb = service->Open(path);
  for (const auto& open : app_->workbooks_) {
    if (SheetNamesEqual(open->name(), wb->name())) {
      Fail("A workbook named \"" + wb->name() +
           "\" is already open; two workbooks of the same name cannot be "
           "open at once.");
    }
  }
  if (wb->SheetCount() > 0 && (!wb->active_sheet() || wb->IndexOf(*wb->active_sheet()) == 0)) {
    wb->set_active_sheet(&wb->Sheet(1));
  }
  return app_->AdoptWorkbook(std::move(wb));
}

void WorkbookCollection::Close() const {
  while (!app_->workbooks_.empty()) app_->CloseWorkbook(*app_->workbooks_.back());
}

// --- Windows ---

std::vector<std::string> SelectedSheets::Names() const {
  const Workbook& wb = app_->ActiveWorkbook();
  std::vector<std::string> names;
  for (int i = 1; i <= wb.SheetCount(); ++i) {
    const Worksheet& ws = wb.Sheet(i);
    if (&ws == wb.active_sheet() || ws.view().tab_selected) names.push_back(ws.name());
  }
  return names;
}

void SelectedSheets::PrintPreview() const {
  const std::vector<std::string> names = Names();
  if (app_->print_preview_) app_->print_preview_(names);
}

bool WindowRef::DisplayGridlines() const {
  return app_->ActiveSheet().worksheet().view().display_gridlines;
}
void WindowRef::SetDisplayGridlines(bool on) const {
  Worksheet& sheet = app_->ActiveSheet().worksheet();
  sheet.view().display_gridlines = on;
  sheet.NoteChange();  // saved with the sheet, unlike the selection
}
int WindowRef::Zoom() const { return app_->ActiveSheet().worksheet().view().zoom; }

void WindowRef::SetZoom(int percent) const {
  if (percent < 10 || percent > 400)
    Fail("Unable to set the Zoom property of the Window class: " + std::to_string(percent) + ".");
  Worksheet& sheet = app_->ActiveSheet().worksheet();
  sheet.view().zoom = percent;
  sheet.NoteChange();
}

// --- Application ---

Application::Application() = default;

Application::~Application() {
  for (const auto& wb : workbooks_) wb->set_application(nullptr);
}

Workbook& Application::AdoptWorkbook(std::unique_ptr<Workbook> workbook) {
  workbook->set_application(this);
  workbooks_.push_back(std::move(workbook));
  active_workbook_ = workbooks_.back().get();
  NotifySheetActivated();
  return *active_workbook_;
}

void Application::NotifySheetActivated() {
  if (sheet_activate_ && active_workbook_ && active_workbook_->active_sheet()) {
    sheet_activate_(*active_workbook_->active_sheet());
  }
}

Workbook& Application::ActiveWorkbook() const {
  if (!active_workbook_)
    throw HostError(kErrObjectVariableNotSet, "Object variable not set: no workbook is open.");
  return *active_workbook_;
}

Sheet Application::ActiveSheet() {
  Workbook& wb = ActiveWorkbook();
  if (!wb.active_sheet()) {
    if (wb.SheetCount() == 0)
      throw HostError(kErrObjectVariableNotSet,
                      "Object variable not set: the workbook has no sheet.");
    wb.set_active_sheet(&wb.Sheet(1));
  }
  return Sheet(*this, *wb.active_sheet());
}

SheetCollection Application::Sheets() { return SheetCollection(*this, ActiveWorkbook()); }

WindowRef Application::ActiveWindow() {
  ActiveWorkbook();
  return WindowRef(*this);
}

void Application::ActivateWorkbook(Workbook& workbook) {
  if (active_workbook_ == &workbook) return;
  active_workbook_ = &workbook;
  NotifySheetActivated();
}

void Application::ActivateSheet(Worksheet& sheet) {
  if (sheet.visibility() != SheetVisibility::kVisible) {
    Fail("Activate method of Worksheet class failed: sheet \"" + sheet.name() + "\" is hidden.");
  }
  Workbook& wb = sheet.workbook();
  if (wb.application() != this)
    Fail("Activate method of Worksheet class failed: the workbook is not open here.");
  const bool changed = active_workbook_ != &wb || wb.active_sheet() != &sheet;
  wb.set_active_sheet(&sheet);
  active_workbook_ = &wb;
  if (changed) NotifySheetActivated();
}

std::string Application::SaveWorkbook(Workbook& workbook) {
  if (workbook.path().empty()) {
    Fail("Save method of Workbook class failed: " + workbook.name() +
         " has never been saved; use SaveAs.");
  }
  return SaveWorkbookAs(workbook, workbook.FullName());
}

std::string Application::SaveWorkbookAs(Workbook& workbook, const std::string& path) {
  if (!file_service_) Fail("SaveAs method of Workbook class failed: no file service is installed.");
  return file_service_->Save(workbook, path);
}

void Application::CloseWorkbook(Workbook& workbook) {
  auto it = std::find_if(workbooks_.begin(), workbooks_.end(),
                         [&](const auto& wb) { return wb.get() == &workbook; });
  if (it == workbooks_.end()) return;
  const bool was_active = active_workbook_ == &workbook;
  std::unique_ptr<Workbook> closing = std::move(*it);
  workbooks_.erase(it);
  closing->set_application(nullptr);
  if (was_active) {
    active_workbook_ = workbooks_.empty() ? nullptr : workbooks_.back().get();
    NotifySheetActivated();
  }
}

host::Range Application::ActiveCell() {
  Worksheet& ws = ActiveSheet().worksheet();
  const CellRef& cell = ws.view().active_cell;
  return host::Range(ws, Area::Cell(cell.row, cell.col));
}

host::Range Application::Selection() {
  Worksheet& ws = ActiveSheet().worksheet();
  const SheetView& view = ws.view();
  if (view.selection.empty())
    return host::Range(ws, Area::Cell(view.active_cell.row, view.active_cell.col));
  AreaList areas;
  for (const Area& a : view.selection) areas.push_back(a);
  return host::Range(ws, areas);
}

void Application::SetCutCopyMode(bool on) {
  if (!on) clipboard_.reset();
}

void Application::SetDisplayCommentIndicator(int value) {
  if (value != kXlCommentIndicatorOnly && value != kXlNoIndicator &&
      value != kXlCommentAndIndicator) {
    Fail("Unable to set the DisplayCommentIndicator property: " + std::to_string(value) + ".");
  }
  comment_indicator_ = value;
}

std::string Application::GetOpenFilename(std::string_view filter) {
  if (!get_open_filename_) return "False";
  return get_open_filename_(filter);
}

void Application::SendKeys(std::string_view keys) {
  if (send_keys_) send_keys_(keys);
}

void Application::MacroOptions(std::string_view macro, bool has_shortcut, std::string_view key) {
  if (has_shortcut && !ChordOfKey(key)) {
    Fail("MacroOptions: the shortcut key \"" + std::string(key) + "\" is not a single letter.");
  }
  for (auto it = shortcuts_.begin(); it != shortcuts_.end();) {
    it = it->second == macro ? shortcuts_.erase(it) : std::next(it);
  }
  if (has_shortcut) shortcuts_[std::string(key)] = std::string(macro);
}

std::optional<std::string> Application::MacroForKey(std::string_view key) const {
  auto it = shortcuts_.find(std::string(key));
  if (it == shortcuts_.end()) return std::nullopt;
  return it->second;
}

}  // namespace tessarin::host
