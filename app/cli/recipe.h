// Recipe: runs script steps one at a time for a friendly subcommand and hands back the events
// each step logged, so the subcommand can tell the user what went wrong in plain words.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/cli/script_runner.h"

namespace tessarin::cli {

class Recipe {
 public:
  Recipe() : runner_(transcript_) {}

  // Runs one step; returns the events it logged.
  std::vector<nlohmann::json> Step(const nlohmann::json& step);
  ScriptRunner& runner() { return runner_; }

 private:
  std::ostringstream transcript_;
  ScriptRunner runner_;
  int line_ = 0;
};

// The first problem among `events`: a logged error, a message box the add-in showed, a failed
// call. Empty when there is none.
std::string Problem(const std::vector<nlohmann::json>& events);

}  // namespace tessarin::cli
