// .xlsx and .xlsm packages: what tells them apart. Reading is in xlsx_reader.cpp, writing in
// xlsx_writer.cpp.
#include "core/ooxml/xlsx.h"

#include <algorithm>

#include "core/ooxml/content_types.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/relationships.h"

namespace tessarin::ooxml {

bool LooksLikeZip(std::string_view bytes) {
  return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' &&
         ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6));
}

bool HasMacros(const host::Workbook& workbook) {
  const PackageExtras* extras = PackageExtrasOf(workbook);
  return extras && (extras->workbook_content_type == content_type::kMacroWorkbook ||
                    std::any_of(extras->workbook_rels.begin(), extras->workbook_rels.end(),
                                [](const Relationship& r) { return IsMacroProject(r); }));
}

}  // namespace tessarin::ooxml
