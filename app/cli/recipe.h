// Recipe: what the friendly subcommands share. They run script steps one at a time through a
// ScriptRunner, as a user's clicks would, and look at the events each step logged.
#pragma once

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/script_runner.h"

namespace tessarin::cli {

class Recipe {
 public:
  Recipe() : runner_(transcript_) {}

  // Runs one step; returns the events it logged, in order.
  std::vector<nlohmann::json> Step(const nlohmann::json& step);
  ScriptRunner& runner() { return runner_; }

 private:
  std::ostringstream transcript_;
  ScriptRunner runner_;
  int line_ = 0;
};

// The first problem among `events`: a logged error, a message box the add-in showed, a failed
// call (with its description). Empty when there is none.
std::string Problem(const std::vector<nlohmann::json>& events);

// Starts the add-in with the workbook at `book` (an absolute path) opened from the file
// selection dialog, as a user would. Returns the problem, or empty on success.
std::string StartWithBook(Recipe& recipe, const std::string& book);

// The name of the one question sheet of the active workbook. Empty with `problem` set when
// there is none or there are several.
std::string FindQuestionSheetName(host::Application& app, std::string& problem);

}  // namespace tessarin::cli
