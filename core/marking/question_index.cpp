// QuestionIndex: one pass over column D.
#include "core/marking/question_index.h"

#include <algorithm>
#include <bit>
#include <functional>

#include "core/workbook/cell_reading.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::marking {

namespace {

// Both halves of the hash folded into the 32 bits a slot keeps: they choose the slot and tell
// most texts that met there apart without reading the sheet.
uint32_t HashText(std::string_view text) {
  const uint64_t hash = std::hash<std::string_view>{}(text);
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

QuestionIndex::QuestionIndex(const host::Sheet& sheet) : sheet_(sheet), sheet_name_(sheet.Name()) {
  const int32_t last_row = std::max(sheet.worksheet().UsedArea().bottom, 0);
  // Sized for a full column up to 262,144 rows at once; a longer or sparser sheet grows.
  slots_.assign(std::bit_ceil(2 * static_cast<uint64_t>(std::clamp(last_row, 512, 1 << 18))),
                Slot{0, 0});
  mask_ = slots_.size() - 1;
  bool list_ended = false;
  std::string scratch, candidate;
  for (int32_t row = 1; row <= last_row; ++row) {
    const std::string_view text = RowText(row, scratch);
    if (text.empty()) {
      if (!list_ended) first_empty_row_ = row;
      list_ended = true;
      continue;
    }
    // The first row wins: the upper of two equal questions is the one every lookup finds.
    const uint32_t hash = HashText(text);
    Slot& slot = slots_[Probe(text, hash, candidate)];
    if (slot.row != 0) continue;
    slot = Slot{hash, row};
    if (2 * ++used_ > slots_.size()) Grow();
  }
  if (!list_ended) first_empty_row_ = last_row + 1;
}

std::string_view QuestionIndex::RowText(int32_t row, std::string& scratch) const {
  const host::Worksheet& sheet = sheet_.worksheet();
  if (std::string_view text = sheet.TextView(row, workbook::kQuestionColumn); !text.empty())
    return text;
  scratch = workbook::CellText(sheet_, row, workbook::kQuestionColumn);
  return scratch;
}

size_t QuestionIndex::Probe(std::string_view text, uint32_t hash, std::string& scratch) const {
  for (uint64_t i = hash & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots_[i];
    if (slot.row == 0) return i;
    if (slot.hash == hash && RowText(slot.row, scratch) == text) return i;
  }
}

void QuestionIndex::Grow() {
  std::vector<Slot> old(slots_.size() * 2, Slot{0, 0});
  old.swap(slots_);
  mask_ = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.row == 0) continue;
    uint64_t i = slot.hash & mask_;
    while (slots_[i].row != 0) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
}

std::optional<int32_t> QuestionIndex::FirstRow(std::string_view text, int32_t last_row) const {
  if (text.empty()) return std::nullopt;
  std::string scratch;
  const Slot& slot = slots_[Probe(text, HashText(text), scratch)];
  if (slot.row == 0 || slot.row > last_row) return std::nullopt;
  return slot.row;
}

}  // namespace tessarin::marking
