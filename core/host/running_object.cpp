// The running-object table: one host per process.
#include "core/host/running_object.h"

#include <string>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

Application* g_running = nullptr;

}  // namespace

void RegisterRunningApplication(Application* app) { g_running = app; }

Application& GetRunningObject(std::string_view class_name) {
  if (g_running == nullptr || class_name != kHostClassName) {
    throw HostError(
        429, "ActiveX component can't create object: no running " + std::string(class_name) + ".");
  }
  return *g_running;
}

}  // namespace tessarin::host
