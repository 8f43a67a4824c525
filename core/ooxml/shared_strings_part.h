// The shared strings part (xl/sharedStrings.xml) and the string items of inline strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/host/cell.h"
#include "core/host/workbook.h"
#include "core/ooxml/part_compression.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// Character runs and phonetic readings of one string item.
struct RichText {
  std::vector<host::TextRun> runs;
  std::optional<host::Phonetic> phonetic;
};

// Reads the content of the scanner's current <si> or <is> element up to its end tag. The text
// is only the base text: readings of <rPh> go to `rich.phonetic`, never into `text`. Runs
// without properties are left out (they take the cell's font). `base` fills what a run's
// properties do not say.
void ReadStringItem(XmlScanner& scanner, std::string& text, RichText& rich, const host::Font& base);

// The shared string table as read: the texts end to end, and the rich items by index. A text
// enters the workbook's pool when a cell first uses it, so that a table of millions of strings
// few cells use costs little more than its text (about 9 bytes a string beside it).
class SharedStrings {
 public:
  void Reserve(size_t items) { ends_.reserve(items); }
  void Add(std::string_view text);
  // Gives back the room that growing left unused: the table is kept while every sheet is read.
  void Trim() {
    texts_.shrink_to_fit();
    ends_.shrink_to_fit();
  }
  size_t size() const { return ends_.size(); }
  size_t text_bytes() const { return texts_.size(); }
  std::string_view Text(size_t index) const;
  // The pool id of item `index` (< size()), interning it on first use.
  uint32_t Id(size_t index, host::StringPool& pool);
  // Per item, the pool id + 1 of a plain item a cell used, else 0 (unused, rich, or mended as it
  // was read, so that the file's text is not what the cells hold): the items a save may point
  // at again when it passes the table on as it came.
  std::vector<uint32_t> PlainIds() const;
  std::unordered_map<uint32_t, RichText> rich;
  std::vector<uint32_t> mended;  // items whose text was mended as it was read

 private:
  std::string texts_;
  std::vector<uint32_t> ends_;  // end offset of each item's text (a part stays under 4 GiB)
  std::vector<uint32_t> ids_;   // pool id + 1 per item, 0 until a cell uses it
};

// Reads the part; strings are checked and mended as cell text here, pooled when used. Throws
// HostError 1004 naming file and part when it is malformed.
SharedStrings ReadSharedStrings(std::string_view xml, std::string_view file, std::string_view part,
                                host::Workbook& workbook);
SharedStrings ReadSharedStrings(XmlScanner::Source source, std::string_view file,
                                std::string_view part, host::Workbook& workbook);

// Builds the shared string table while the worksheets are written. Plain strings are shared by
// pool id; strings with runs or readings get an item of their own.
class SharedStringsWriter {
 public:
  explicit SharedStringsWriter(const host::StringPool& pool);
  // Keeps the table as read instead of building one: `plain_ids` (SharedStrings::PlainIds) gives
  // each pool id the first item of its text. Call before the first Add; from then on only texts
  // the table Carries are added, and cells write every other text in place.
  void CarryTable(const std::vector<uint32_t>& plain_ids);
  bool carried() const { return carried_; }
  // True when the kept table holds `pool_id`'s text as a plain item.
  bool Carries(uint32_t pool_id) const { return pool_id < index_.size() && index_[pool_id] != 0; }
  // References added so far.
  uint64_t count() const { return count_; }
  uint32_t Add(uint32_t pool_id);
  // The index Add gave `pool_id`; only for strings added before.
  uint32_t IndexOf(uint32_t pool_id) const { return index_[pool_id] - 1; }
  uint32_t AddRich(std::string_view text, const host::CellExtra& extra);
  bool empty() const { return unique_ == 0; }
  // The whole part. Hands its items over (a big table is not held twice), so it is called
  // once, after the last Add.
  std::string Finish(const Namespaces& ns);

 private:
  const host::StringPool& pool_;
  std::vector<uint32_t> index_;  // pool id -> item index + 1, 0 when not added yet
  std::string items_;
  uint32_t unique_ = 0;
  uint64_t count_ = 0;
  bool carried_ = false;
};

// The change that gives the root tag of a shared strings part, found in `start` (the part's
// beginning), these counts: the values of its count and uniqueCount attributes are replaced,
// an attribute it lacks stays out. nullopt when `start` holds no whole <sst> start tag, or an
// empty one.
std::optional<StartEdit> TableCountsEdit(std::string_view start, std::string_view count,
                                         std::string_view unique_count);

// Writes one <si>-style body (the <t>, <r>, <rPh> and <phoneticPr> children) for `text`.
void AppendStringItemBody(std::string& out, std::string_view text,
                          const std::vector<host::TextRun>& runs,
                          const std::optional<host::Phonetic>& phonetic);

// UTF-16 offsets (as the file counts them) <-> code point offsets (as the model counts them).
uint32_t Utf16ToCodePoints(std::string_view text, uint32_t utf16_offset);
uint32_t CodePointsToUtf16(std::string_view text, uint32_t code_points);

}  // namespace tessarin::ooxml
