// tessarin-desktop: the desktop window over the host and the add-in.
#include <QApplication>

#include "app/desktop/main_window.h"
#include "app/desktop/translations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessarin"));
  QApplication::setOrganizationName(QStringLiteral("Tessarin"));
  QApplication::setDesktopFileName(QStringLiteral("tessarin"));
  tessarin::desktop::InstallQtTranslations(app);
  tessarin::desktop::MainWindow window;
  window.Start();
  return QApplication::exec();
}
