// A process-wide QGuiApplication for command-line printing.
#include "render/gui_session.h"

#include <cstdlib>

#include <QGuiApplication>

namespace tessarin::render {

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  // A printing command must work over ssh and in CI: no display needed.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tessarin";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; fonts and writers made later keep pointing into it.
  new QGuiApplication(argc, argv);
}

}  // namespace tessarin::render
