// MainWindow: menus, sheet tabs, the add-in's entry points and the workbook files.
#include "app/desktop/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/desktop/face_icons.h"
#include "app/desktop/ng_chart.h"
#include "app/desktop/paper_pictures.h"
#include "app/desktop/sheet_grid.h"
#include "app/desktop/workbook_state.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/host/running_object.h"
#include "core/marking/answer_key.h"
#include "core/reports/kanjidic_tables.h"
#include "core/reports/mistake_report.h"
#include "core/workbook/question_sheet.h"
#include "core/workbook/record_guard.h"
#include "render/pdf_output.h"
#include "render/printer_output.h"
#include "render/stroke_key.h"

namespace tessarin::desktop {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr std::string_view kCopy = "コピー(&C)";
constexpr std::string_view kCut = "切り取り(&T)";
constexpr std::string_view kPaste = "貼り付け(&P)";
constexpr std::string_view kClear = "数式と値のクリア(&N)";

bool Imported(const host::Workbook& workbook) {
  const host::FileFormat format = workbook.file_format();
  return format == host::FileFormat::kXls || format == host::FileFormat::kText ||
         format == host::FileFormat::kCsv;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), app_(std::make_unique<host::Application>()) {
  files_ = std::make_shared<ooxml::WorkbookFiles>();
  files_->set_save_guard(workbook::MakeRecordGuard());  // as every front end's saves
  app_->set_file_service(files_);
  ui_ = std::make_unique<QtUi>(this);
  ui_->set_after_gesture([this] { SyncView(); });
  ui_->set_picture_painter(&PaperPicture);
  ui_->set_print_preview([this](const std::vector<std::string>& sheets) { ShowPreview(sheets); });
  app_->set_get_open_filename_hook([this](std::string_view filter) -> std::string {
    std::optional<std::string> path = ui_->GetOpenFilename(filter);
    return path ? *path : "False";
  });
  app_->set_print_preview_hook(
      [this](const std::vector<std::string>& sheets) { ShowPreview(sheets); });
  app_->set_sheet_activate_hook([this](host::Worksheet&) {
    if (!syncing_) QTimer::singleShot(0, this, [this] { SyncView(); });
  });
  host::RegisterRunningApplication(app_.get());
  addin_ = std::make_unique<addin::Tessarin>(*ui_);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QHBoxLayout();
  bar->setContentsMargins(4, 2, 4, 2);
  address_ = new QLabel(central);
  address_->setMinimumWidth(80);
  formula_ = new QLineEdit(central);
  formula_->setObjectName(QStringLiteral("FormulaBar"));
  bar->addWidget(address_);
  bar->addWidget(formula_, 1);
  layout->addLayout(bar);
  grid_ = new SheetGrid(central);
  tabs_ = new QTabBar(central);
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setDocumentMode(true);
  layout->addWidget(grid_, 1);
  layout->addWidget(tabs_);
  setCentralWidget(central);
  statusBar();

  connect(tabs_, &QTabBar::currentChanged, this, &MainWindow::OnTabChanged);
  connect(grid_, &SheetGrid::contextMenuWanted, this, &MainWindow::ShowCellMenu);
  connect(grid_, &SheetGrid::selectionChanged, this, &MainWindow::ShowActiveCell);
  connect(formula_, &QLineEdit::returnPressed, this, [this] {
    if (grid_->EnterIntoActiveCell(formula_->text())) grid_->setFocus();
    ShowActiveCell();
  });
  connect(grid_, &SheetGrid::edited, this, [this] {
    if (host::Workbook* book = app_->active_workbook()) book->set_saved(false);
    UpdateTitle();
    ShowActiveCell();
  });
  connect(grid_, &SheetGrid::failed, this,
          [this](int number, const QString& text) { ShowError(number, text); });

  ng_dock_ = new QDockWidget(QStringLiteral("間違い数"), this);
  ng_dock_->setObjectName(QStringLiteral("NgChartDock"));
  ng_chart_ = new NgChart(ng_dock_);
  ng_dock_->setWidget(ng_chart_);
  addDockWidget(Qt::RightDockWidgetArea, ng_dock_);
  ng_dock_->hide();

  BuildMenus();
  resize(1000, 700);
  SyncView();
}

MainWindow::~MainWindow() {
  addin_.reset();
  host::RegisterRunningApplication(nullptr);
}

void MainWindow::Start() {
  show();
  QTimer::singleShot(0, this, [this] { RunAddin([this] { return addin_->Auto_Open(); }); });
}

// --- The add-in

int MainWindow::RunAddin(const std::function<int()>& method) {
  if (!grid_->CommitEdit()) return 0;
  ++busy_;
  const int result = method();
  --busy_;
  // What a command changed cannot be undone piecewise; the host forgets the user's edits too.
  for (auto& [book, stack] : undo_) stack->clear();
  NoteChanges();
  SyncView();
  RebuildShortcuts();
  if (result != 0) ShowError(result, Q(addin_->last_error()));
  return result;
}

int MainWindow::RunMacro(const std::string& macro) {
  if (busy_ > 0) return 0;
  if (macro == "K_NG_Report") ShowNgChart();
  return RunAddin([&] { return addin_->RunMacro(macro); });
}

void MainWindow::ShowNgChart() {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr) return;
  host::Worksheet* questions = nullptr;
  for (int i = 1; i <= book->SheetCount(); ++i) {
    host::Worksheet& sheet = book->Sheet(i);
    if (!workbook::IsQuestionSheetName(sheet.name())) continue;
    if (questions != nullptr) return;  // several: the report names the fault
    questions = &sheet;
  }
  if (questions == nullptr) return;
  try {
    ng_chart_->SetTotals(reports::WrongMarksByAttempt(app_->SheetOf(*questions)),
                         Q(questions->name()));
  } catch (const host::HostError&) {
    return;  // the report meets the same fault and shows it
  }
  ng_dock_->show();
  ng_dock_->raise();
}

