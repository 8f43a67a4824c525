// Relationship parts (*.rels): reading, writing and type matching.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessarin::ooxml {

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // as written (relative, absolute or an external URL)
  bool external = false;
};

// Parses a .rels part; throws HostError 1004 naming file and part when it is malformed.
std::vector<Relationship> ReadRelationships(std::string_view xml, std::string_view file,
                                            std::string_view part);
std::string WriteRelationships(const std::vector<Relationship>& rels);

// True when `type` is the officeDocument relationship type `name` ("worksheet", "styles" ...)
// in either the transitional or the Strict namespace.
bool RelTypeIs(std::string_view type, std::string_view name);
// The first relationship of that type, or nullptr.
const Relationship* FindRel(const std::vector<Relationship>& rels, std::string_view name);
// True for the workbook's link to its macro project (the part that holds the code).
bool IsMacroProject(const Relationship& rel);
// An id "rIdN" not used by any of `rels`.
std::string FreeRelId(const std::vector<Relationship>& rels, int& next);

}  // namespace tessarin::ooxml
