// Transcript: the JSON-lines event stream that the script runner writes.
#include "app/cli/transcript.h"

namespace tessarin::cli {

std::string ToJsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', /*ensure_ascii=*/false, nlohmann::json::error_handler_t::replace);
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