void MainWindow::ShowError(int number, const QString& description) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ミラトス"),
                  QStringLiteral("実行時エラー '%1':\n\n%2").arg(number).arg(description),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("ErrorBox"));
  box.exec();
}

void MainWindow::RebuildShortcuts() {
  for (QAction* action : macro_actions_) {
    removeAction(action);
    delete action;
  }
  macro_actions_.clear();
  std::vector<QKeySequence> taken;
  for (const auto& [key, macro] : app_->shortcuts()) {
    if (key.size() != 1) continue;
    const char letter = key[0];
    const int qt_key = Qt::Key_A + (std::toupper(static_cast<unsigned char>(letter)) - 'A');
    const QKeySequence sequence(
        std::isupper(static_cast<unsigned char>(letter))
            ? QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key(qt_key))
            : QKeyCombination(Qt::ControlModifier, Qt::Key(qt_key)));
    auto* action = new QAction(Q(macro), this);
    action->setObjectName(Q(macro));
    action->setShortcut(sequence);
    action->setShortcutContext(Qt::WindowShortcut);
    const std::string name = macro;
    connect(action, &QAction::triggered, this, [this, name] { RunMacro(name); });
    addAction(action);
    macro_actions_.push_back(action);
    taken.push_back(sequence);
  }
  // A macro's key wins over the window's own use of it.
  for (auto& [action, sequence] : standard_keys_) {
    const bool held = std::find(taken.begin(), taken.end(), sequence) != taken.end();
    action->setShortcut(held ? QKeySequence() : sequence);
  }
}

