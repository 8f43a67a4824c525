// MainWindow: the spreadsheet host as its users meet it. It owns the host application, the
// file service, the dialog port and the add-in object; it shows the active workbook's sheets,
// calls Auto_Open when it starts, SheetActivate when the user changes sheet and END_Shori when it
// closes, builds the cell menu from the host's "cell" command bar and the shortcut keys from
// the macro options, and opens, saves and closes workbooks without losing anyone's changes: it
// holds the workbook lock of each workbook it has open, as the command line does while it works.
#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QUndoStack>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/desktop/qt_ui.h"
#include "core/addin/session.h"
#include "core/testgen/long_questions.h"
#include "render/font_catalog.h"

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QDockWidget;

namespace tessarin::desktop {

class NgChart;
class SheetGrid;
class SheetTabs;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Shows the window and, once it is on screen, runs the add-in's start-up (which shows the
  // file selection dialog first).
  void Start();

  host::Application& app() { return *app_; }
  addin::Tessarin& addin() { return *addin_; }
  QtUi& ui() { return *ui_; }
  SheetGrid* grid() const { return grid_; }
  SheetTabs* tabs() const { return tabs_; }
  QLineEdit* formula_bar() const { return formula_; }
  // The cell menu as the right click would show it now (the caller owns it).
  QMenu* BuildCellMenu();

  // What RunMacro returns when nothing ran.
  static constexpr int kNotRun = -1;
  // Runs a macro ("K_START") as the menu and the shortcut keys do and returns its result (the
  // error it returns is shown). kNotRun when it did not run, the user told why: no such macro,
  // another command still running, or the cell being edited refused what was typed.
  int RunMacro(const std::string& macro);
  // Opens a workbook as File > Open does. False when it failed (the user was told).
  bool OpenPath(const QString& path);
  // Saves the active workbook (asks where when it was never saved as .xlsx). False when it was
  // not saved.
  bool SaveActive();
  bool SaveActiveAs();
  // Writes the active sheet's print pages to a PDF at `path`, as File > Export to PDF does after
  // asking where. False when nothing was written (the user was told why).
  bool ExportPdfTo(const QString& path);
  // Writes the stroke-order answer key of the active workbook's test sheet (the active sheet
  // when it is one) to `path`; false after telling the user why not.
  bool ExportStrokeKeyTo(const QString& path);
  // The chart of wrong-answer totals shown beside the wrong-answer report.
  NgChart* ng_chart() const { return ng_chart_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs an add-in method; afterwards shows the error it returned and shows the workbook again.
  // kNotRun when the cell being edited refused what was typed (the grid said why).
  int RunAddin(const std::function<int()>& method);
  void ShowError(int number, const QString& description);
  // A message box without an error number.
  void ShowNotice(const QString& text);
  // Shows the active workbook: title, tabs, grid, Window menu.
  void SyncView();
  // Undo stacks and workbook locks of closed workbooks go with them.
  void ForgetClosedWorkbooks();
  void UpdateTitle();
  void RebuildShortcuts();
  void BuildMenus();
  void BuildFileMenu();
  void BuildEditMenu();
  void BuildSheetAndViewMenus();
  // File > Open: asks for a workbook and opens it.
  void ChooseAndOpen();
  void FillRecentMenu();
  void FillWindowMenu();
  void OnTabChanged(int index);
  void ShowCellMenu(QPoint global);
  // The address and content of the active cell above the grid.
  void ShowActiveCell();
  // Asks about unsaved changes of `workbook`: true to go on (saved or discarded), false to stop.
  bool ConfirmDiscard(host::Workbook& workbook);
  bool SaveTo(host::Workbook& workbook, const std::string& path);
  void CloseActiveWorkbook();
  void ShowPreview(const std::vector<std::string>& sheets);
  void PrintActive();
  void ExportPdf();
  void ExportStrokeKey();
  // The test sheet the stroke-order key is of: the active sheet when it is one, else the 40-
  // then the 20-question sheet; "" when the workbook has none.
  std::string KeyTestSheet() const;
  // Runs a print job; a HostError it throws is shown. False when it failed.
  bool Printing(const std::function<void()>& job);
  // Before the wrong-answer report: the totals of the single question sheet in the chart beside
  // the report's messages (no chart when there is no single question sheet; the report says why).
  void ShowNgChart();
  // Before a test is made from a workbook opened from a plain list (one sheet, not a question
  // sheet): offers that sheet as the question sheet and renames it as the command line does.
  void OfferListSheet();
  // While the test creation dialog is open after it made a test: notes the questions that print
  // too small to read; after the dialog, warns of them.
  void NoteLongQuestions();
  void WarnLongQuestions();
  QUndoStack& UndoFor(host::Workbook* workbook);

  // The sheet tabs' requests (main_window_sheets.cpp); `index` counts tabs from 0.
  void InsertSheet(int index);
  void DeleteSheet(int index);
  void RenameSheet(int index);
  void MoveOrCopySheet(int index);
  // The sheet of tab `index` once an edit in progress is committed; nullptr when there is none
  // or the edit was refused.
  host::Worksheet* SheetAtTab(int index);
  // Shows the workbook after its sheets changed; a sheet `name` that became active is announced
  // to the add-in.
  void ActivateAfterSheetChange(const std::string& name);

  std::unique_ptr<QtUi> ui_;
  std::unique_ptr<addin::Session> session_;
  host::Application* app_ = nullptr;  // the session's
  addin::Tessarin* addin_ = nullptr;  // the session's

  SheetGrid* grid_ = nullptr;
  SheetTabs* tabs_ = nullptr;
  QLabel* address_ = nullptr;
  QLineEdit* formula_ = nullptr;
  QDockWidget* ng_dock_ = nullptr;
  NgChart* ng_chart_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  QMenu* window_menu_ = nullptr;
  QAction* undo_action_ = nullptr;
  QAction* redo_action_ = nullptr;
  std::vector<QAction*> macro_actions_;
  // Menu actions with their usual key, given up while a macro holds it (as the host does).
  std::vector<std::pair<QAction*, QKeySequence>> standard_keys_;
  std::map<const host::Workbook*, std::unique_ptr<QUndoStack>> undo_;
  QUndoStack no_undo_;
  bool syncing_ = false;
  // While the test creation dialog runs: the change counter when the test sheet was last
  // shown from its first question, and whether a test was made.
  bool making_test_ = false;
  bool test_made_ = false;
  uint64_t made_at_ = 0;
  std::vector<testgen::LongQuestion> long_questions_;
  render::FontCatalog grid_fonts_;  // the fonts the long-question check measures with
  int busy_ = 0;
  bool closing_ = false;
};

}  // namespace tessarin::desktop
