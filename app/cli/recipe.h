// Recipe: what the friendly subcommands share. They run script steps one at a time through a
// ScriptRunner, as a user's clicks would, and look at the events each step logged.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/script_runner.h"

namespace tessarin::cli {

class Recipe {
 public:
  Recipe() : runner_(transcript_) {}

  // Runs one step; returns the events it logged, in order.
  std::vector<nlohmann::json> Step(const nlohmann::json& step);
  // Runs `method`, a call of the add-in made directly (it returns the method's result); returns
  // the events the add-in's boxes logged meanwhile, then a {"call", "result", "description"}
  // event when the result is not 0, so that Problem reads them as it reads a step's.
  std::vector<nlohmann::json> Call(std::string_view name, const std::function<int()>& method);
  ScriptRunner& runner() { return runner_; }

  // Starts the add-in and opens `book` (an absolute path) from its file selection dialog, as a
  // user would. The problem that stopped it (see Problem), or "".
  std::string OpenBook(const std::string& book);

 private:
  // The events logged since transcript offset `start`.
  std::vector<nlohmann::json> EventsSince(size_t start) const;

  std::ostringstream transcript_;
  ScriptRunner runner_;
  int line_ = 0;
};

// The first problem among `events`: a logged error, a message box the add-in showed, a failed
// call (with its description). Empty when there is none.
std::string Problem(const std::vector<nlohmann::json>& events);

// Runs `work`, a call into the core made directly; the problem a host error or a lack of memory
// that stopped it describes (as Problem words a logged error), or "".
std::string Attempt(const std::function<void()>& work);

// The name of the one question sheet of the active workbook. Empty with `problem` set when
// there is none or there are several.
std::string QuestionSheetName(host::Application& app, std::string* problem);

// The texts of the message boxes among `events`, in order.
std::vector<std::string> MessageTexts(const std::vector<nlohmann::json>& events);

}  // namespace tessarin::cli