QMenu* MainWindow::BuildCellMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("CellMenu"));
  const std::function<void(QMenu*, const host::ControlList&)> fill =
      [&](QMenu* into, const host::ControlList& list) {
        bool first = true;
        for (const auto& control : list.controls()) {
          if (control->BeginGroup() && !first) into->addSeparator();
          first = false;
          const QString caption = Q(control->Caption());
          if (control->IsPopup()) {
            QMenu* sub = into->addMenu(caption);
            sub->setObjectName(caption);
            fill(sub, control->Controls());
            continue;
          }
          QAction* action = into->addAction(FaceIcon(control->FaceId().value_or(0)), caption);
          const std::string on_action = control->OnAction();
          const std::string built_in = control->Caption();
          if (!on_action.empty()) {
            connect(action, &QAction::triggered, this, [this, on_action] { RunMacro(on_action); });
          } else if (built_in == kCopy) {
            connect(action, &QAction::triggered, grid_, &SheetGrid::CopySelection);
          } else if (built_in == kCut) {
            connect(action, &QAction::triggered, grid_, &SheetGrid::CutSelection);
          } else if (built_in == kPaste) {
            connect(action, &QAction::triggered, grid_, &SheetGrid::Paste);
          } else if (built_in == kClear) {
            connect(action, &QAction::triggered, grid_, &SheetGrid::ClearSelection);
          } else {
            action->setEnabled(false);  // host dialogs this window does not have
          }
        }
      };
  if (host::CommandBar* bar = app_->CommandBars().Find("cell")) fill(menu, bar->Controls());
  return menu;
}

void MainWindow::ShowActiveCell() {
  host::Worksheet* sheet = grid_->sheet();
  if (sheet == nullptr) {
    address_->clear();
    formula_->clear();
    formula_->setEnabled(false);
    return;
  }
  const host::CellRef cell = grid_->active_cell();
  address_->setText(Q(host::ColumnLetters(cell.col) + std::to_string(cell.row)));
  formula_->setEnabled(true);
  formula_->setText(SheetGrid::EditableText(*sheet, cell));
}

void MainWindow::ShowCellMenu(QPoint global) {
  if (app_->active_workbook() == nullptr) return;
  QMenu* menu = BuildCellMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(global);
}

// --- Showing the workbook

QUndoStack& MainWindow::UndoFor(host::Workbook* workbook) {
  if (workbook == nullptr) return no_undo_;
  auto& stack = undo_[workbook];
  if (!stack) stack = std::make_unique<QUndoStack>();
  return *stack;
}

void MainWindow::NoteChanges() {
  std::map<const host::Workbook*, uint64_t> now;
  for (const auto& book : app_->workbooks()) {
    const uint64_t print = Fingerprint(*book);
    auto known = fingerprints_.find(book.get());
    if (known != fingerprints_.end() && known->second != print) book->set_saved(false);
    now[book.get()] = print;
  }
  fingerprints_ = std::move(now);
  // Undo stacks of closed workbooks go with them.
  for (auto it = undo_.begin(); it != undo_.end();) {
    it = fingerprints_.count(it->first) ? std::next(it) : undo_.erase(it);
  }
}

void MainWindow::UpdateTitle() {
  host::Workbook* book = app_->active_workbook();
  setWindowTitle(book ? Q(book->name()) + QStringLiteral("[*] - Tessarin")
                      : QStringLiteral("Tessarin"));
  setWindowModified(book != nullptr && !book->saved());
}

void MainWindow::SyncView() {
  syncing_ = true;
  host::Workbook* book = app_->active_workbook();
  host::Worksheet* sheet = book ? book->active_sheet() : nullptr;
  while (tabs_->count() > 0) tabs_->removeTab(tabs_->count() - 1);
  if (book != nullptr) {
    for (int i = 1; i <= book->SheetCount(); ++i) {
      const host::Worksheet& each = book->Sheet(i);
      const int tab = tabs_->addTab(Q(each.name()));
      if (each.visibility() != host::SheetVisibility::kVisible) tabs_->setTabVisible(tab, false);
    }
    if (sheet != nullptr) tabs_->setCurrentIndex(book->IndexOf(*sheet) - 1);
  }
  QUndoStack& undo = UndoFor(book);
  undo_action_->disconnect();
  redo_action_->disconnect();
  connect(undo_action_, &QAction::triggered, &undo, [this, &undo] {
    undo.undo();
    grid_->Reload();
    if (host::Workbook* b = app_->active_workbook()) b->set_saved(false);
    UpdateTitle();
  });
  connect(redo_action_, &QAction::triggered, &undo, [this, &undo] {
    undo.redo();
    grid_->Reload();
    UpdateTitle();
  });
  undo_action_->setEnabled(true);
  if (grid_->sheet() != sheet) {
    grid_->SetSheet(app_.get(), sheet, &undo);
  } else {
    grid_->Reload();
  }
  UpdateTitle();
  syncing_ = false;
}

