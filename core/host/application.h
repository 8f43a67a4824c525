// Application: the host process object (workbooks, active sheet and selection, clipboard,
// command bars, shortcut keys, hooks to the front end) and the host's sheet-level handles.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/clipboard.h"
#include "core/host/command_bars.h"
#include "core/host/file_service.h"
#include "core/host/range.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {

class Application;

// PageSetup of a sheet with the host's property names. Setters validate as the host does
// (HostError 1004 for a negative margin, a zoom outside 10..400, an unknown orientation, order
// or comment placement, a print area that is not an address).
class PageSetupRef {
 public:
  explicit PageSetupRef(Worksheet& sheet) : sheet_(&sheet) {}
  const PageSetup& Get() const { return sheet_->page_setup(); }

  double LeftMargin() const { return Get().left_margin; }
  void SetLeftMargin(double points) const;
  double RightMargin() const { return Get().right_margin; }
  void SetRightMargin(double points) const;
  double TopMargin() const { return Get().top_margin; }
  void SetTopMargin(double points) const;
  double BottomMargin() const { return Get().bottom_margin; }
  void SetBottomMargin(double points) const;
  double HeaderMargin() const { return Get().header_margin; }
  void SetHeaderMargin(double points) const;
  double FooterMargin() const { return Get().footer_margin; }
  void SetFooterMargin(double points) const;
  bool CenterHorizontally() const { return Get().center_horizontally; }
  void SetCenterHorizontally(bool on) const { Writable().center_horizontally = on; }
  bool CenterVertically() const { return Get().center_vertically; }
  void SetCenterVertically(bool on) const { Writable().center_vertically = on; }
  int Orientation() const { return Get().orientation; }
  void SetOrientation(int value) const;  // kXlPortrait, kXlLandscape
  int PaperSize() const { return Get().paper_size; }
  void SetPaperSize(int value) const;  // the host's paper numbers, 1..118
  // Percent; 0 while the page is fitted to pages (the host's False).
  int Zoom() const { return Get().zoom; }
  void SetZoom(int percent) const;  // 10..400; clears fitting to pages
  int FirstPageNumber() const { return Get().first_page_number; }
  void SetFirstPageNumber(int value) const { Writable().first_page_number = value; }
  int Order() const { return Get().order; }
  void SetOrder(int value) const;  // kXlDownThenOver, kXlOverThenDown
  bool BlackAndWhite() const { return Get().black_and_white; }
  void SetBlackAndWhite(bool on) const { Writable().black_and_white = on; }
  bool Draft() const { return Get().draft; }
  void SetDraft(bool on) const { Writable().draft = on; }
  bool PrintGridlines() const { return Get().print_gridlines; }
  void SetPrintGridlines(bool on) const { Writable().print_gridlines = on; }
  bool PrintHeadings() const { return Get().print_headings; }
  void SetPrintHeadings(bool on) const { Writable().print_headings = on; }
  int PrintComments() const { return Get().print_comments; }
  void SetPrintComments(int value) const;  // kXlPrintNoComments, kXlPrintSheetEnd, kXlPrintInPlace
  // A1 text without "$" ("A1:U16"), "" when none.
  const std::string& PrintArea() const { return Get().print_area; }
  // Takes any address ParseAddress takes (with or without "$"); "" removes the print area.
  void SetPrintArea(std::string_view address) const;

 private:
  // The page setup for writing: a change of the workbook.
  PageSetup& Writable() const {
    sheet_->NoteChange();
    return sheet_->page_setup();
  }

  Worksheet* sheet_;
};

// A sheet's Comments collection.
class SheetComments {
 public:
  explicit SheetComments(Worksheet& sheet) : sheet_(&sheet) {}
  int Count() const { return static_cast<int>(sheet_->CommentCount()); }
  // 1-based, in row-then-column order; HostError 9 when out of range.
  RangeComment Item(int index) const;
  // Deletes every comment of the sheet (HostError 1004 on a protected sheet).
  void Delete() const;

 private:
  Worksheet* sheet_;
};

