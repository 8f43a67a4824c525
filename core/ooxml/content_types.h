// The [Content_Types].xml part: default types by extension and overrides by part name.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessarin::ooxml {

namespace content_type {
inline constexpr std::string_view kWorkbook =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
inline constexpr std::string_view kMacroWorkbook =
    "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
inline constexpr std::string_view kWorksheet =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
inline constexpr std::string_view kStyles =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
inline constexpr std::string_view kSharedStrings =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
inline constexpr std::string_view kComments =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";
inline constexpr std::string_view kVml = "application/vnd.openxmlformats-officedocument.vmlDrawing";
inline constexpr std::string_view kRels =
    "application/vnd.openxmlformats-package.relationships+xml";
inline constexpr std::string_view kXml = "application/xml";
inline constexpr std::string_view kCoreProps =
    "application/vnd.openxmlformats-package.core-properties+xml";
inline constexpr std::string_view kAppProps =
    "application/vnd.openxmlformats-officedocument.extended-properties+xml";
}  // namespace content_type

struct ContentTypes {
  std::vector<std::pair<std::string, std::string>> defaults;   // extension (lower case) -> type
  std::vector<std::pair<std::string, std::string>> overrides;  // part name without "/" -> type

  // The type of `part`: its override, else the default of its extension, else "".
  std::string TypeOf(std::string_view part) const;
  void SetDefault(std::string_view ext, std::string_view type);
  void SetOverride(std::string_view part, std::string_view type);
};

// Throws HostError 1004 naming the file when the part is malformed.
ContentTypes ReadContentTypes(std::string_view xml, std::string_view file);
std::string WriteContentTypes(const ContentTypes& types);

}  // namespace tessarin::ooxml