void MainWindow::OnTabChanged(int index) {
  if (syncing_ || index < 0) return;
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr || index >= book->SheetCount()) return;
  if (!grid_->CommitEdit()) return;
  host::Worksheet& sheet = book->Sheet(index + 1);
  syncing_ = true;
  try {
    app_->SheetOf(sheet).Activate();
  } catch (const host::HostError& error) {
    syncing_ = false;
    ShowError(error.number(), Q(error.description()));
    SyncView();
    return;
  }
  syncing_ = false;
  std::string name = sheet.name();
  RunAddin([&] { return addin_->SheetActivate(name); });
}

// --- Menus

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  QAction* open = file->addAction(QStringLiteral("開く(&O)..."), this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("ブックを開く"),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QStringLiteral("Excel ブック (*.xlsx *.xlsm *.xls);;テキスト ファイル (*.txt "
                       "*.csv);;すべてのファイル (*)"));
    if (!path.isEmpty()) OpenPath(path);
  });
  standard_keys_.emplace_back(open, QKeySequence(Qt::CTRL | Qt::Key_O));
  QAction* save = file->addAction(QStringLiteral("上書き保存(&S)"), this, [this] { SaveActive(); });
  standard_keys_.emplace_back(save, QKeySequence(Qt::CTRL | Qt::Key_S));
  QAction* save_as =
      file->addAction(QStringLiteral("名前を付けて保存(&A)..."), this, [this] { SaveActiveAs(); });
  standard_keys_.emplace_back(save_as, QKeySequence(Qt::Key_F12));
  recent_menu_ = file->addMenu(QStringLiteral("最近使ったブック(&R)"));
  connect(recent_menu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  file->addAction(QStringLiteral("ブックを閉じる(&C)"), this, [this] { CloseActiveWorkbook(); });
  file->addSeparator();
  file->addAction(QStringLiteral("印刷プレビュー(&V)"), this, [this] {
    if (host::Workbook* book = app_->active_workbook(); book && book->active_sheet()) {
      ShowPreview({book->active_sheet()->name()});
    }
  });
  file->addAction(QStringLiteral("印刷プレビュー(&V)"), this,
                  [this] {
                    if (grid_->sheet() != nullptr) ShowPreview({grid_->sheet()->name()});
                  })
      ->setObjectName(QStringLiteral("PrintPreviewAction"));
  file->addAction(QStringLiteral("印刷(&P)..."), this, [this] { PrintActive(); });
  file->addAction(QStringLiteral("PDF に書き出し(&E)..."), this, [this] { ExportPdf(); });
  file->addAction(QStringLiteral("書き順つき解答を PDF に書き出し(&K)..."), this,
                  [this] { ExportStrokeKey(); });
  file->addSeparator();
  file->addAction(QStringLiteral("終了(&X)"), this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
  undo_action_ = edit->addAction(QStringLiteral("元に戻す(&U)"));
  // Ctrl+Z and Ctrl+A belong to the add-in's keys; the host's other undo key stays free.
  undo_action_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Backspace));
  redo_action_ = edit->addAction(QStringLiteral("やり直し(&R)"));
  standard_keys_.emplace_back(redo_action_, QKeySequence(Qt::CTRL | Qt::Key_Y));
  edit->addSeparator();
  QAction* cut = edit->addAction(QStringLiteral("切り取り(&T)"), grid_, &SheetGrid::CutSelection);
  standard_keys_.emplace_back(cut, QKeySequence(Qt::CTRL | Qt::Key_X));
  QAction* copy = edit->addAction(QStringLiteral("コピー(&C)"), grid_, &SheetGrid::CopySelection);
  standard_keys_.emplace_back(copy, QKeySequence(Qt::CTRL | Qt::Key_C));
  QAction* paste = edit->addAction(QStringLiteral("貼り付け(&P)"), grid_, &SheetGrid::Paste);
  standard_keys_.emplace_back(paste, QKeySequence(Qt::CTRL | Qt::Key_V));
  edit->addAction(QStringLiteral("数式と値のクリア(&N)"), grid_, &SheetGrid::ClearSelection);

  QMenu* sheets = menuBar()->addMenu(QStringLiteral("シート(&S)"));
  sheets->addAction(QStringLiteral("ワークシートの挿入(&I)"), this, [this] {
    if (app_->active_workbook() == nullptr || !grid_->CommitEdit()) return;
    std::string name;
    try {
      name = app_->Sheets().Add().Name();
    } catch (const host::HostError& error) {
      ShowError(error.number(), Q(error.description()));
      return;
    }
    // A new sheet is one the user activates: the add-in hears of it.
    RunAddin([&] { return addin_->SheetActivate(name); });
  });

  QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
  QAction* gridlines = view->addAction(QStringLiteral("枠線(&G)"));
  gridlines->setCheckable(true);
  connect(view, &QMenu::aboutToShow, this, [this, gridlines] {
    host::Worksheet* sheet = grid_->sheet();
    gridlines->setEnabled(sheet != nullptr);
    gridlines->setChecked(sheet != nullptr && sheet->view().display_gridlines);
  });
  connect(gridlines, &QAction::triggered, this, [this](bool on) {
    if (host::Worksheet* sheet = grid_->sheet()) {
      sheet->view().display_gridlines = on;
      grid_->Reload();
    }
  });

  window_menu_ = menuBar()->addMenu(QStringLiteral("ウィンドウ(&W)"));
  connect(window_menu_, &QMenu::aboutToShow, this, &MainWindow::FillWindowMenu);

  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->addAction(QStringLiteral("バージョン情報(&A)"), this, [this] { RunMacro("K_QVersion"); });
  help->addAction(QStringLiteral("使用しているデータとフォント(&D)"), this, [this] {
    QMessageBox::about(this, QStringLiteral("使用しているデータとフォント"),
                       Q(std::string(reports::kDataNotice)));
  });
  RebuildShortcuts();
}

