// Reading and writing .xlsx and .xlsm packages to and from the host workbook model.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/host/workbook.h"

namespace tessarin::ooxml {

// Limits that keep a hostile or damaged file from costing unbounded time or memory.
struct ReadLimits {
  uint64_t max_total_expanded = uint64_t{1} << 30;  // all parts together, inflated
  uint64_t max_part_size = uint64_t{512} << 20;     // one part, inflated
  uint64_t max_ratio = 1000;                        // inflated / compressed for one part
  uint64_t max_entries = 10000;                     // zip entries
};

// Reads an .xlsx or .xlsm package held in `bytes`. `file_name` is used in error descriptions
// and as the workbook's name (its last path component); the caller sets the folder, format and
// disk stamp. Only worksheets are modelled; every other part, and every worksheet element the
// model does not hold, is kept in the workbook's carry() for WriteXlsx.
// Throws host::HostError 1004 when the bytes are not a readable package (damaged zip, encrypted
// file, missing or malformed part, zip bomb, absurd sizes or references); the description names
// the file, the part and what is wrong.
std::unique_ptr<host::Workbook> ReadXlsx(std::string_view bytes, const std::string& file_name,
                                         const ReadLimits& limits = {});

// Writes `workbook` as a complete package (zip bytes). Parts carried from the file it was read
// from are written back unchanged; a workbook without carry gets a minimal package. The package
// is a macro workbook (.xlsm content type) when the carry holds a VBA project.
// Throws host::HostError 1004 when the workbook cannot be written (no sheets).
std::string WriteXlsx(const host::Workbook& workbook);

// True when `bytes` begin like a zip archive (local header or empty-archive signature).
bool LooksLikeZip(std::string_view bytes);

}  // namespace tessarin::ooxml
