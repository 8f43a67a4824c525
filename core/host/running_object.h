// The running-object table: how an add-in attaches to the host application that is running in
// this process, by the host's class name.
#pragma once

#include <string_view>

namespace tessarin::host {

class Application;

// The class name the host answers to.
inline constexpr std::string_view kHostClassName = "Excel.Application";

// Registers `app` as the running host (nullptr removes it). The front end calls this once it has
// made its Application; the Application must outlive the registration.
void RegisterRunningApplication(Application* app);

// The running host registered under `class_name`. Throws HostError 429 ("ActiveX component
// can't create object") when no host is running or the name is not the host's.
Application& GetRunningObject(std::string_view class_name);

}  // namespace tessarin::host
