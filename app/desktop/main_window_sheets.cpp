// MainWindow: what the sheet tabs ask for (insert, delete, rename, move or copy), carried out
// through the host's sheet operations.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop/main_window.h"
#include "app/desktop/sheet_grid.h"
#include "core/host/host_error.h"

namespace tessarin::desktop {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

host::Worksheet* MainWindow::SheetAtTab(int index) {
  host::Workbook* book = app_->active_workbook();
  if (book == nullptr || index < 0 || index >= book->SheetCount()) return nullptr;
  if (!grid_->CommitEdit()) return nullptr;
  return &book->Sheet(index + 1);
}

void MainWindow::ActivateAfterSheetChange(const std::string& name) {
  SyncView();  // the grid lets go of a sheet that may be gone before anything else is painted
  if (name.empty()) return;
  std::string sheet = name;
  // The user sees another sheet: the add-in hears of it as of any activation.
  RunAddin([&] { return addin_->SheetActivate(sheet); });
}

void MainWindow::InsertSheet(int index) {
  host::Worksheet* at = SheetAtTab(index);
  if (at == nullptr) return;
  std::string name;
  try {
    const host::Sheet before = app_->SheetOf(*at);
    name = app_->Sheets(at->workbook()).Add(host::kXlWorksheet, &before).Name();
  } catch (const host::HostError& error) {
    ShowError(error.number(), Q(error.description()));
    return;
  }
  ActivateAfterSheetChange(name);
}

void MainWindow::DeleteSheet(int index) {
  host::Worksheet* sheet = SheetAtTab(index);
  if (sheet == nullptr) return;
  host::Workbook& book = sheet->workbook();
  if (sheet->cells().CellCount() > 0) {
    QMessageBox box(
        QMessageBox::NoIcon, QStringLiteral("Tessarin"),
        QStringLiteral("シート「%1」は完全に削除されます。続けますか？").arg(Q(sheet->name())),
        QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("DeleteSheetBox"));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("削除(&D)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("キャンセル"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes) return;
  }
  const bool was_active = book.active_sheet() == sheet;
  try {
    app_->SheetOf(*sheet).Delete();
  } catch (const host::HostError& error) {
    ShowError(error.number(), Q(error.description()));
    return;
  }
  // The undo stack's edits may be of the deleted sheet.
  UndoFor(&book).clear();
  ActivateAfterSheetChange(was_active && book.active_sheet() ? book.active_sheet()->name() : "");
}

void MainWindow::RenameSheet(int index) {
  host::Worksheet* sheet = SheetAtTab(index);
  if (sheet == nullptr) return;
  QInputDialog dialog(this);
  dialog.setObjectName(QStringLiteral("RenameSheetBox"));
  dialog.setWindowTitle(QStringLiteral("名前の変更"));
  dialog.setLabelText(QStringLiteral("シート名:"));
  dialog.setTextValue(Q(sheet->name()));
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("キャンセル"));
  // A refused name (taken, too long, a character sheets may not hold) is explained, then the
  // user may correct it.
  while (dialog.exec() == QDialog::Accepted) {
    try {
      app_->SheetOf(*sheet).SetName(dialog.textValue().toStdString());
      break;
    } catch (const host::HostError& error) {
      ShowError(error.number(), Q(error.description()));
    }
  }
  SyncView();
}

void MainWindow::MoveOrCopySheet(int index) {
  host::Worksheet* sheet = SheetAtTab(index);
  if (sheet == nullptr) return;
  host::Workbook& book = sheet->workbook();
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("MoveOrCopyBox"));
  dialog.setWindowTitle(QStringLiteral("移動またはコピー"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("挿入先(&B):"), &dialog));
  auto* places = new QListWidget(&dialog);
  places->setObjectName(QStringLiteral("BeforeSheet"));
  for (int i = 1; i <= book.SheetCount(); ++i) places->addItem(Q(book.Sheet(i).name()));
  places->addItem(QStringLiteral("(末尾へ移動)"));
  places->setCurrentRow(index + 1);
  layout->addWidget(places);
  auto* copy = new QCheckBox(QStringLiteral("コピーを作成する(&C)"), &dialog);
  copy->setObjectName(QStringLiteral("MakeCopy"));
  layout->addWidget(copy);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted || places->currentRow() < 0) return;

  const int row = places->currentRow();
  std::string activated;
  try {
    const host::Sheet source = app_->SheetOf(*sheet);
    std::optional<host::Sheet> before;
    if (row < book.SheetCount()) before = app_->SheetOf(book.Sheet(row + 1));
    const host::Sheet* anchor = before ? &*before : nullptr;
    if (copy->isChecked()) {
      activated = source.Copy(anchor, nullptr).Name();
    } else if (!before || !(*before == source)) {
      source.Move(anchor, nullptr);
    }
  } catch (const host::HostError& error) {
    ShowError(error.number(), Q(error.description()));
    return;
  }
  ActivateAfterSheetChange(activated);
}

}  // namespace tessarin::desktop
