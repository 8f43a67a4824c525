// The shared strings part (xl/sharedStrings.xml) and the string items of inline strings.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
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

// The shared string table as read: the texts in blocks that never move, and the rich items by
// index. A text enters the workbook's pool when a cell first uses it, so that a table of
// millions of strings few cells use costs little more than its text (about 8 bytes a string
// beside it).
//
// One thread may add items while one other thread reads those already added: the sheets are
// read while the table still comes in. Wait() is the reader's door: it returns once the item
// has come or the table is finished, and throws what reading the table threw. A table made
// and never opened is finished and empty.
class SharedStrings {
 public:
  SharedStrings();
  ~SharedStrings();
  SharedStrings(const SharedStrings&) = delete;
  SharedStrings& operator=(const SharedStrings&) = delete;

  // The writer's side. Open() is called before the reader may look (on the reader's thread or
  // before it starts); Add() appends an item (with its runs and readings, if any); Finish()
  // ends the table, with the error that stopped reading it, if one did.
  void Open();
  // The count of unique items the part declares (only a hint: some writers get it wrong).
  void Declare(uint64_t unique) { declared_.store(unique, std::memory_order_relaxed); }
  // `mended`: the text is not the file's own (MendedText changed it).
  void Add(std::string_view text, RichText* rich = nullptr, bool mended = false);
  // Whether one more item of `bytes` bytes can be added (below kMaxItems, and the texts within
  // what a 32-bit offset reaches).
  bool Fits(size_t bytes) const;
  static constexpr size_t kMaxItems = size_t{1} << 28;
  void Finish(std::exception_ptr error = nullptr);
  // Bytes the texts take, as a 32-bit offset must reach them.
  uint64_t text_bytes() const { return text_end_; }

  // The reader's side. True once item `index` has come; false when the finished table is
  // shorter. Blocks while the table is read; throws what reading it threw.
  bool Wait(uint64_t index);
  // Items so far: all of them once Wait has returned false or WaitFinished has returned.
  size_t size() const { return count_.load(std::memory_order_acquire); }
  // Waits for the whole table; throws what reading it threw.
  void WaitFinished();
  // Item `index` (which has come).
  std::string_view Text(size_t index) const;
  // The pool id of item `index` (which has come), interning it on first use.
  uint32_t Id(size_t index, host::StringPool& pool);
  // The runs and readings of item `index` (which has come), or nullptr.
  const RichText* Rich(size_t index);
  // Per item, the pool id + 1 of a plain item a cell used, else 0 (unused, rich, or mended as it
  // was read, so that the file's text is not what the cells hold): the items a save may point
  // at again when it passes the table on as it came. Only once the table is finished.
  std::vector<uint32_t> PlainIds() const;
  // Lets the texts go once the reader is done with them; ids, runs and readings stay.
  void ReleaseTexts();

 private:
  struct Item {
    uint32_t end;  // end offset of the text (texts never straddle a block)
    uint32_t id;   // pool id + 1, 0 until a cell uses the item; the reader's alone
  };
  static constexpr int kTextBlockBits = 20;  // a text is at most 4 x 32,767 bytes: it fits
  static constexpr int kItemBlockBits = 15;
  static constexpr size_t kMaxTextBlocks = size_t{1} << (32 - kTextBlockBits);
  static constexpr size_t kMaxItemBlocks = kMaxItems >> kItemBlockBits;
  Item& ItemAt(size_t index) const {
    return item_blocks_[index >> kItemBlockBits][index & ((size_t{1} << kItemBlockBits) - 1)];
  }
  void Publish(size_t count);
  // Prepares the pool for the items to come, once: room for the declared items, as far as it is
  // believable, and the index slot of an item a little ahead, which cells often use in order.
  void PreparePool(size_t index, host::StringPool& pool);

  std::unique_ptr<std::unique_ptr<char[]>[]> text_blocks_;
  std::unique_ptr<std::unique_ptr<Item[]>[]> item_blocks_;
  uint64_t text_end_ = 0;  // the writer's
  std::atomic<size_t> count_{0};
  std::atomic<bool> finished_{true};
  std::atomic<bool> any_rich_{false};
  std::atomic<uint64_t> wanted_{UINT64_MAX};  // the item the reader waits for
  std::exception_ptr error_;
  std::mutex mutex_;  // guards rich_ until finished, and the waiting
  std::condition_variable came_;
  std::unordered_map<uint32_t, RichText> rich_;
  std::vector<uint32_t> mended_;  // items whose text was mended as it was read; the writer's
  std::atomic<uint64_t> declared_{0};
  bool reserved_ = false;  // the reader's
  // Hashes computed for a prefetch, by item index modulo their count; the reader's.
  static constexpr size_t kAhead = 8;
  struct Hashed {
    size_t index = SIZE_MAX;
    uint32_t hash = 0;
  };
  Hashed hashed_[kAhead];
};

// Reads the part into `into` (opened by the caller), finishing it; strings are checked and
// mended as cell text here, pooled when used. `base` is the workbook's default font, which runs
// take what they leave out from. Throws HostError 1004 naming file and part when it is
// malformed, having finished `into` with that error.
void ReadSharedStrings(std::string_view xml, std::string_view file, std::string_view part,
                       const host::Font& base, SharedStrings& into);
void ReadSharedStrings(XmlScanner::Source source, std::string_view file, std::string_view part,
                       const host::Font& base, SharedStrings& into);

// Builds the shared string table while the worksheets are written. Plain strings are shared by
// pool id; strings with runs or readings get an item of their own.
class SharedStringsWriter {
 public:
  explicit SharedStringsWriter(const host::StringPool& pool);
  // Pool id -> 1 + the first item of a kept table that holds its text (0: none), for the pool
  // ids below `pool_size`; `plain_ids` as SharedStrings::PlainIds gives them.
  static std::vector<uint32_t> FirstItems(const std::vector<uint32_t>& plain_ids, size_t pool_size);
  // Keeps the table as read (`items` items) instead of building one: `first_items` as
  // FirstItems gives them. Call before the first Add; from then on only texts the table Carries
  // are added, and cells write every other text in place.
  void CarryTable(std::vector<uint32_t> first_items, uint32_t items);
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
