// The "format" step: sets formats on cells of the active sheet as a user would.
#pragma once

#include <nlohmann/json.hpp>

namespace tessarin::host {
class Application;
}

namespace tessarin::cli {

// Applies the step's `fields` to the range its "cell" (or "range") names on the active sheet.
// Keys, any subset:
//   "font": {"name", "size", "bold", "italic", "style", "underline" (host number, or true /
//            false), "colorindex", "strikethrough", "superscript", "subscript", "outline",
//            "shadow"}
//   "numfmt" (local code, "G/標準" or "General" alike), "h", "v", "orientation", "shrink",
//   "wrap", "indent", "addindent", "merge",
//   "borders": {"5".."12": {"linestyle", "weight", "colorindex"}},
//   "runs": [{"start" (1-based), "length" (to the end when left out), "font": {...}}],
//   "comment": TEXT (adds or replaces) or null (deletes),
//   "phonetic": {"text", "visible"}, "rowheight", "colwidth".
// The whole step is checked before anything is set: an unknown key or a value of the wrong
// type throws host::HostError 5 or 13 and changes nothing. Values the host refuses throw the
// host's error, leaving what was set before it.
void ApplyFormat(host::Application& app, const nlohmann::json& fields);

}  // namespace tessarin::cli
