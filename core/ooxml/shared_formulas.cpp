// Shared formulas: a formula written once for a range, moved to each of its cells on reading,
// and written as a group again on saving while its cells still hold what the group gives them.
#include "core/host/formula_refs.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {
using host::Area;

namespace {

std::string_view AttrIn(std::string_view attrs, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const size_t p = attrs.find(key);
  if (p == std::string_view::npos) return {};
  const size_t b = p + key.size();
  const size_t e = attrs.find('"', b);
  return e == std::string_view::npos ? std::string_view() : attrs.substr(b, e - b);
}

}  // namespace

std::string WorksheetWriter::SharedMaster(int32_t row, int32_t col, std::string_view attrs,
                                          const std::string& formula) {
  const std::string_view si = AttrIn(attrs, "si");
  Area ref;
  if (si.empty() || !ParseArea(AttrIn(attrs, "ref"), ref) || ref.top != row || ref.left != col)
    return {};
  shared_groups_[std::string(si)] = {formula, ref};
  return std::string(attrs);
}

bool WorksheetWriter::SharedChild(int32_t row, int32_t col, std::string_view attrs,
                                  const std::string& formula) {
  if (!AttrIn(attrs, "ref").empty()) return false;
  auto it = shared_groups_.find(std::string(AttrIn(attrs, "si")));
  if (it == shared_groups_.end() || !it->second.area.Contains(row, col)) return false;
  // The cell still holds what the group gives it.
  return host::ShiftFormula(it->second.formula, row - it->second.area.top,
                            col - it->second.area.left) == formula;
}

}  // namespace tessarin::ooxml
