// FormDialog: widgets for the form model's controls, and gestures back into the model.
#include "app/desktop/form_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/desktop/fonts.h"

namespace tessarin::desktop {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QRect Pixels(const forms::Bounds& b) {
  return QRect(FormPixels(b.left), FormPixels(b.top), FormPixels(b.width), FormPixels(b.height));
}

QPixmap Placeholder(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::white);
  QPainter painter(&pixmap);
  painter.setPen(Qt::gray);
  painter.drawRect(QRect(QPoint(0, 0), size - QSize(1, 1)));
  return pixmap;
}

}  // namespace

FormDialog::FormDialog(forms::Form& form, QWidget* parent, PicturePainter pictures)
    : QDialog(parent), form_(form), pictures_(std::move(pictures)) {
  setObjectName(Q(form.name()));
  setModal(true);
  setFixedSize(FormPixels(form.width()), FormPixels(form.height()));
  setFont(DialogFont({}, 0));
  // Pages first, so that the controls put on them find their page widgets.
  for (forms::Control* control : form.controls()) {
    if (control->kind() == forms::Control::Kind::kMultiPage) Build(*control, ParentFor(*control));
  }
  for (forms::Control* control : form.controls()) {
    if (control->kind() != forms::Control::Kind::kMultiPage) Build(*control, ParentFor(*control));
  }
  // Boxes and buttons above labels: the forms put text boxes over the gaps in their labels.
  for (auto& [control, widget] : widgets_) {
    if (control->kind() != forms::Control::Kind::kLabel &&
        control->kind() != forms::Control::Kind::kImage)
      widget->raise();
  }
  Sync();
}

QWidget* FormDialog::ParentFor(const forms::Control& control) {
  if (control.container() == nullptr) return this;
  QTabWidget* tabs = pages_.at(control.container());
  return tabs->widget(control.page());
}

