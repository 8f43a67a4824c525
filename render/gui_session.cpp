// A process-wide QGuiApplication for command-line printing.
#include "render/gui_session.h"

#include <QGuiApplication>
#include <cstdlib>
#include <string_view>

namespace tessarin::render {

namespace {

QtMessageHandler previous_handler = nullptr;

// Qt's note that XDG_RUNTIME_DIR is unset (usual under ssh, cron and CI) is noise on a
// command's error stream; everything else goes to Qt's own handler.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  if (previous_handler) previous_handler(type, context, message);
}

}  // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  previous_handler = qInstallMessageHandler(QuietHandler);
  // A printing command must work over ssh and in CI: no display needed.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tessarin";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; fonts and writers made later keep pointing into it.
  new QGuiApplication(argc, argv);
}

bool GuiApplicationIsSafe() {
  if (QCoreApplication::instance()) return true;
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform == nullptr || *platform == '\0' || std::string_view(platform) == "offscreen";
}

}  // namespace tessarin::render
