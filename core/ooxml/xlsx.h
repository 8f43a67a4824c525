// Reading and writing .xlsx and .xlsm packages to and from the host workbook model.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/host/workbook.h"

namespace tessarin::ooxml {

// Limits that keep a hostile or damaged file from costing unbounded time or memory. Sizes are
// checked against the zip directory before anything is inflated, and again while inflating.
struct ReadLimits {
  uint64_t max_total_expanded = uint64_t{1} << 30;  // all parts together, inflated
  uint64_t max_part_size = uint64_t{512} << 20;     // one part, inflated
  uint64_t max_ratio = 1000;                        // inflated / compressed, for parts over 1 MiB
  uint64_t max_entries = 10000;                     // zip entries
  uint64_t max_cells = 40'000'000;                  // cells of all sheets (16 bytes each in memory)
};

// Reads an .xlsx or .xlsm package held in `bytes` (only borrowed for the call). `file_name` is
// used in error descriptions and as the workbook's name (its last path component); the format
// is set to kXlsx or kXlsm, and the caller sets the folder and disk stamp. Only worksheets are
// modelled; every other part (chart sheets among them), and every worksheet element the model
// does not hold, is kept in the workbook's carry() for WriteXlsx. Big parts are streamed, so
// memory stays near the size of the model.
// Throws host::HostError 1004 when the bytes are not a readable package (damaged zip, encrypted
// file, missing or malformed part, zip bomb, absurd sizes or references); the description names
// the file, the part and what is wrong.
std::unique_ptr<host::Workbook> ReadXlsx(std::string_view bytes, const std::string& file_name,
                                         const ReadLimits& limits = {});

// Writes `workbook` as a complete package (zip bytes). Parts carried from the file it was read
// from are written back byte for byte, in the flavour (transitional or Strict) it was read in;
// the calculation chain is dropped, since formulas may have changed. A workbook without carry
// gets a minimal package. The main part keeps the content type it was read with, so a macro
// workbook stays one (save it as .xlsm). Output is deterministic for a given model.
// Throws host::HostError 1004 when the workbook cannot be written (no sheets).
std::string WriteXlsx(const host::Workbook& workbook);

// True when `bytes` begin like a zip archive (local header or empty-archive signature).
bool LooksLikeZip(std::string_view bytes);

}  // namespace tessarin::ooxml
