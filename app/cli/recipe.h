// Recipe: the friendly subcommands' way of driving the add-in, one script step at a time
// through the same runner that `tessarin script` uses.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/script_runner.h"

namespace tessarin::cli {

class Recipe {
 public:
  Recipe() : runner_(transcript_) {}

  // Runs one step; returns the transcript events it logged.
  std::vector<nlohmann::json> Step(const nlohmann::json& step);
  ScriptRunner& runner() { return runner_; }

  // Starts the add-in and opens `book` (an absolute path) from its file selection dialog, as a
  // user would. The problem that stopped it (see Problem), or "".
  std::string OpenBook(const std::string& book);

 private:
  std::ostringstream transcript_;
  ScriptRunner runner_;
  int line_ = 0;
};

// The first problem among `events`: a logged error, a message box the add-in showed, a failed
// call. Empty when there is none.
std::string Problem(const std::vector<nlohmann::json>& events);

// The name of the single question sheet of the active workbook; "" with `problem` set when
// there is none or more than one.
std::string QuestionSheetName(host::Application& app, std::string* problem);

// The texts of the message boxes among `events`, in order.
std::vector<std::string> MessageTexts(const std::vector<nlohmann::json>& events);

}  // namespace tessarin::cli