// A sheet's HPageBreaks collection: its manual breaks between rows, top to bottom.
class HPageBreakCollection {
 public:
  explicit HPageBreakCollection(Worksheet& sheet) : sheet_(&sheet) {}
  int Count() const { return static_cast<int>(sheet_->row_breaks().size()); }
  // The first row of the page that break `index` (1-based) starts; HostError 9 when out of range.
  int32_t Item(int index) const;
  // A break above the first row of `before` (a range of this sheet). HostError 1004 on a
  // protected sheet or above row 1.
  void Add(const host::Range& before) const;

 private:
  Worksheet* sheet_;
};

// The host's Worksheet object: a handle (application, model sheet), cheap to copy. The sheet
// belongs to a workbook of the application and must outlive the handle.
class Sheet {
 public:
  Sheet(Application& app, Worksheet& sheet) : app_(&app), sheet_(&sheet) {}
  Worksheet& worksheet() const { return *sheet_; }
  Workbook& Parent() const { return sheet_->workbook(); }

  const std::string& Name() const { return sheet_->name(); }
  // Renames under the host's rules (HostError 1004 with the reason).
  void SetName(std::string_view name) const;
  int Index() const;
  // Makes the sheet (and its workbook) active. HostError 1004 for a hidden sheet.
  void Select() const;
  void Activate() const;
  // Deletes the sheet; when it was active, the sheet now in its place becomes active. HostError
  // 1004 for the last visible sheet of its workbook. The handle must not be used afterwards.
  void Delete() const;
  // Moves the sheet before `before` or after `after` (a sheet of the same workbook, HostError
  // 1004 otherwise); with neither, to the end.
  void Move(const Sheet* before, const Sheet* after) const;
  // Copies the sheet into a new sheet of the same workbook (cells, formats, runs, comments,
  // rows, columns, merges, page setup and breaks), named as the host names copies ("Sheet1
  // (2)"), placed before `before` or after `after` as Move places, and activates the copy.
  // What a file held of the sheet beyond the model stays with the original.
  Sheet Copy(const Sheet* before, const Sheet* after) const;
  // Pastes the application's clipboard at the top-left cell of this sheet's selection and
  // selects the pasted cells. HostError 1004 when the clipboard is empty or the sheet protected.
  void Paste() const;

  host::Range Cells() const { return host::Range::All(*sheet_); }
  host::Range Cells(int64_t row, int64_t col) const { return Cells().Cells(row, col); }
  host::Range Range(std::string_view address) const { return Cells().SubRange(address); }
  host::Range Rows() const { return Cells().Rows(); }
  host::Range Rows(int64_t index) const { return Cells().Rows(index); }
  // Whole rows by text: "3:5", "3".
  host::Range Rows(std::string_view rows) const;
  host::Range Columns() const { return Cells().Columns(); }
  host::Range Columns(int64_t index) const { return Cells().Columns(index); }
  // Whole columns by text: "B:D", "B".
  host::Range Columns(std::string_view columns) const;
  host::Range UsedRange() const;
  SheetComments Comments() const { return SheetComments(*sheet_); }
  PageSetupRef PageSetup() const { return PageSetupRef(*sheet_); }
  HPageBreakCollection HPageBreaks() const { return HPageBreakCollection(*sheet_); }
  // Removes every manual page break (HostError 1004 on a protected sheet).
  void ResetAllPageBreaks() const;
  // Protects the sheet: writes to its cells, formats and comments are then HostError 1004.
  void Protect() const { sheet_->set_protected(true); }
  void Unprotect() const { sheet_->set_protected(false); }
  bool ProtectContents() const { return sheet_->is_protected(); }

  friend bool operator==(const Sheet& a, const Sheet& b) { return a.sheet_ == b.sheet_; }

 private:
  Application* app_;
  Worksheet* sheet_;
};

// The Sheets of one workbook.
class SheetCollection {
 public:
  SheetCollection(Application& app, Workbook& workbook) : app_(&app), workbook_(&workbook) {}
  int Count() const { return workbook_->SheetCount(); }
  // 1-based, or by name without regard to case. HostError 9 when missing.
  Sheet Item(int index) const;
  Sheet Item(std::string_view name) const;
  // Adds a worksheet named "Sheet<N>" (the first free N) after the last sheet, or before /
  // after the given sheet of this workbook, and activates it. Only kXlWorksheet is a type we
  // make (HostError 1004 otherwise).
  Sheet Add(int type = kXlWorksheet, const Sheet* before = nullptr,
            const Sheet* after = nullptr) const;

