// The `tessarin` command. With no arguments in a graphical session it opens the desktop window.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/cli/command_line.h"
#include "app/cli/messages.h"

namespace {

// Replaces this process by the desktop program installed beside it; returns when there is none.
void OpenWindowInGraphicalSession() {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) return;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return;
  const std::string desktop = (self.parent_path() / "tessarin-desktop").string();
  if (access(desktop.c_str(), X_OK) != 0) return;
  char* const args[] = {const_cast<char*>(desktop.c_str()), nullptr};
  execv(desktop.c_str(), args);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) OpenWindowInGraphicalSession();
  std::ios::sync_with_stdio(false);
  tessarin::cli::InitMessages();
  tessarin::cli::Streams streams{std::cin, std::cout, std::cerr, true};
  return tessarin::cli::RunCommandLine(argc, argv, streams);
}
