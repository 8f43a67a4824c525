// MainWindow: menus, sheet tabs, the add-in's entry points and the workbook files.
#include "app/desktop/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/desktop/command_status.h"
#include "app/desktop/face_icons.h"
#include "app/desktop/ng_chart.h"
#include "app/desktop/paper_pictures.h"
#include "app/desktop/sheet_grid.h"
#include "app/desktop/sheet_tabs.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/reports/kanjidic_tables.h"
#include "core/reports/mistake_report.h"
#include "core/testgen/long_questions.h"
#include "core/workbook/list_sheet.h"
#include "core/workbook/question_sheet.h"
#include "render/cell_painter.h"

namespace tessarin::desktop {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr std::string_view kCopy = "コピー(&C)";
constexpr std::string_view kCut = "切り取り(&T)";
constexpr std::string_view kPaste = "貼り付け(&P)";
constexpr std::string_view kClear = "数式と値のクリア(&N)";

bool IsTestSheet(std::string_view name) {
  return name == workbook::kTestSheet40 || name == workbook::kTestSheet20;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  ui_ = std::make_unique<QtUi>(this);
  ui_->set_after_gesture([this] { SyncView(); });
  ui_->set_picture_painter(&PaperPicture);
  ui_->set_print_preview([this](const std::vector<std::string>& sheets) { ShowPreview(sheets); });
  session_ = std::make_unique<addin::Session>(*ui_, addin::WorkbookLocks::kHold);
  app_ = &session_->app();
  addin_ = &session_->addin();
  app_->set_sheet_activate_hook([this](host::Worksheet&) {
    if (!syncing_) QTimer::singleShot(0, this, [this] { SyncView(); });
  });

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
  tabs_ = new SheetTabs(central);
  layout->addWidget(grid_, 1);
  layout->addWidget(tabs_);
  setCentralWidget(central);
  statusBar();

  connect(tabs_, &QTabBar::currentChanged, this, &MainWindow::OnTabChanged);
  connect(tabs_, &SheetTabs::insertWanted, this, &MainWindow::InsertSheet);
  connect(tabs_, &SheetTabs::deleteWanted, this, &MainWindow::DeleteSheet);
  connect(tabs_, &SheetTabs::renameWanted, this, &MainWindow::RenameSheet);
  connect(tabs_, &SheetTabs::moveOrCopyWanted, this, &MainWindow::MoveOrCopySheet);
  connect(grid_, &SheetGrid::contextMenuWanted, this, &MainWindow::ShowCellMenu);
  connect(grid_, &SheetGrid::selectionChanged, this, &MainWindow::ShowActiveCell);
  connect(formula_, &QLineEdit::returnPressed, this, [this] {
    if (grid_->EnterIntoActiveCell(formula_->text())) grid_->setFocus();
    ShowActiveCell();
  });
  connect(grid_, &SheetGrid::edited, this, [this] {
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
  // The add-in's shut-down may still reach the window through the Ui port.
  session_.reset();
}

void MainWindow::Start() {
  show();
  QTimer::singleShot(0, this, [this] { RunAddin([this] { return addin_->Auto_Open(); }); });
}

// --- The add-in

int MainWindow::RunAddin(const std::function<int()>& method) {
  if (!grid_->CommitEdit()) return kNotRun;  // the grid showed why
  ++busy_;
  const int result = method();
  --busy_;
  // What a command changed cannot be undone piecewise; the host forgets the user's edits too.
  for (auto& [book, stack] : undo_) stack->clear();
  ForgetClosedWorkbooks();
  SyncView();
  RebuildShortcuts();
  if (result != 0) ShowError(result, Q(addin_->last_error()));
  return result;
}

int MainWindow::RunMacro(const std::string& macro) {
  if (busy_ > 0) {
    // A key pressed while a command's dialog is open: commands do not nest.
    statusBar()->showMessage(
        QStringLiteral("コマンドの実行中は %1 を実行できません。").arg(Q(macro)), 5000);
    return kNotRun;
  }
  const CommandScene before = SceneOf(*app_);
  making_test_ = macro == "K_START";
  test_made_ = false;
  long_questions_.clear();
  made_at_ = before.changes;
  std::optional<int> result;
  const int shown = RunAddin([&] {
    if (macro == "K_NG_Report") ShowNgChart();
    if (macro == "K_START") OfferListSheet();
    result = session_->RunMacro(macro);
    return result.value_or(0);
  });
  making_test_ = false;
  if (shown == kNotRun) return kNotRun;
  if (test_made_) WarnLongQuestions();
  if (result == 0) {
    const std::string status = StatusAfter(macro, before, SceneOf(*app_));
    if (!status.empty()) statusBar()->showMessage(Q(status), 10000);
  }
  if (!result) {
    ShowError(
        host::kErrApplicationDefined,
        QStringLiteral("マクロ '%1' を実行できません。マクロが見つかりません。").arg(Q(macro)));
    return kNotRun;
  }
  return *result;
}

void MainWindow::NoteLongQuestions() {
  const auto* form = dynamic_cast<const testgen::KanjiForm1*>(ui_->OpenForm("KanjiForm1"));
  if (form == nullptr) return;
  try {
    long_questions_ = testgen::FindLongQuestions(
        addin_->module(), *form, [this](const host::Worksheet& sheet, int32_t row, int32_t col) {
          return render::ShrinkFactor(grid_fonts_, sheet, row, col);
        });
  } catch (const host::HostError&) {
    long_questions_.clear();  // no test sheet after all: nothing printed small
  }
}

void MainWindow::WarnLongQuestions() {
  if (long_questions_.empty()) return;
  QString text = QStringLiteral(
      "次の問題は文字が縮んで印刷され、読みにくくなります。"
      "読めるように短くしてください。\n");
  for (const testgen::LongQuestion& q : long_questions_) {
    text += QStringLiteral("\n%1 行目（問 %2）: %3 文字、%4 ポイントの文字が %5 ポイントに縮みます")
                .arg(q.row)
                .arg(q.number)
                .arg(q.length)
                .arg(q.font_size, 0, 'f', 1)
                .arg(q.printed_size, 0, 'f', 1);
  }
  ShowNotice(text);
}

void MainWindow::OfferListSheet() {
  host::Workbook* book = app_->active_workbook();
  host::Worksheet* list = book ? workbook::FindListSheet(*book) : nullptr;
  if (list == nullptr) return;
  const std::string name = workbook::QuestionSheetNameFor(*book);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ミラトス"),
                  QStringLiteral("シート「%1」を出題文シートとして使いますか？\n"
                                 "シート名を「%2」に変更します。")
                      .arg(Q(list->name()), Q(name)),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("ListSheetBox"));
  box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
  box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
  if (box.exec() != QMessageBox::Yes) return;
  std::string taken = workbook::TakeAsQuestionSheet(*book, *list);
  SyncView();
  // As when the user activates the renamed sheet: the add-in reads which sheet is active.
  addin_->SheetActivate(taken);
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

void MainWindow::ShowNotice(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tessarin"), text, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("NoticeBox"));
  box.exec();
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
  for (const auto& [chord, macro] : session_->Shortcuts()) {
    const auto qt_key = static_cast<Qt::Key>(Qt::Key_A + (chord.letter - 'A'));
    const QKeySequence sequence(
        chord.shift ? QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, qt_key)
                    : QKeyCombination(Qt::ControlModifier, qt_key));
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

void MainWindow::ForgetClosedWorkbooks() {
  const auto open = [this](const host::Workbook* book) {
    for (const auto& each : app_->workbooks()) {
      if (each.get() == book) return true;
    }
    return false;
  };
  for (auto it = undo_.begin(); it != undo_.end();) {
    it = open(it->first) ? std::next(it) : undo_.erase(it);
  }
  // Another program may change a closed workbook's file at once.
  session_->ReleaseClosedLocks();
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
    UpdateTitle();
  });
  connect(redo_action_, &QAction::triggered, &undo, [this, &undo] {
    undo.redo();
    grid_->Reload();
    UpdateTitle();
  });
  undo_action_->setEnabled(true);
  if (grid_->sheet() != sheet) {
    grid_->SetSheet(app_, sheet, &undo);
  } else {
    grid_->Reload();
  }
  // A test just made is shown from its first question, on the right of the sheet.
  if (making_test_ && sheet != nullptr && IsTestSheet(sheet->name()) &&
      book->changes() != made_at_) {
    made_at_ = book->changes();
    test_made_ = true;
    grid_->ShowRightEdge();
    NoteLongQuestions();
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
  BuildFileMenu();
  BuildEditMenu();
  BuildSheetAndViewMenus();
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

void MainWindow::ChooseAndOpen() {
  QFileDialog dialog(this, QStringLiteral("ブックを開く"),
                     QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                     QtUi::OpenableFilesEntry() +
                         QStringLiteral(";;Excel ブック (*.xlsx *.xlsm *.xls);;テキスト ファイル "
                                        "(*.txt *.csv);;すべてのファイル (*)"));
  dialog.setObjectName(QStringLiteral("OpenBookBox"));
  // Qt's own dialog, in the user's language through Qt's translations, as the add-in's is.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    OpenPath(dialog.selectedFiles().front());
  }
}

void MainWindow::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  QAction* open = file->addAction(QStringLiteral("開く(&O)..."), this, [this] { ChooseAndOpen(); });
  open->setObjectName(QStringLiteral("OpenAction"));
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
}

void MainWindow::BuildEditMenu() {
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
}

void MainWindow::BuildSheetAndViewMenus() {
  QMenu* sheets = menuBar()->addMenu(QStringLiteral("シート(&S)"));
  // The active sheet's tab menu.
  sheets->addAction(QStringLiteral("ワークシートの挿入(&I)"), this,
                    [this] { InsertSheet(tabs_->currentIndex()); });
  sheets->addAction(QStringLiteral("シートの削除(&D)"), this,
                    [this] { DeleteSheet(tabs_->currentIndex()); });
  sheets->addAction(QStringLiteral("シート名の変更(&R)"), this,
                    [this] { RenameSheet(tabs_->currentIndex()); });
  sheets->addAction(QStringLiteral("シートの移動またはコピー(&M)..."), this,
                    [this] { MoveOrCopySheet(tabs_->currentIndex()); });

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
      sheet->NoteChange();
      UpdateTitle();
      grid_->Reload();
    }
  });
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

}  // namespace tessarin::desktop