 private:
  Application* app_;
  Workbook* workbook_;
};

// The Workbooks of the application.
class WorkbookCollection {
 public:
  explicit WorkbookCollection(Application& app) : app_(&app) {}
  int Count() const;
  // 1-based in opening order, or by name ("Book1", "問題.xlsx") without regard to case.
  // HostError 9 when missing.
  Workbook& Item(int index) const;
  Workbook& Item(std::string_view name) const;
  // A new workbook "Book<N>" with one sheet "Sheet1"; both become active. HostError 1004 when
  // kMaxOpenWorkbooks are open already (as for Open).
  Workbook& Add() const;
  // Opens `path` through the installed FileService and activates the workbook. A workbook that
  // is already open under that full path is only activated. HostError 1004 when no file service
  // is installed or another open workbook has the same name; the service's errors pass through.
  Workbook& Open(const std::string& path) const;
  // The most workbooks open at once.
  static constexpr int kMaxOpenWorkbooks = 1000;
  // Closes every workbook without saving.
  void Close() const;

 private:
  void CheckRoom() const;  // HostError 1004 when no more workbooks may be open
  Application* app_;
};

// The selected sheets of a window.
class SelectedSheets {
 public:
  explicit SelectedSheets(Application& app) : app_(&app) {}
  std::vector<std::string> Names() const;
  // Hands the sheets to the front end's print preview hook and returns when it is closed.
  // Without a hook nothing is shown.
  void PrintPreview() const;

 private:
  Application* app_;
};

// ActiveWindow: the view of the active sheet. HostError 91 when no workbook is open.
class WindowRef {
 public:
  explicit WindowRef(Application& app) : app_(&app) {}
  bool DisplayGridlines() const;
  void SetDisplayGridlines(bool on) const;
  int Zoom() const;
  void SetZoom(int percent) const;  // 10..400
  host::SelectedSheets SelectedSheets() const { return host::SelectedSheets(*app_); }

 private:
  Application* app_;
};

// One Application per process (the add-in holds it as XlApp). It owns the open workbooks.
// Nothing here is thread-safe; everything runs on the user-interface thread.
class Application {
 public:
  // Front-end hooks. Each may be left empty.
  // The open-file box: the chosen path, or "False" when cancelled.
  using GetOpenFilenameHook = std::function<std::string(std::string_view filter)>;
  using PrintPreviewHook = std::function<void(const std::vector<std::string>& sheets)>;
  using SendKeysHook = std::function<void(std::string_view keys)>;
  // Called after the active sheet changed through this object (Activate, Select, Sheets.Add,
  // Workbooks.Add/Open, closing the active workbook).
  using SheetActivateHook = std::function<void(Worksheet& sheet)>;

  Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  ~Application();

  // --- Set-up by the front end.
  void set_file_service(std::shared_ptr<FileService> service) {
    file_service_ = std::move(service);
  }
  FileService* file_service() const { return file_service_.get(); }
  void set_get_open_filename_hook(GetOpenFilenameHook hook) {
    get_open_filename_ = std::move(hook);
  }
  void set_print_preview_hook(PrintPreviewHook hook) { print_preview_ = std::move(hook); }
  void set_send_keys_hook(SendKeysHook hook) { send_keys_ = std::move(hook); }
  void set_sheet_activate_hook(SheetActivateHook hook) { sheet_activate_ = std::move(hook); }

  // --- Workbooks and sheets.
  WorkbookCollection Workbooks() { return WorkbookCollection(*this); }
  const std::vector<std::unique_ptr<Workbook>>& workbooks() const { return workbooks_; }
  // The active workbook, nullptr when none is open.
  Workbook* active_workbook() const { return active_workbook_; }
  // As the host: HostError 91 when no workbook is open.
  Workbook& ActiveWorkbook() const;
  Sheet ActiveSheet();
  SheetCollection Sheets();  // of the active workbook
  SheetCollection Sheets(Workbook& workbook) { return SheetCollection(*this, workbook); }
  Sheet SheetOf(Worksheet& sheet) { return Sheet(*this, sheet); }
  WindowRef ActiveWindow();

