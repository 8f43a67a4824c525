// A process-wide QGuiApplication for command-line printing.
#include "render/gui_session.h"

#include <dlfcn.h>

#include <QGuiApplication>
#include <QLibraryInfo>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

namespace tessarin::render {

namespace {

QtMessageHandler previous_handler = nullptr;

// Qt's note that XDG_RUNTIME_DIR is unset (usual under ssh, cron and CI) is noise on a
// command's error stream; everything else goes to Qt's own handler.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  if (previous_handler) previous_handler(type, context, message);
}

// The thread loading the platform's libraries ahead; waited for before the application is made,
// and at the latest when the process ends.
struct Preloading {
  std::thread thread;
  void Wait() {
    if (thread.joinable()) thread.join();
  }
  ~Preloading() { Wait(); }
};
Preloading preloading;

}  // namespace

void PreloadGuiPlatform() {
  if (QCoreApplication::instance() || preloading.thread.joinable() || !GuiApplicationIsSafe())
    return;
  const std::string plugin =
      QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms/libqoffscreen.so";
  try {
    // Kept open: Qt opens the same file and finds it loaded. Should it fail, Qt tries and says.
    preloading.thread = std::thread([plugin] { dlopen(plugin.c_str(), RTLD_LAZY | RTLD_LOCAL); });
  } catch (const std::system_error&) {
    // No thread to be had: the application loads it when made.
  }
}

void EnsureGuiApplication() {
  preloading.Wait();
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
