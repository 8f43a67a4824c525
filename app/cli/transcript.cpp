// Transcript: the JSON-lines event stream that the script runner writes.
#include "app/cli/transcript.h"

#include "core/host/text_encoding.h"

namespace tessarin::cli {
namespace {

// `value` with every string and key holding bytes that are not UTF-8 (a Shift_JIS file name)
// escaped as "\xNN", so the transcript names them and stays valid UTF-8.
nlohmann::json Escaped(const nlohmann::json& value) {
  if (value.is_string()) return host::EscapeInvalidUtf8(value.get_ref<const std::string&>());
  if (value.is_array()) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& item : value) out.push_back(Escaped(item));
    return out;
  }
  if (value.is_object()) {
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [key, item] : value.items()) out[host::EscapeInvalidUtf8(key)] = Escaped(item);
    return out;
  }
  return value;
}

}  // namespace

std::string ToJsonText(const nlohmann::json& value) {
  try {
    return value.dump(-1, ' ', /*ensure_ascii=*/false, nlohmann::json::error_handler_t::strict);
  } catch (const nlohmann::json::type_error&) {
    // Only an event carrying bytes that are not UTF-8 pays for the copy.
    return Escaped(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
}

void Transcript::Write(const nlohmann::json& event) {
  *out_ << ToJsonText(event) << '\n';
  out_->flush();
  ++events_;
}

void Transcript::WriteWith(const std::function<void(std::ostream&)>& body) {
  body(*out_);
  *out_ << '\n';
  out_->flush();
  ++events_;
}

}  // namespace tessarin::cli
