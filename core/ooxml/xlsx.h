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
  uint64_t max_sheets = 4096;                       // sheets listed by the workbook part
};

// Reads an .xlsx or .xlsm package held in `bytes` (only borrowed for the call). `file_name` is
// used in error descriptions and as the workbook's name (its last path component); the format
// is set to kXlsx or kXlsm, and the caller sets the folder and disk stamp. Only worksheets are
// modelled; every other part (chart sheets among them), and every worksheet element the model
// does not hold, is kept in the workbook's file extras for WriteXlsx. Big parts are streamed, so
// memory stays near the size of the model.
// Throws host::HostError 1004 when the bytes are not a readable package (damaged zip, encrypted
// file, missing or malformed part, zip bomb, absurd sizes or references); the description names
// the file, the part and what is wrong.
std::unique_ptr<host::Workbook> ReadXlsx(std::string_view bytes, const std::string& file_name,
                                         const ReadLimits& limits = {});

struct WriteOptions {
  // The package must stay within these, or ReadXlsx would refuse it.
  ReadLimits limits;
  // Write a plain workbook even from a macro workbook: its macro project, and the links to it,
  // are left out and the main part gets the plain content type, as a .xlsx cannot hold macros.
  bool without_macros = false;
  // Pass a big shared string table read from the file on as it came (its counts written anew)
  // when the cells add few texts to it, writing those in their cells; false writes it anew.
  bool keep_string_table = true;
};

// Writes `workbook` as a complete package (zip bytes). Parts carried from the file it was read
// from are written back byte for byte, in the flavour (transitional or Strict) it was read in;
// the calculation chain is dropped, since formulas may have changed. A workbook without extras
// gets a minimal package. The main part keeps the content type it was read with, so a macro
// workbook stays one (save it as .xlsm) unless `options.without_macros`. Output is
// deterministic for a given model.
// Throws host::HostError 1004 when the workbook cannot be written (no sheets), or when the package
// would break one of `options.limits` (too many sheets, parts or cells, a part or the whole too
// big once inflated), which ReadXlsx would then refuse: checked before any part is compressed.
std::string WriteXlsx(const host::Workbook& workbook, const WriteOptions& options = {});

// True when the workbook was read from a macro workbook and still carries its macro project.
bool HasMacros(const host::Workbook& workbook);

// True when `bytes` begin like a zip archive (local header or empty-archive signature).
bool LooksLikeZip(std::string_view bytes);

}  // namespace tessarin::ooxml
