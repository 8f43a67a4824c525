// Copy-on-write format edits over areas of a sheet: the engine behind every Range format setter.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/host/geometry.h"
#include "core/host/style.h"

namespace tessarin::host {

class Worksheet;
struct Cell;

// Where a cell stands in its area, for edits that differ by edge (borders).
enum EdgeFlags : uint8_t { kAtLeft = 1, kAtRight = 2, kAtTop = 4, kAtBottom = 8 };

struct StyleEdit {
  // Changes a copy of a style; `edges` tells where the cell stands (only when positional).
  std::function<void(Style& style, uint8_t edges)> apply;
  bool positional = false;
  // Called for each stored cell of the area that carries extras (runs), after its style changed.
  std::function<void(int32_t row, int32_t col)> on_extra_cell;
};

// Maps old style ids to edited ones, interning each distinct result once per operation.
class StyleMapper {
 public:
  StyleMapper(StylePool& pool, const StyleEdit& edit) : pool_(pool), edit_(edit) {}
  StyleId Map(StyleId old_id, uint8_t edges);

 private:
  static constexpr StyleId kUnset = UINT32_MAX;
  StylePool& pool_;
  const StyleEdit& edit_;
  std::vector<StyleId> cache_;  // [old_id * 16 + edges]
};

// Applies `edit` to every position of `area` as the host would see it: stored cells change
// their style; whole rows/columns change the row/column formats; an empty position gets a cell
// only when its effective style would change and the row/column formats cannot carry it.
// The caller checks protection.
void ApplyStyleEdit(Worksheet& sheet, const Area& area, StyleMapper& mapper, const StyleEdit& edit);

}  // namespace tessarin::host
