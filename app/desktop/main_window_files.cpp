// MainWindow: opening, saving and closing workbooks, printing the active sheet and the
// stroke-order answer key.
#include <QAbstractButton>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QStatusBar>

#include "app/desktop/main_window.h"
#include "app/desktop/sheet_grid.h"
#include "core/host/host_error.h"
#include "core/marking/answer_key.h"
#include "core/ooxml/xlsx.h"
#include "core/workbook/question_sheet.h"
#include "render/pdf_output.h"
#include "render/printer_output.h"
#include "render/stroke_key.h"

namespace tessarin::desktop {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool Imported(const host::Workbook& workbook) {
  const host::FileFormat format = workbook.file_format();
  return format == host::FileFormat::kXls || format == host::FileFormat::kText ||
         format == host::FileFormat::kCsv;
}

}  // namespace

// --- Files

bool MainWindow::OpenPath(const QString& path) {
  if (!grid_->CommitEdit()) return false;
  host::Workbook* previous = app_->active_workbook();
  // A blank workbook nobody touched gives way to the one opened, as the host does.
  const bool pristine = previous != nullptr && previous->path().empty() && previous->saved();
  try {
    app_->Workbooks().Open(QFileInfo(path).absoluteFilePath().toStdString());
  } catch (const host::HostError& error) {
    ShowError(error.number(), Q(error.description()));
    return false;
  }
  if (pristine && app_->active_workbook() != previous) app_->CloseWorkbook(*previous);
  ForgetClosedWorkbooks();
  SyncView();
  return true;
}

bool MainWindow::SaveTo(host::Workbook& workbook, const std::string& path) {
  ooxml::SaveOptions options;
  for (;;) {
    try {
      const addin::SaveReport report = session_->Save(workbook, path, options);
      UpdateTitle();
      statusBar()->showMessage(QStringLiteral("保存しました: %1").arg(Q(report.path)), 5000);
      if (report.macros_left_out) {
        ShowNotice(
            QStringLiteral("マクロは保存されませんでした: .xlsx ブックはマクロを保持できません"
                           "（マクロを残すには .xlsm として保存してください）。"));
      }
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
  // A workbook with macros is offered the format that keeps them first.
  const bool macros = ooxml::HasMacros(*book);
  const QString suffix = macros ? QStringLiteral("xlsm") : QStringLiteral("xlsx");
  QFileDialog dialog(this, QStringLiteral("名前を付けて保存"), folder + "/" + stem + "." + suffix,
                     macros
                         ? QStringLiteral("Excel マクロ有効ブック (*.xlsm);;Excel ブック (*.xlsx)")
                         : QStringLiteral("Excel ブック (*.xlsx)"));
  dialog.setObjectName(QStringLiteral("SaveFileBox"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  QString path = dialog.selectedFiles().front();
  if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive) &&
      !path.endsWith(QStringLiteral(".xlsm"), Qt::CaseInsensitive)) {
    path += "." + suffix;
  }
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
  if (!ConfirmDiscard(*book)) return;
  app_->CloseWorkbook(*book);
  ForgetClosedWorkbooks();
  SyncView();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ > 0 || !grid_->CommitEdit()) {
    event->ignore();
    return;
  }
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