void MainWindow::FillRecentMenu() {
  recent_menu_->clear();
  for (int i = 1; i <= 5; ++i) {
    const std::string path = addin_->module().GetIniValue("PATH" + std::to_string(i), "");
    if (path.empty()) continue;
    QAction* action = recent_menu_->addAction(QStringLiteral("&%1 %2").arg(i).arg(Q(path)));
    action->setEnabled(QFileInfo::exists(Q(path)));
    connect(action, &QAction::triggered, this, [this, path] { OpenPath(Q(path)); });
  }
  if (recent_menu_->isEmpty())
    recent_menu_->addAction(QStringLiteral("履歴なし"))->setEnabled(false);
}

void MainWindow::FillWindowMenu() {
  window_menu_->clear();
  for (const auto& book : app_->workbooks()) {
    QAction* action = window_menu_->addAction(Q(book->name()));
    action->setCheckable(true);
    action->setChecked(book.get() == app_->active_workbook());
    host::Workbook* target = book.get();
    connect(action, &QAction::triggered, this, [this, target] {
      if (!grid_->CommitEdit()) return;
      app_->ActivateWorkbook(*target);
      SyncView();
    });
  }
}

// --- Files

bool MainWindow::OpenPath(const QString& path) {
  if (!grid_->CommitEdit()) return false;
  host::Workbook* previous = app_->active_workbook();
  // A blank workbook nobody touched gives way to the one opened, as the host does.
  const bool pristine = previous != nullptr && previous->path().empty() && previous->saved() &&
                        fingerprints_.count(previous) &&
                        fingerprints_[previous] == Fingerprint(*previous);
  try {
    app_->Workbooks().Open(QFileInfo(path).absoluteFilePath().toStdString());
  } catch (const host::HostError& error) {
    ShowError(error.number(), Q(error.description()));
    return false;
  }
  if (pristine && app_->active_workbook() != previous) app_->CloseWorkbook(*previous);
  NoteChanges();
  SyncView();
  return true;
}

