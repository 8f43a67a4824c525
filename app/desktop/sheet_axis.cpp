// SheetAxis: prefix sums over the lines whose size differs from the default.
#include "app/desktop/sheet_axis.h"

#include <algorithm>

#include "core/host/geometry.h"
#include "core/host/units.h"

namespace tessarin::desktop {

SheetAxis::SheetAxis(int32_t count, double default_size,
                     std::vector<std::pair<int32_t, double>> custom)
    : count_(count), default_size_(default_size) {
  std::sort(custom.begin(), custom.end());
  index_.reserve(custom.size());
  extra_.reserve(custom.size() + 1);
  extra_.push_back(0);
  for (const auto& [index, size] : custom) {
    if (index < 1 || index > count_ || (!index_.empty() && index_.back() == index)) continue;
    index_.push_back(index);
    extra_.push_back(extra_.back() + size - default_size_);
  }
}

SheetAxis SheetAxis::Rows(const host::Worksheet& sheet) {
  std::vector<std::pair<int32_t, double>> custom;
  const double standard = sheet.default_row_height();
  sheet.cells().ForEachRow(1, host::kMaxRows, [&](int32_t row, const host::RowData& data) {
    if (data.hidden || data.height >= 0) {
      const double points = host::RowPoints(sheet, row);
      if (points != standard) custom.emplace_back(row, points);
    }
  });
  return SheetAxis(host::kMaxRows, standard, std::move(custom));
}

SheetAxis SheetAxis::Columns(const host::Worksheet& sheet) {
  // Columns past the last described one have the sheet's default width.
  const int32_t described = sheet.MaxColumnInfo();
  const double standard = host::ColumnPoints(
      sheet, described + 1 <= host::kMaxColumns ? described + 1 : host::kMaxColumns);
  std::vector<std::pair<int32_t, double>> custom;
  for (int32_t col = 1; col <= described; ++col) {
    const double points = host::ColumnPoints(sheet, col);
    if (points != standard) custom.emplace_back(col, points);
  }
  return SheetAxis(host::kMaxColumns, standard, std::move(custom));
}

double SheetAxis::Start(int32_t index) const {
  index = std::clamp(index, 1, count_ + 1);
  // Custom lines before `index` add their difference from the default.
  const size_t before = std::lower_bound(index_.begin(), index_.end(), index) - index_.begin();
  return (index - 1) * default_size_ + extra_[before];
}

int32_t SheetAxis::At(double offset) const {
  int32_t lo = 1, hi = count_;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo + 1) / 2;
    if (Start(mid) <= offset) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return lo;
}

}  // namespace tessarin::desktop
