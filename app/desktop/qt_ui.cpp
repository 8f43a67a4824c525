// QtUi: Qt widgets behind the add-in's dialog port.
#include "app/desktop/qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>

namespace tessarin::desktop {

QWidget* QtUi::Parent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return parent_.data();
}

forms::MsgBoxResult QtUi::ShowMessage(const std::string& text, const std::string& caption,
                                      forms::MsgBoxButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::NoButton, Parent());
  if (buttons == forms::MsgBoxButtons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int answer = box.exec();
  if (buttons == forms::MsgBoxButtons::kOk) return forms::MsgBoxResult::kOk;
  // Closing a Yes/No box with its close box cannot happen in the host; read it as No.
  return answer == QMessageBox::Yes ? forms::MsgBoxResult::kYes : forms::MsgBoxResult::kNo;
}

namespace {

// What a host pattern stands for in this host: "*.xl*" would also list templates and add-ins it
// cannot open, and its text import reads comma-separated files as well as tab-separated ones.
QStringList OpenablePatterns(const QString& pattern) {
  if (pattern.compare(QStringLiteral("*.xl*"), Qt::CaseInsensitive) == 0) {
    return {QStringLiteral("*.xlsx"), QStringLiteral("*.xlsm"), QStringLiteral("*.xls")};
  }
  if (pattern.compare(QStringLiteral("*.txt"), Qt::CaseInsensitive) == 0) {
    return {QStringLiteral("*.txt"), QStringLiteral("*.csv")};
  }
  return {pattern};
}

}  // namespace

QString QtUi::OpenableFilesEntry() {
  return QStringLiteral("ブックとテキスト (*.xlsx *.xlsm *.xls *.csv *.txt)");
}

QString QtUi::FileDialogFilter(std::string_view filter) {
  const QStringList parts =
      QString::fromUtf8(filter.data(), static_cast<int>(filter.size())).split(',');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : QString(parts[i + 1]).split(';', Qt::SkipEmptyParts)) {
      patterns << OpenablePatterns(pattern.trimmed());
    }
    entries << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.join(' '));
  }
  // Every file the host opens, shown first, so a list kept as .csv is seen without switching.
  if (!entries.isEmpty()) entries.prepend(OpenableFilesEntry());
  return entries.join(QStringLiteral(";;"));
}

std::optional<std::string> QtUi::GetOpenFilename(std::string_view filter) {
  QFileDialog dialog(Parent(), QStringLiteral("ファイルを開く"));
  dialog.setObjectName(QStringLiteral("OpenFileBox"));
  // Qt's own dialog, so it looks the same everywhere and tests can drive it.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(FileDialogFilter(filter));
  dialog.setDirectory(last_folder_.isEmpty()
                          ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                          : last_folder_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().front();
  last_folder_ = QFileInfo(path).absolutePath();
  return path.toStdString();
}

void QtUi::Beep(int) { QApplication::beep(); }

void QtUi::PrintPreview(const std::vector<std::string>& sheets) {
  if (preview_) preview_(sheets);
}

// One line per kanji run, filled with the reading the cell holds or else the proposal; the answer
// is the readings in order, separated by spaces, as the port asks.
std::optional<std::string> QtUi::EditPhonetic(const forms::PhoneticEdit& edit) {
  QDialog dialog(Parent());
  dialog.setObjectName(QStringLiteral("PhoneticEditor"));
  dialog.setWindowTitle(QStringLiteral("ふりがなの編集"));
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(QStringLiteral("%1: %2").arg(QString::fromStdString(edit.cell),
                                                       QString::fromStdString(edit.text))));
  std::vector<QLineEdit*> boxes;
  for (const forms::PhoneticSpan& span : edit.spans) {
    auto* box =
        new QLineEdit(QString::fromStdString(span.reading.empty() ? span.proposal : span.reading));
    form->addRow(QString::fromStdString(span.base), box);
    boxes.push_back(box);
  }
  QLineEdit* whole = nullptr;
  if (boxes.empty()) {
    whole = new QLineEdit;
    form->addRow(QStringLiteral("ふりがな"), whole);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  if (whole) return whole->text().trimmed().toStdString();
  std::string answer;
  for (QLineEdit* box : boxes) {
    if (!answer.empty()) answer += ' ';
    answer += box->text().trimmed().toStdString();
  }
  return answer;
}

FormDialog* QtUi::DialogFor(const forms::Form& form) const {
  auto it = open_.find(&form);
  return it == open_.end() ? nullptr : it->second;
}

const forms::Form* QtUi::OpenForm(std::string_view name) const {
  for (const auto& [form, dialog] : open_) {
    if (form->name() == name) return form;
  }
  return nullptr;
}

void QtUi::ShowModal(forms::Form& form) {
  FormDialog dialog(form, Parent(), pictures_);
  dialog.after_gesture = after_gesture_;
  open_[&form] = &dialog;
  struct Forget {
    std::map<const forms::Form*, FormDialog*>& open;
    const forms::Form* form;
    ~Forget() { open.erase(form); }
  } forget{open_, &form};
  dialog.RunModal();
}

void QtUi::FormClosed(forms::Form& form, bool) {
  if (FormDialog* dialog = DialogFor(form)) dialog->done(0);
}

}  // namespace tessarin::desktop