bool MainWindow::SaveTo(host::Workbook& workbook, const std::string& path) {
  ooxml::SaveOptions options;
  for (;;) {
    try {
      files_->Save(workbook, path, options);
      fingerprints_[&workbook] = Fingerprint(workbook);
      UpdateTitle();
      statusBar()->showMessage(QStringLiteral("保存しました: %1").arg(Q(workbook.FullName())),
                               5000);
      return true;
    } catch (const ooxml::SaveConflict& conflict) {
      const QString question =
          conflict.kind() == ooxml::SaveConflict::Kind::kChangedOnDisk
              ? QStringLiteral(
                    "「%"
                    "1」は開いた後でほかのプログラムによって変更されています。\n上書きしますか？")
              : QStringLiteral("「%1」は既にあります。置き換えますか？");
      if (QMessageBox::question(this, QStringLiteral("確認"), question.arg(Q(conflict.target()))) !=
          QMessageBox::Yes) {
        return false;
      }
      options.force = true;
    } catch (const host::HostError& error) {
      ShowError(error.number(), Q(error.description()));
      return false;
    }
  }
}

bool MainWindow::SaveActive() {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr || !grid_->CommitEdit()) return false;
  // An imported file is never written over: the user says where its .xlsx goes.
  if (book->path().empty() || Imported(*book)) return SaveActiveAs();
  return SaveTo(*book, book->FullName());
}

bool MainWindow::SaveActiveAs() {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr || !grid_->CommitEdit()) return false;
  const QString folder = book->path().empty()
                             ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                             : Q(book->path());
  const QString stem = QFileInfo(Q(book->name())).completeBaseName();
  QFileDialog dialog(this, QStringLiteral("名前を付けて保存"), folder + "/" + stem + ".xlsx",
                     QStringLiteral("Excel ブック (*.xlsx)"));
  dialog.setObjectName(QStringLiteral("SaveFileBox"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("xlsx"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  QString path = dialog.selectedFiles().front();
  if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) path += QStringLiteral(".xlsx");
  return SaveTo(*book, path.toStdString());
}

bool MainWindow::ConfirmDiscard(host::Workbook& workbook) {
  if (workbook.saved()) return true;
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tessarin"),
                  QStringLiteral("'%1' への変更を保存しますか？").arg(Q(workbook.name())),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName(QStringLiteral("SaveChangesBox"));
  box.button(QMessageBox::Save)->setText(QStringLiteral("保存(&S)"));
  box.button(QMessageBox::Discard)->setText(QStringLiteral("保存しない(&N)"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
  box.setDefaultButton(QMessageBox::Save);
  const int answer = box.exec();
  if (answer == QMessageBox::Discard) return true;
  if (answer != QMessageBox::Save) return false;
  app_->ActivateWorkbook(workbook);
  SyncView();
  return SaveActive();
}

void MainWindow::CloseActiveWorkbook() {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr || !grid_->CommitEdit()) return;
  NoteChanges();
  if (!ConfirmDiscard(*book)) return;
  app_->CloseWorkbook(*book);
  NoteChanges();
  SyncView();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ > 0 || !grid_->CommitEdit()) {
    event->ignore();
    return;
  }
  NoteChanges();
  std::vector<host::Workbook*> books;
  for (const auto& book : app_->workbooks()) books.push_back(book.get());
  for (host::Workbook* book : books) {
    if (!ConfirmDiscard(*book)) {
      event->ignore();
      return;
    }
  }
  // The add-in records the active workbook in its recent list and takes its menu down.
  RunAddin([this] { return addin_->END_Shori(); });
  event->accept();
}

// --- Printing

// Preview, printer and PDF all take their pages from render/, the pages `tessarin print` writes.

bool MainWindow::Printing(const std::function<void()>& job) {
  try {
    job();
    return true;
  } catch (const host::HostError& error) {
    ShowError(error.number(), Q(error.description()));
    return false;
  }
}

void MainWindow::ShowPreview(const std::vector<std::string>& sheets) {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr || sheets.empty()) return;
  host::Worksheet* sheet = book->FindSheet(sheets.front());
  if (sheet == nullptr) return;
  if (sheet->cells().CellCount() == 0) {
    ShowError(host::kErrApplicationDefined, QStringLiteral("印刷する内容がありません。"));
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  render::SetUpPrinter(*sheet, printer);
  QPrintPreviewDialog preview(&printer, this);
  preview.setObjectName(QStringLiteral("PrintPreview"));
  preview.setWindowTitle(QStringLiteral("印刷プレビュー - %1").arg(Q(sheet->name())));
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, sheet](QPrinter* target) {
    Printing([&] { render::PrintSheet(*sheet, *target); });
  });
  preview.resize(900, 800);
  preview.exec();
}

