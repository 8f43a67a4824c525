// The form step of a script: the actions a user takes on a shown form, parsed from JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/forms/form.h"
#include "core/forms/queued_ui.h"
#include "core/forms/ui.h"

namespace tessarin::cli {

// The form step's actions are the core's user actions; `source` holds the action's JSON text.
using FormAction = forms::UserAction;
using FormEntry = forms::FormPlan;

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
