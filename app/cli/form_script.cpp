// Scripted answers: parsing form actions and queue entries, and playing an action on a form.
#include "app/cli/form_script.h"

#include <stdexcept>
#include <string>

namespace tessarin::cli {

using forms::MsgBoxResult;
using nlohmann::json;

std::string JsonText(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

namespace {

[[noreturn]] void Malformed(const json& action, const std::string& expected) {
  throw std::invalid_argument("malformed form action " + JsonText(action) + ": expected " +
                              expected);
}

// [NAME, X] with a non-empty control name.
const json& Pair(const json& action, const json& value, const std::string& expected) {
  if (!value.is_array() || value.size() != 2 || !value[0].is_string() ||
      value[0].get_ref<const std::string&>().empty()) {
    Malformed(action, expected);
  }
  return value[1];
}

int Index(const json& action, const json& value, const std::string& expected) {
  if (!value.is_number_integer() || value.get<long long>() < 0 ||
      value.get<long long>() > 1'000'000) {
    Malformed(action, expected);
  }
  return static_cast<int>(value.get<long long>());
}

}  // namespace

FormAction ParseFormAction(const json& action) {
  if (!action.is_object() || action.size() != 1) {
    throw std::invalid_argument("malformed form action " + JsonText(action) +
                                ": expected an object with one key, such as "
                                "{\"click\": \"CommandButton1\"}");
  }
  const std::string& key = action.begin().key();
  const json& value = action.begin().value();
  FormAction result;
  result.source = JsonText(action);
  if (key == "set") {
    const std::string expected = "{\"set\": [NAME, TEXT]}";
    const json& text = Pair(action, value, expected);
    if (!text.is_string()) Malformed(action, expected);
    result.kind = FormAction::Kind::kSet;
    result.text = text.get<std::string>();
  } else if (key == "check" || key == "toggle") {
    const std::string expected = "{\"" + key + "\": [NAME, true or false]}";
    const json& flag = Pair(action, value, expected);
    if (!flag.is_boolean()) Malformed(action, expected);
    result.kind = key == "check" ? FormAction::Kind::kCheck : FormAction::Kind::kToggle;
    result.flag = flag.get<bool>();
  } else if (key == "page") {
    const std::string expected = "{\"page\": [NAME, PAGE INDEX]}";
    result.kind = FormAction::Kind::kPage;
    result.index = Index(action, Pair(action, value, expected), expected);
  } else if (key == "click") {
    const std::string expected = "{\"click\": NAME} or {\"click\": [ARRAY NAME, INDEX]}";
    result.kind = FormAction::Kind::kClick;
    if (value.is_string()) {
      if (value.get_ref<const std::string&>().empty()) Malformed(action, expected);
    } else {
      result.index = Index(action, Pair(action, value, expected), expected);
    }
  } else if (key == "close") {
    if (value != json(true)) Malformed(action, "{\"close\": true}");
    result.kind = FormAction::Kind::kClose;
    return result;
  } else {
    throw std::invalid_argument("unknown form action \"" + key + "\" in " + JsonText(action) +
                                ": expected set, check, toggle, page, click or close");
  }
  result.control = value.is_string() ? value.get<std::string>() : value[0].get<std::string>();
  return result;
}

FormEntry ParseFormEntry(const json& step) {
  if (!step.is_object() || !step.contains("form") || !step["form"].is_string() ||
      step["form"].get_ref<const std::string&>().empty()) {
    throw std::invalid_argument("malformed form entry " + JsonText(step) +
                                ": expected {\"form\": NAME, \"do\": [ACTIONS]}");
  }
  FormEntry entry;
  entry.form = step["form"].get<std::string>();
  for (const auto& [key, value] : step.items()) {
    if (key != "form" && key != "do") {
      throw std::invalid_argument("malformed form entry " + JsonText(step) + ": unknown key \"" +
                                  key + "\"");
    }
  }
  if (!step.contains("do")) return entry;
  const json& actions = step["do"];
  if (!actions.is_array()) {
    throw std::invalid_argument("malformed form entry " + JsonText(step) +
                                ": \"do\" must be a list of actions");
  }
  for (std::size_t i = 0; i < actions.size(); ++i) {
    try {
      entry.actions.push_back(ParseFormAction(actions[i]));
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(entry.form + ", action " + std::to_string(i + 1) + ": " +
                                  error.what());
    }
  }
  return entry;
}

MsgBoxResult ParseMsgBoxAnswer(const json& answer) {
  if (answer == "ok") return MsgBoxResult::kOk;
  if (answer == "yes") return MsgBoxResult::kYes;
  if (answer == "no") return MsgBoxResult::kNo;
  throw std::invalid_argument("malformed message box answer " + JsonText(answer) +
                              ": expected \"ok\", \"yes\" or \"no\"");
}

}  // namespace tessarin::cli
