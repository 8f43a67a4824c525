// Checked reading of a script step's JSON arguments, with the run-time errors a bad argument
// gives: HostError 13 (type mismatch) for a value of the wrong type, 5 (invalid procedure call)
// for a value out of range. `what` names the argument in the message ("type.cell").
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tessarin::cli {

const std::string& RequireString(const nlohmann::json& value, std::string_view what);
bool RequireBool(const nlohmann::json& value, std::string_view what);
double RequireNumber(const nlohmann::json& value, std::string_view what);
// A whole number in [min, max] (20 and 20.0 alike).
int RequireInt(const nlohmann::json& value, std::string_view what, int min, int max);
const nlohmann::json& RequireObject(const nlohmann::json& value, std::string_view what);
const nlohmann::json& RequireArray(const nlohmann::json& value, std::string_view what);
// The member `key` of an object, HostError 5 when it is missing.
const nlohmann::json& RequireMember(const nlohmann::json& object, std::string_view key,
                                    std::string_view what);
// HostError 5 naming the first key of `object` that is not in `allowed`.
void RejectUnknownKeys(const nlohmann::json& object,
                       std::initializer_list<std::string_view> allowed, std::string_view what);

// A short text of a JSON value for messages: at most about 60 characters.
std::string Brief(const nlohmann::json& value);

// Levels of arrays and objects in `value` (a scalar is 0), counted without recursion so that
// any parsed input can be measured; stops counting at `limit` + 1.
int NestingDepth(const nlohmann::json& value, int limit);

}  // namespace tessarin::cli
