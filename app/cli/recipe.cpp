// Recipe: one step at a time through the script runner.
#include "app/cli/recipe.h"

namespace tessarin::cli {

using Json = nlohmann::json;

std::vector<Json> Recipe::Step(const Json& step) {
  const size_t start = transcript_.str().size();
  runner_.RunLine(step.dump(), ++line_);
  std::vector<Json> events;
  std::istringstream lines(transcript_.str().substr(start));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) events.push_back(Json::parse(line, nullptr, false));
  }
  return events;
}

std::string Problem(const std::vector<Json>& events) {
  for (const Json& e : events) {
    if (e.contains("error") && e["error"].is_string()) return e["error"].get<std::string>();
    if (e.contains("msgbox")) return e["msgbox"].value("text", std::string());
    if (e.contains("call") && e.contains("result") && e["result"] != 0) {
      return "the add-in's " + e["call"].get<std::string>() + " failed with error " + e["result"].dump() +
             (e.contains("description") ? ": " + e["description"].get<std::string>() : "");
    }
  }
  return "";
}

}  // namespace tessarin::cli
