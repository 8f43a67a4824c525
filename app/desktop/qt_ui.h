// QtUi: the add-in's dialog port on screen: message boxes without icons, every form as a real
// modal dialog, the open-file box, beeps, the print preview and the phonetic-guide editor.
#pragma once

#include <QPointer>
#include <QString>
#include <functional>
#include <map>

#include "app/desktop/form_dialog.h"
#include "core/forms/ui.h"

class QWidget;

namespace tessarin::desktop {

class QtUi : public forms::Ui {
 public:
  // Dialogs open over `parent` (may be null).
  explicit QtUi(QWidget* parent = nullptr) : parent_(parent) {}

  // Called after every gesture in a form, so the window shows what the handlers changed.
  void set_after_gesture(std::function<void()> hook) { after_gesture_ = std::move(hook); }
  void set_print_preview(std::function<void(const std::vector<std::string>&)> preview) {
    preview_ = std::move(preview);
  }
  void set_picture_painter(FormDialog::PicturePainter painter) { pictures_ = std::move(painter); }

  std::optional<std::string> GetOpenFilename(std::string_view filter) override;
  void Beep(int type) override;
  void PrintPreview(const std::vector<std::string>& sheets) override;
  std::optional<std::string> EditPhonetic(const forms::PhoneticEdit& edit) override;

  // The dialog showing `form` now, or nullptr.
  FormDialog* DialogFor(const forms::Form& form) const;
  // The form named `name` that a dialog shows now, or nullptr.
  const forms::Form* OpenForm(std::string_view name) const;

  // "Microsoft Excelブック,*.xl*,テキストファイル,*.txt" as a Qt file dialog filter: an entry
  // for every file the host opens first (OpenableFilesEntry), then each of the filter's, its
  // patterns widened to what this host opens ("*.xl*" lists .xlsx, .xlsm and .xls; "*.txt" also
  // .csv).
  static QString FileDialogFilter(std::string_view filter);
  // The filter entry for every file the host opens (.xlsx .xlsm .xls .csv .txt).
  static QString OpenableFilesEntry();

 protected:
  forms::MsgBoxResult ShowMessage(const std::string& text, const std::string& caption,
                                  forms::MsgBoxButtons buttons) override;
  void ShowModal(forms::Form& form) override;
  void FormClosed(forms::Form& form, bool unloaded) override;

 private:
  QWidget* Parent() const;

  QPointer<QWidget> parent_;
  std::function<void()> after_gesture_;
  std::function<void(const std::vector<std::string>&)> preview_;
  FormDialog::PicturePainter pictures_;
  std::map<const forms::Form*, FormDialog*> open_;
  QString last_folder_;
};

}  // namespace tessarin::desktop
