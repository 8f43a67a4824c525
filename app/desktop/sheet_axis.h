// SheetAxis: positions along the rows or the columns of a sheet, in points, for any of its
// 1,048,576 rows without an array per row: sizes are a default plus the few that differ.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/host/worksheet.h"

namespace tessarin::desktop {

class SheetAxis {
 public:
  // `count` lines of `default_size` points, except `custom` (index, size), any order.
  SheetAxis(int32_t count, double default_size, std::vector<std::pair<int32_t, double>> custom);
  // The rows and the columns of a sheet as they are now. Rows cost one pass over the stored
  // rows; build again after the sheet changed.
  static SheetAxis Rows(const host::Worksheet& sheet);
  static SheetAxis Columns(const host::Worksheet& sheet);

  int32_t count() const { return count_; }
  // Distance from the first line's start to line `index` (1 .. count + 1).
  double Start(int32_t index) const;
  double Size(int32_t index) const { return Start(index + 1) - Start(index); }
  // The line that holds `offset` (clamped to 1 .. count).
  int32_t At(double offset) const;

 private:
  int32_t count_;
  double default_size_;
  std::vector<int32_t> index_;  // custom lines, ascending
  std::vector<double> extra_;   // extra_[i]: sum of (size - default) of custom lines 0..i-1
};

}  // namespace tessarin::desktop
