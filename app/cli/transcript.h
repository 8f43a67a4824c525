// Transcript: the JSON-lines event stream that the script runner writes.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace tessarin::cli {

// Writes one JSON object per line, UTF-8 unescaped (bytes of a text that are not UTF-8 are escaped
// as "\xNN", never thrown), and flushes each line so a reader sees events as they happen. Does not
// own `out`.
class Transcript {
 public:
  explicit Transcript(std::ostream& out) : out_(&out) {}

  void Write(const nlohmann::json& event);
  // Writes one event whose JSON text `body` puts on the stream itself (for events too large to
  // build in memory); `body` must write exactly one JSON object.
  void WriteWith(const std::function<void(std::ostream&)>& body);
  int events() const { return events_; }

 private:
  std::ostream* out_;
  int events_ = 0;
};

// `value` as compact JSON text, unescaped, with bytes that are not UTF-8 escaped as "\xNN"
// (host::EscapeInvalidUtf8). Never throws.
std::string ToJsonText(const nlohmann::json& value);

}  // namespace tessarin::cli
