// The form step of a script: the actions a user takes on a shown form, parsed from JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/forms/form.h"
#include "core/forms/ui.h"

namespace tessarin::cli {

// One thing a user does to a shown form.
struct FormAction {
  enum class Kind { kSet, kCheck, kToggle, kPage, kClick, kClose };

  Kind kind = Kind::kClose;
  std::string control;    // control name, or the array name for a click with an index
  std::string text;       // kSet
  bool flag = false;      // kCheck, kToggle
  int index = -1;         // kPage: the page; kClick: the array index, -1 for a plain button
  nlohmann::json source;  // the action as written, for messages

  // Performs the action through the form's User* gestures.
  forms::Gesture ApplyTo(forms::Form& form) const;
};

// The actions to take on the next showing of the form `form`.
struct FormEntry {
  std::string form;
  std::vector<FormAction> actions;
};

// Parsers for the script's JSON. Each throws std::invalid_argument with a message that quotes
// what was wrong.
//   {"set": ["T3", "20"]}  {"check": ["CBox", true]}  {"toggle": ["TB1", true]}
//   {"page": ["MultiPage1", 1]}  {"click": "CommandButton1"}  {"click": ["CMD", 2]}
//   {"close": true}
FormAction ParseFormAction(const nlohmann::json& action);
// `value` as one line of JSON for messages; bytes that are not UTF-8 show as U+FFFD.
std::string JsonText(const nlohmann::json& value);

// {"form": "KanjiForm1", "do": [ACTIONS]}; "do" may be left out for a form that is only to be
// closed.
FormEntry ParseFormEntry(const nlohmann::json& step);
// "ok", "yes" or "no".
forms::MsgBoxResult ParseMsgBoxAnswer(const nlohmann::json& answer);

}  // namespace tessarin::cli