QWidget* FormDialog::WidgetFor(std::string_view name) const {
  const forms::Control* control = form_.Find(name);
  if (control == nullptr) return nullptr;
  auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

QWidget* FormDialog::MakeWidget(forms::Control& control, QWidget* parent) {
  using Kind = forms::Control::Kind;
  const std::string name = control.name();
  QWidget* widget = nullptr;
  switch (control.kind()) {
    case Kind::kLabel: {
      auto* label = new QLabel(parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      widget = label;
      break;
    }
    case Kind::kTextBox: {
      auto& box = static_cast<forms::TextBox&>(control);
      if (box.multi_line()) {
        auto* edit = new QPlainTextEdit(parent);
        connect(edit, &QPlainTextEdit::textChanged, this, [this, &box, edit] {
          if (!syncing_) Run([&] { box.set_text(edit->toPlainText().toStdString()); });
        });
        widget = edit;
      } else {
        auto* edit = new QLineEdit(parent);
        // Each keystroke changes the box's text, as the forms library fires Change per key.
        connect(edit, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
          Run([&] { box.set_text(text.toStdString()); });
        });
        widget = edit;
      }
      break;
    }
    case Kind::kCheckBox: {
      auto* check = new QCheckBox(parent);
      connect(check, &QCheckBox::clicked, this,
              [this, name](bool on) { Run([&] { form_.UserCheck(name, on); }); });
      widget = check;
      break;
    }
    case Kind::kToggleButton: {
      auto* toggle = new QPushButton(parent);
      toggle->setCheckable(true);
      toggle->setAutoDefault(false);
      connect(toggle, &QPushButton::clicked, this,
              [this, name](bool on) { Run([&] { form_.UserToggle(name, on); }); });
      widget = toggle;
      break;
    }
    case Kind::kCommandButton: {
      auto* button = new QPushButton(parent);
      button->setAutoDefault(false);
      connect(button, &QPushButton::clicked, this,
              [this, name] { Run([&] { form_.UserClick(name); }); });
      widget = button;
      break;
    }
    case Kind::kMultiPage: {
      auto& multi = static_cast<forms::MultiPage&>(control);
      auto* tabs = new QTabWidget(parent);
      for (int i = 0; i < multi.page_count(); ++i)
        tabs->addTab(new QWidget(tabs), Q(multi.page(i).caption));
      connect(tabs, &QTabWidget::currentChanged, this, [this, name](int index) {
        if (!syncing_) Run([&] { form_.UserSelectPage(name, index); });
      });
      pages_[&control] = tabs;
      widget = tabs;
      break;
    }
    case Kind::kImage: {
      auto* picture = new QLabel(parent);
      picture->setScaledContents(true);
      widget = picture;
      break;
    }
  }
  return widget;
}

QWidget* FormDialog::Build(forms::Control& control, QWidget* parent) {
  using Kind = forms::Control::Kind;
  QWidget* widget = MakeWidget(control, parent);
  widget->setObjectName(Q(control.name()));
  widget->setGeometry(Pixels(control.bounds()));
  if (!control.font_name().empty() || control.font_size() > 0) {
    widget->setFont(DialogFont(control.font_name(), control.font_size()));
  }
  if (control.kind() == Kind::kLabel) {
    // A caption longer than its box shows whole rather than cut off.
    widget->resize(std::max(widget->width(), widget->sizeHint().width()), widget->height());
  }
  widget->setFocusPolicy(control.CanHoldFocus() ? Qt::StrongFocus : Qt::NoFocus);
  if (control.kind() == Kind::kMultiPage) widget->setFocusPolicy(Qt::TabFocus);
  widget->installEventFilter(this);
  widgets_[&control] = widget;
  controls_[widget] = &control;
  return widget;
}

void FormDialog::Sync() {
  using Kind = forms::Control::Kind;
  syncing_ = true;
  setWindowTitle(Q(form_.caption()));
  for (auto& [control, widget] : widgets_) {
    widget->setEnabled(control->enabled());
    widget->setVisible(control->visible());
    widget->setToolTip(Q(control->tooltip()));
    switch (control->kind()) {
      case Kind::kLabel:
        static_cast<QLabel*>(widget)->setText(Q(control->caption()));
        break;
      case Kind::kTextBox: {
        const QString text = Q(static_cast<const forms::TextBox*>(control)->text());
        if (auto* line = qobject_cast<QLineEdit*>(widget)) {
          if (line->text() != text) line->setText(text);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
          if (plain->toPlainText() != text) plain->setPlainText(text);
        }
        break;
      }
      case Kind::kCheckBox:
      case Kind::kToggleButton: {
        auto* button = static_cast<QAbstractButton*>(widget);
        button->setText(Q(control->caption()));
        button->setChecked(static_cast<const forms::CheckBox*>(control)->value());
        break;
      }
      case Kind::kCommandButton:
        static_cast<QPushButton*>(widget)->setText(Q(control->caption()));
        break;
      case Kind::kMultiPage: {
        const auto* multi = static_cast<const forms::MultiPage*>(control);
        auto* tabs = static_cast<QTabWidget*>(widget);
        for (int i = 0; i < multi->page_count(); ++i) {
          tabs->setTabText(i, Q(multi->page(i).caption));
          tabs->setTabEnabled(i, multi->page(i).enabled);
        }
        tabs->setCurrentIndex(multi->value());
        break;
      }
      case Kind::kImage: {
        const auto* image = static_cast<const forms::Image*>(control);
        auto* label = static_cast<QLabel*>(widget);
        const QString path = Q(image->picture());
        QPixmap pixmap;
        if (!path.isEmpty() && QFileInfo::exists(path)) pixmap.load(path);
        if (pixmap.isNull() && pictures_) pixmap = pictures_(*image, widget->size());
        if (pixmap.isNull() && !widget->size().isEmpty()) pixmap = Placeholder(widget->size());
        label->setPixmap(pixmap);
        break;
      }
    }
  }
  if (forms::Control* focus = form_.focus()) {
    if (QWidget* widget = widgets_[focus];
        widget != nullptr && widget->isEnabled() && !widget->hasFocus()) {
      widget->setFocus(Qt::OtherFocusReason);
      if (auto* line = qobject_cast<QLineEdit*>(widget)) line->selectAll();
    }
  }
  syncing_ = false;
}

void FormDialog::Run(const std::function<void()>& gesture) {
  if (syncing_ || error_) return;
  try {
    gesture();
  } catch (...) {
    error_ = std::current_exception();
  }
  if (after_gesture) after_gesture();
  if (error_ || !form_.visible()) {
    done(0);
    return;
  }
  Sync();
}

void FormDialog::RunModal() {
  QTimer::singleShot(0, this, [this] { Run([this] { form_.Activated(); }); });
  exec();
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void FormDialog::closeEvent(QCloseEvent* event) {
  if (form_.visible()) {
    Run([this] { form_.UserCloseBox(); });
    if (form_.visible() && !error_) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

// Escape does nothing: none of the forms has a cancel button.
void FormDialog::reject() {
  if (!form_.visible() || error_) QDialog::reject();
}

bool FormDialog::focusNextPrevChild(bool next) {
  const std::vector<forms::Control*> order = form_.TabOrder();
  if (order.empty()) return true;
  auto at = std::find(order.begin(), order.end(), form_.focus());
  size_t index = at == order.end() ? 0 : static_cast<size_t>(at - order.begin());
  index = next ? (index + 1) % order.size() : (index + order.size() - 1) % order.size();
  const std::string target = order[index]->name();
  Run([&] { form_.UserFocus(target); });
  return true;
}

bool FormDialog::eventFilter(QObject* watched, QEvent* event) {
  auto it = controls_.find(watched);
  if (it == controls_.end()) return QDialog::eventFilter(watched, event);
  forms::Control* control = it->second;
  if (event->type() == QEvent::FocusIn && !syncing_) {
    auto* focus = static_cast<QFocusEvent*>(event);
    // A click into a box moves the model's focus (running the Exit check of the box being
    // left); clicks on buttons do so through their own gesture.
    if (focus->reason() == Qt::MouseFocusReason &&
        control->kind() == forms::Control::Kind::kTextBox && form_.focus() != control) {
      const std::string name = control->name();
      QTimer::singleShot(0, this, [this, name] { Run([&] { form_.UserFocus(name); }); });
    }
  }
  if (event->type() == QEvent::KeyPress && control->kind() == forms::Control::Kind::kTextBox) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Enter leaves a one-line box as Tab does.
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        qobject_cast<QLineEdit*>(watched)) {
      focusNextPrevChild(true);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tessarin::desktop
