// QuestionIndex: the question sheet's column D read once, so that a command looking up many
// test cells by their text pays one pass over the sheet instead of one per lookup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/application.h"

namespace tessarin::marking {

class QuestionIndex {
 public:
  // Reads the question cells (column D, as their values converted to text) of `sheet` from row 1
  // to the last stored row. The index keeps only hashes and rows and compares a candidate's text
  // with the sheet's cell when asked, so it stays right while column D does not change (marks
  // and answers write other columns), and the sheet must outlive it.
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
  // One question text: its hash and the first row holding it (0 marks a free slot). Eight
  // bytes, so the table of 100,000 questions stays within two megabytes.
  struct Slot {
    uint32_t hash;
    int32_t row;
  };
  // The question cell's text: a view of the sheet's own string for text cells, else the value
  // converted into `scratch`.
  std::string_view RowText(int32_t row, std::string& scratch) const;
  // The index of the slot holding `text` (hashed to `hash`), or of the free slot where it
  // would go.
  size_t Probe(std::string_view text, uint32_t hash, std::string& scratch) const;
  // Doubles the table, placing every slot again by its hash.
  void Grow();

  host::Sheet sheet_;
  std::string sheet_name_;
  // Open addressing with linear probing, at most half full: no allocation per question, and a
  // probe that meets another text's hash moves on without reading the sheet.
  std::vector<Slot> slots_;
  uint64_t mask_ = 0;
  size_t used_ = 0;
  int32_t first_empty_row_ = 1;
};

}  // namespace tessarin::marking
