// FormDialog: any form model on screen as a modal Qt dialog, built from its controls (positions
// and sizes in points, captions, fonts, tab order, control arrays, pages, pictures). The
// user's gestures go to the form's User* methods, so its event handlers run exactly as under
// the scripted Ui; after each gesture the widgets show the form's state again.
#pragma once

#include <QDialog>
#include <exception>
#include <functional>
#include <map>

#include "core/forms/form.h"

class QTabWidget;

namespace tessarin::desktop {

class FormDialog : public QDialog {
  Q_OBJECT

 public:
  // Paints a picture control (the paper dialog's sample pages) when no file backs it.
  using PicturePainter = std::function<QPixmap(const forms::Image& image, QSize size)>;

  FormDialog(forms::Form& form, QWidget* parent, PicturePainter pictures = {});

  forms::Form& form() const { return form_; }
  // The widget that shows the control named `name` ("T1", "CMD(2)"), or nullptr.
  QWidget* WidgetFor(std::string_view name) const;
  // Runs the form's Activated, then the modal loop until the form is unloaded or hidden. A
  // handler's exception ends the loop and is rethrown here.
  void RunModal();
  // Shows the form's state in the widgets.
  void Sync();

  // Called after every gesture (the handlers may have changed the workbook).
  std::function<void()> after_gesture;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The widget of `control` placed on `parent` as the form lays it out, with its font and focus.
  QWidget* Build(forms::Control& control, QWidget* parent);
  // The widget of `control`'s kind, wired so that the user's gestures reach the form.
  QWidget* MakeWidget(forms::Control& control, QWidget* parent);
  // Runs a gesture (or any call into the form), then shows the result.
  void Run(const std::function<void()>& gesture);
  QWidget* ParentFor(const forms::Control& control);

  forms::Form& form_;
  PicturePainter pictures_;
  std::map<const forms::Control*, QWidget*> widgets_;
  std::map<QObject*, forms::Control*> controls_;
  std::map<const forms::Control*, QTabWidget*> pages_;
  bool syncing_ = false;
  std::exception_ptr error_;
};

// Points of a form to screen pixels.
inline int FormPixels(double points) { return qRound(points * 4.0 / 3.0); }

}  // namespace tessarin::desktop
