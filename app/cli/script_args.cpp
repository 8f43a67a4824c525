// Checked reading of a script step's JSON arguments.
#include "app/cli/script_args.h"

#include <cmath>
#include <utility>
#include <vector>

#include "app/cli/transcript.h"
#include "core/host/host_error.h"

namespace tessarin::cli {

using nlohmann::json;

namespace {

constexpr size_t kBriefLength = 60;

[[noreturn]] void Mismatch(std::string_view what, std::string_view expected, const json& value) {
  throw host::HostError(
      host::kErrTypeMismatch,
      std::string(what) + " must be " + std::string(expected) + ", not " + Brief(value));
}

}  // namespace

std::string Brief(const json& value) {
  std::string text = ToJsonText(value);
  if (text.size() <= kBriefLength) return text;
  // Cut on a character boundary so the message stays valid UTF-8.
  size_t cut = kBriefLength;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

const std::string& RequireString(const json& value, std::string_view what) {
  if (!value.is_string()) Mismatch(what, "a text", value);
  return value.get_ref<const std::string&>();
}

bool RequireBool(const json& value, std::string_view what) {
  if (!value.is_boolean()) Mismatch(what, "true or false", value);
  return value.get<bool>();
}

double RequireNumber(const json& value, std::string_view what) {
  if (!value.is_number()) Mismatch(what, "a number", value);
  return value.get<double>();
}

int RequireInt(const json& value, std::string_view what, int min, int max) {
  if (!value.is_number()) Mismatch(what, "a whole number", value);
  double number = value.get<double>();
  if (std::trunc(number) != number) Mismatch(what, "a whole number", value);
  if (number < min || number > max) {
    throw host::HostError(host::kErrInvalidProcedureCall,
                          std::string(what) + " must lie between " + std::to_string(min) + " and " +
                              std::to_string(max) + ", not " + Brief(value));
  }
  return static_cast<int>(number);
}

const json& RequireObject(const json& value, std::string_view what) {
  if (!value.is_object()) Mismatch(what, "an object", value);
  return value;
}

const json& RequireArray(const json& value, std::string_view what) {
  if (!value.is_array()) Mismatch(what, "an array", value);
  return value;
}

const json& RequireMember(const json& object, std::string_view key, std::string_view what) {
  auto it = object.find(key);
  if (it == object.end()) {
    throw host::HostError(host::kErrInvalidProcedureCall,
                          std::string(what) + " needs \"" + std::string(key) + "\"");
  }
  return *it;
}

void RejectUnknownKeys(const json& object, std::initializer_list<std::string_view> allowed,
                       std::string_view what) {
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (std::string_view name : allowed) known = known || key == name;
    if (!known) {
      throw host::HostError(host::kErrInvalidProcedureCall,
                            std::string(what) + " has no key " + Brief(json(key)));
    }
  }
}

int NestingDepth(const json& value, int limit) {
  std::vector<std::pair<const json*, int>> pending = {{&value, 0}};
  int deepest = 0;
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    if (!node->is_structured()) continue;
    if (++depth > deepest) deepest = depth;
    if (deepest > limit) return deepest;
    for (const json& child : *node) pending.emplace_back(&child, depth);
  }
  return deepest;
}

}  // namespace tessarin::cli
