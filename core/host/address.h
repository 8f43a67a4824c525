// Cell addresses: column letters, A1 text with several areas, and the A1 and R1C1 forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/geometry.h"

namespace tessarin::host {

// The areas of a range, in the order they were given. The first area is stored inline, so a
// one-area list (nearly every range) never allocates; further areas go to a vector.
class AreaList {
 public:
  AreaList() = default;
  AreaList(const Area& area) : first_(area), size_(1) {}  // NOLINT: an area is a one-area list
  AreaList(std::initializer_list<Area> areas);

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Area& operator[](size_t i) const { return i == 0 ? first_ : rest_[i - 1]; }
  Area& operator[](size_t i) { return i == 0 ? first_ : rest_[i - 1]; }
  const Area& front() const { return first_; }
  void push_back(const Area& area);
  void clear();

  // Index-based iteration, so `for (const Area& a : list)` works over the split storage.
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Area;
    using difference_type = std::ptrdiff_t;
    using pointer = const Area*;
    using reference = const Area&;
    const_iterator(const AreaList* list, size_t i) : list_(list), i_(i) {}
    const Area& operator*() const { return (*list_)[i_]; }
    const Area* operator->() const { return &(*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++i_;
      return old;
    }
    bool operator==(const const_iterator& o) const { return i_ == o.i_; }
    bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

   private:
    const AreaList* list_;
    size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

  // Cells over all areas (overlaps counted twice, as the host counts them).
  int64_t CellCount() const;
  friend bool operator==(const AreaList& a, const AreaList& b);

 private:
  Area first_;
  std::vector<Area> rest_;
  size_t size_ = 0;
};

// 1 -> "A", 27 -> "AA", 16384 -> "XFD". Precondition: 1 <= col <= kMaxColumns.
std::string ColumnLetters(int32_t col);
// "A" -> 1, "xfd" -> 16384 (either case). 0 when `letters` is not a column of the sheet.
int32_t ColumnNumber(std::string_view letters);

// Parses A1 text as the host's Range(address) takes it: areas joined by ",", each a cell ("B3",
// "$B$3"), a rectangle ("A1:T8", corners in any order), whole rows ("3:5", "3:3") or whole
// columns ("B:D", "A:A"). "$" may stand before any column or row. No sheet names, no spaces.
// Throws HostError 1004 naming the offending part when the text is not such an address or
// lies outside the sheet (row 1048577, column XFE).
AreaList ParseAddress(std::string_view text);
// As ParseAddress for text that must name a single area.
Area ParseArea(std::string_view text);

// A1 text without "$" or sheet: "B3", "A1:T8", whole rows "3:5" (one row "3:3"), whole columns
// "B:D" (one column "A:A"); the whole sheet reads as rows "1:1048576". Areas joined with ",".
// With `absolute` every column and row gets a "$" ("$B$3", "$3:$5", "$B:$D").
std::string FormatA1(const Area& area, bool absolute = false);
std::string FormatA1(const AreaList& areas, bool absolute = false);

// Absolute R1C1 text: a cell "R3C2", a rectangle "R3C2:R5C4", whole rows "R3:R5" (one row
// "R3"), whole columns "C2:C4" (one column "C2"); the whole sheet is rows "R1:R1048576".
// Areas joined with ",".
std::string FormatR1C1(const Area& area);
std::string FormatR1C1(const AreaList& areas);

}  // namespace tessarin::host
