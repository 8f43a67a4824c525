// Drives the modal windows a test opens: each expected window gets a handler that runs once it
// is on screen; message boxes nobody expects are answered with their first button and kept.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessarin::desktop::testing {

class ModalDriver {
 public:
  ModalDriver() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start();
  }

  // The next modal window whose object name is `name` (a form's name, "OpenFileBox",
  // "SaveChangesBox" ...) or, for `name` "QMessageBox", the next message box, runs `act`.
  void Expect(std::string name, std::function<void(QWidget*)> act) {
    handlers_.push_back({std::move(name), std::move(act)});
  }
  // Handlers still waiting for their window.
  size_t pending() const { return handlers_.size(); }

  // Message boxes that were shown, as "title|text", in order.
  std::vector<std::string> messages;

 private:
  struct Handler {
    std::string name;
    std::function<void(QWidget*)> act;
  };

  void Tick() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    if (modal->windowHandle() == nullptr || !modal->windowHandle()->isExposed()) return;
    // The offscreen platform activates nothing by itself.
    if (QApplication::activeWindow() != modal) {
      QApplication::setActiveWindow(modal);
      return;  // act on the next tick, once the focus has settled
    }
    const std::string name = modal->objectName().toStdString();
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box != nullptr && !box->property("tessarin_seen").toBool()) {
      box->setProperty("tessarin_seen", true);
      messages.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
    }
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
      if (it->name == name || (box != nullptr && it->name == "QMessageBox")) {
        auto handler = std::make_shared<Handler>(std::move(*it));
        handlers_.erase(it);
        // Outside this timer's slot: Qt does not fire a timer again while its slot runs, and
        // the handler may open windows of its own that later ticks must answer.
        QTimer::singleShot(0, modal, [handler, modal] { handler->act(modal); });
        return;
      }
    }
    if (box != nullptr) {
      QAbstractButton* answer =
          box->defaultButton() ? box->defaultButton() : box->buttons().front();
      answer->click();
    }
  }

  QTimer timer_;
  std::vector<Handler> handlers_;
};

// Processes events until `done` holds or `ms` pass; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

}  // namespace tessarin::desktop::testing
