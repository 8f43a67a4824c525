// QuestionIndex: the question sheet's column D read once, so that a command looking up many
// test cells by their text pays one pass over the sheet instead of one per lookup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/host/application.h"

namespace tessarin::marking {

class QuestionIndex {
 public:
  // Reads the question cells (column D, as their values converted to text) of `sheet` from row 1
  // to the last stored row. The index is a snapshot: it stays right while column D does not
  // change (marks and answers write other columns), and it never refers back to the sheet.
  explicit QuestionIndex(const host::Sheet& sheet);

  // The first row at or above `last_row` whose question cell holds `text` exactly; nullopt when
  // none does. Empty cells do not end the search. An empty `text` is never found.
  std::optional<int32_t> FirstRow(std::string_view text, int32_t last_row = INT32_MAX) const;

  // The first row whose question cell is empty: the end of the question list for the commands
  // that stop there.
  int32_t first_empty_row() const { return first_empty_row_; }

  // The name the indexed sheet had when it was read.
  const std::string& sheet_name() const { return sheet_name_; }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::string sheet_name_;
  std::unordered_map<std::string, int32_t, Hash, std::equal_to<>> first_row_of_;
  int32_t first_empty_row_ = 1;
};

}  // namespace tessarin::marking
