// Recipe: steps through the script runner, and reading their events.
#include "app/cli/recipe.h"

#include <algorithm>
#include <iostream>
#include <new>

#include "app/cli/messages.h"
#include "core/addin/tessarin.h"
#include "core/host/host_error.h"
#include "core/settings/settings_file.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::cli {

using Json = nlohmann::json;

std::vector<Json> Recipe::Step(const Json& step) {
  const size_t start = transcript_.view().size();
  // Handed over parsed: a path that is not UTF-8 could not go through JSON text.
  runner_.RunParsed(step, ++line_);
  return EventsSince(start);
}

std::vector<Json> Recipe::Call(std::string_view name, const std::function<int()>& method) {
  const size_t start = transcript_.view().size();
  const int result = method();
  std::vector<Json> events = EventsSince(start);
  if (result != 0) {
    events.push_back({{"call", std::string(name)},
                      {"result", result},
                      {"description", runner_.addin().last_error()}});
  }
  return events;
}

std::vector<Json> Recipe::EventsSince(size_t start) const {
  // A view, not a copy: a long run of steps would otherwise copy the transcript once a step.
  std::string_view rest = transcript_.view().substr(start);
  std::vector<Json> events;
  while (!rest.empty()) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    if (end > 0) {
      Json e = Json::parse(rest.substr(0, end), nullptr, false);
      // A settings file set aside, or a bad value in it replaced by its default, is a warning:
      // the defaults are used and the work goes on.
      if (e.contains("msgbox") && e["msgbox"].is_object() &&
          settings::SettingsFile::IsSetAsideNotice(e["msgbox"].value("text", std::string()))) {
        std::cerr << Tr("warning: %1", {e["msgbox"].value("text", std::string())}) << "\n";
      } else {
        events.push_back(std::move(e));
      }
    }
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return events;
}

std::string Recipe::OpenBook(const std::string& book) {
  Step({{"openfile", book}});
  Step({{"form", "FILE_Sentaku"}, {"do", Json::array({Json{{"click", "Command3"}}})}});
  return Problem(Step({{"call", "Auto_Open"}}));
}

std::string Problem(const std::vector<Json>& events) {
  for (const Json& e : events) {
    if (e.contains("error") && e["error"].is_string()) {
      const std::string text = e["error"].get<std::string>();
      return e.contains("number") && e["number"].is_number_integer()
                 ? HostErrorText(text, e["number"].get<int>())
                 : text;
    }
    if (e.contains("msgbox")) return e["msgbox"].value("text", std::string());
    if (e.contains("call") && e.contains("result") && e["result"] != 0) {
      return Tr("the add-in's %1 failed: %2",
                {e["call"].get<std::string>(),
                 HostErrorText(e.value("description", std::string()), e["result"].get<int>())});
    }
  }
  return "";
}

std::string Attempt(const std::function<void()>& work) {
  try {
    work();
  } catch (const host::HostError& e) {
    return HostErrorText(e.description(), e.number());
  } catch (const std::bad_alloc&) {
    return HostErrorText("Out of memory", host::kErrOutOfMemory);
  }
  return "";
}

std::string QuestionSheetName(host::Application& app, std::string* problem) {
  std::string found;
  for (int i = 1; i <= app.Sheets().Count(); ++i) {
    const std::string& name = app.Sheets().Item(i).Name();
    if (!workbook::IsQuestionSheetName(name)) continue;
    if (!found.empty()) {
      *problem = Tr("the workbook has several question sheets; keep one whose name starts with %1",
                    {std::string(workbook::kProductWord)});
      return "";
    }
    found = name;
  }
  if (found.empty()) {
    *problem = Tr("the workbook has no question sheet (a sheet whose name starts with %1)",
                  {std::string(workbook::kProductWord)});
  }
  return found;
}

std::vector<std::string> MessageTexts(const std::vector<Json>& events) {
  std::vector<std::string> texts;
  for (const Json& e : events) {
    if (e.contains("msgbox") && e["msgbox"].is_object())
      texts.push_back(e["msgbox"].value("text", std::string()));
  }
  return texts;
}

}  // namespace tessarin::cli