  // Makes `workbook` (one of ours) the active workbook.
  void ActivateWorkbook(Workbook& workbook);
  // Makes `sheet` the active sheet of its workbook and that workbook active. HostError 1004
  // for a hidden sheet.
  void ActivateSheet(Worksheet& sheet);
  // Saves through the file service: to the workbook's own path (HostError 1004 when it was never
  // saved) or to `path`. Returns the path written (see FileService::Save).
  std::string SaveWorkbook(Workbook& workbook);
  std::string SaveWorkbookAs(Workbook& workbook, const std::string& path);
  // Closes without saving; the last workbook in the list becomes active.
  void CloseWorkbook(Workbook& workbook);

  // --- The active sheet's cells (HostError 91 when no workbook is open).
  host::Range ActiveCell();
  host::Range Selection();
  host::Range Cells() { return ActiveSheet().Cells(); }
  host::Range Cells(int64_t row, int64_t col) { return ActiveSheet().Cells(row, col); }
  host::Range Range(std::string_view address) { return ActiveSheet().Range(address); }
  host::Range Rows() { return ActiveSheet().Rows(); }
  host::Range Rows(int64_t index) { return ActiveSheet().Rows(index); }
  host::Range Rows(std::string_view rows) { return ActiveSheet().Rows(rows); }
  host::Range Columns() { return ActiveSheet().Columns(); }
  host::Range Columns(int64_t index) { return ActiveSheet().Columns(index); }
  host::Range Columns(std::string_view columns) { return ActiveSheet().Columns(columns); }

  // --- The clipboard.
  // Copy mode: on after Range::Copy until CutCopyMode is set False, which drops the clipboard.
  bool CutCopyMode() const { return clipboard_.has_value(); }
  void SetCutCopyMode(bool on);
  void SetClipboard(ClipboardData data) { clipboard_ = std::move(data); }
  const ClipboardData* clipboard() const { return clipboard_ ? &*clipboard_ : nullptr; }

  // --- Settings and services.
  // Set False for bulk work; the front end turns it back on when a command ends.
  bool ScreenUpdating() const { return screen_updating_; }
  void SetScreenUpdating(bool on) { screen_updating_ = on; }
  // kXlCommentIndicatorOnly (-1, the host's default), kXlNoIndicator, kXlCommentAndIndicator.
  int DisplayCommentIndicator() const { return comment_indicator_; }
  void SetDisplayCommentIndicator(int value);
  double InchesToPoints(double inches) const { return inches * 72.0; }
  // The open-file box through the hook; "False" when cancelled or when no hook is installed.
  std::string GetOpenFilename(std::string_view filter = {});
  void SendKeys(std::string_view keys);

  // --- Shortcut keys. Binds Ctrl+`key` (a letter; upper case means Ctrl+Shift) to `macro`,
  // replacing the macro's earlier key and the key's earlier macro. has_shortcut False removes
  // the macro's key. HostError 1004 for a key that is not one ASCII letter.
  void MacroOptions(std::string_view macro, bool has_shortcut, std::string_view key);
  // key -> macro, ordered by key.
  const std::map<std::string, std::string>& shortcuts() const { return shortcuts_; }
  std::optional<std::string> MacroForKey(std::string_view key) const;

  CommandBarCollection& CommandBars() { return command_bars_; }

 private:
  friend class Sheet;
  friend class WorkbookCollection;
  friend class SheetCollection;
  friend class SelectedSheets;

  Workbook& AdoptWorkbook(std::unique_ptr<Workbook> workbook);
  void NotifySheetActivated();

  std::shared_ptr<FileService> file_service_;
  GetOpenFilenameHook get_open_filename_;
  PrintPreviewHook print_preview_;
  SendKeysHook send_keys_;
  SheetActivateHook sheet_activate_;

  std::vector<std::unique_ptr<Workbook>> workbooks_;
  Workbook* active_workbook_ = nullptr;
  int next_book_number_ = 1;
  std::optional<ClipboardData> clipboard_;
  bool screen_updating_ = true;
  int comment_indicator_ = kXlCommentIndicatorOnly;
  std::map<std::string, std::string> shortcuts_;
  CommandBarCollection command_bars_;
};

}  // namespace tessarin::host
