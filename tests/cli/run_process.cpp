// Runs a program with a chosen environment and working folder and collects what it wrote.
#include "run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tessarin::cli::testing {

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-cli-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::string& cwd, const std::map<std::string, std::string>& env,
                         int timeout_seconds) {
  // Files rather than pipes: no deadlock however much the program writes.
  TempFolder io;
  const std::string in_path = io.path() + "/in", out_path = io.path() + "/out",
                    err_path = io.path() + "/err";
  std::ofstream(in_path, std::ios::binary) << input;

  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    size_t eq = text.find('=');
    if (eq != std::string::npos) merged[text.substr(0, eq)] = text.substr(eq + 1);
  }
  for (const auto& [name, value] : env) {
    if (value.empty()) {
      merged.erase(name);
    } else {
      merged[name] = value;
    }
  }
  std::vector<std::string> env_text;
  for (const auto& [name, value] : merged) env_text.push_back(name + "=" + value);
  std::vector<char*> env_ptrs, argv_ptrs;
  for (std::string& text : env_text) env_ptrs.push_back(text.data());
  env_ptrs.push_back(nullptr);
  std::vector<std::string> args = argv;
  for (std::string& arg : args) argv_ptrs.push_back(arg.data());
  argv_ptrs.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(cwd.c_str()) != 0) {
      _exit(127);
    }
    alarm(static_cast<unsigned>(timeout_seconds));  // survives exec: a hung run is killed
    execve(argv_ptrs[0], argv_ptrs.data(), env_ptrs.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ProcessResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadAll(out_path);
  result.err = ReadAll(err_path);
  return result;
}

}  // namespace tessarin::cli::testing
