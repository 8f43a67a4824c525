// Clipboard: a detached copy of a rectangle of cells (values, formats, runs, phonetic guides,
// comments, merges) that can be pasted into any sheet of any workbook.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/host/cell.h"
#include "core/host/geometry.h"
#include "core/host/style.h"

namespace tessarin::host {

class Worksheet;

// Owns its data: nothing points into the source workbook, so pasting re-interns strings and
// styles into the destination's pools.
struct ClipboardData {
  struct Entry {
    int32_t row = 0;  // 0-based within the copied area
    int32_t col = 0;
    CellValue value;
    uint32_t style = 0;  // index into styles
    std::optional<CellExtra> extra;
  };
  Area source;  // where it came from (the host shows the copy border there)
  std::string source_sheet;
  std::vector<Style> styles;   // styles[0] is the source workbook's normal style
  std::vector<Entry> entries;  // stored source cells, row by row
  // Formats that empty positions take from their row or column (index into styles, or -1).
  std::vector<int32_t> row_styles;     // per copied row
  std::vector<int32_t> column_styles;  // per copied column
  std::vector<Area> merges;            // 0-based within the copied area

  int32_t Rows() const { return source.Rows(); }
  int32_t Columns() const { return source.Columns(); }
};

// Snapshots `area` of `sheet`.
ClipboardData CopyCells(const Worksheet& sheet, const Area& area);

// Pastes `data` with its top-left cell at `top_left` and returns the area written. Every
// position of that area takes the source's value, format, runs, phonetic guide and comment, as
// the host's paste of everything does (a destination comment goes when the source has none).
// Throws HostError 1004 when the sheet is protected or the area would leave the sheet.
Area PasteCells(const ClipboardData& data, Worksheet& sheet, CellRef top_left);

}  // namespace tessarin::host