void MainWindow::PrintActive() {
  host::Worksheet* sheet = grid_->sheet();
  if (sheet == nullptr) return;
  QPrinter printer(QPrinter::HighResolution);
  if (!Printing([&] { render::SetUpPrinter(*sheet, printer); })) return;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) Printing([&] { render::PrintSheet(*sheet, printer); });
}

void MainWindow::ExportPdf() {
  host::Worksheet* sheet = grid_->sheet();
  if (sheet == nullptr) return;
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("PDF に書き出し"),
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/" + Q(sheet->name()) +
          ".pdf",
      QStringLiteral("PDF (*.pdf)"));
  if (!path.isEmpty()) ExportPdfTo(path);
}

bool MainWindow::ExportPdfTo(const QString& path) {
  host::Worksheet* sheet = grid_->sheet();
  if (sheet == nullptr) return false;
  int pages = 0;
  if (!Printing([&] { pages = render::WritePdf(*sheet, path.toStdString()); })) return false;
  statusBar()->showMessage(QStringLiteral("%1 ページを書き出しました: %2").arg(pages).arg(path),
                           5000);
  return true;
}

std::string MainWindow::KeyTestSheet() const {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr) return "";
  const std::string active = grid_->sheet() != nullptr ? grid_->sheet()->name() : "";
  if (active == workbook::kTestSheet40 || active == workbook::kTestSheet20) return active;
  for (std::string_view name : {workbook::kTestSheet40, workbook::kTestSheet20}) {
    if (book->FindSheet(name) != nullptr) return std::string(name);
  }
  return "";
}

void MainWindow::ExportStrokeKey() {
  const std::string test = KeyTestSheet();
  if (test.empty()) {
    ShowError(host::kErrApplicationDefined, QStringLiteral("テスト用紙がありません。"));
    return;
  }
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("書き順つき解答を PDF に書き出し"),
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
          QStringLiteral("/書き順つき解答.pdf"),
      QStringLiteral("PDF (*.pdf)"));
  if (!path.isEmpty()) ExportStrokeKeyTo(path);
}

bool MainWindow::ExportStrokeKeyTo(const QString& path) {
  const std::string test = KeyTestSheet();
  int pages = 0;
  if (!Printing([&] {
        if (test.empty())
          throw host::HostError(host::kErrApplicationDefined, "テスト用紙がありません。");
        std::string title;
        const auto key = marking::ReadAnswerKey(*app_, test, &title);
        pages = render::WriteStrokeKeyPdf(title, key, path.toStdString());
      })) {
    return false;
  }
  statusBar()->showMessage(
      QStringLiteral("書き順つき解答 %1 ページを書き出しました: %2").arg(pages).arg(path), 5000);
  return true;
}

}  // namespace tessarin::desktop
