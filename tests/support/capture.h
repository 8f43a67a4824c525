// CaptureOutput: what a shell command writes to standard output, for tests that read a PDF or
// an image back through poppler-utils.
#pragma once

#include <array>
#include <cstdio>
#include <string>

namespace tessarin::testing {

// Runs `command` through the shell and returns its standard output ("" when it cannot start).
inline std::string CaptureOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

}  // namespace tessarin::testing
