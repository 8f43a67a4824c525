// The shared strings part: a fast scan for the plain items that make up most of it.
#include "core/ooxml/shared_strings_part.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/host/text_encoding.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/font_xml.h"
#include "core/ooxml/value_text.h"

namespace tessarin::ooxml {
namespace {

bool NeedsPreserve(std::string_view t) {
  if (t.empty()) return false;
  auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  return ws(t.front()) || ws(t.back());
}

void AppendT(std::string& out, std::string_view text) {
  out.append(NeedsPreserve(text) ? "<t xml:space=\"preserve\">" : "<t>");
  AppendCellText(out, text);
  out.append("</t>");
}

// Text of a <t> element: entities expanded, then the _xHHHH_ escapes.
std::string ReadT(XmlScanner& sc) {
  std::string raw = sc.ElementText();
  if (raw.find("_x") == std::string::npos) return raw;
  return DecodeXmlEscapes(raw);
}

}  // namespace

uint32_t Utf16ToCodePoints(std::string_view text, uint32_t offset) {
  uint32_t units = 0, cps = 0;
  size_t i = 0;
  while (i < text.size() && units < offset) {
    const char32_t cp = host::NextCodePoint(text, i);
    units += cp >= 0x10000 ? 2 : 1;
    ++cps;
  }
  return cps + (units < offset ? offset - units : 0);
}

uint32_t CodePointsToUtf16(std::string_view text, uint32_t code_points) {
  uint32_t units = 0, cps = 0;
  size_t i = 0;
  while (i < text.size() && cps < code_points) {
    const char32_t cp = host::NextCodePoint(text, i);
    units += cp >= 0x10000 ? 2 : 1;
    ++cps;
  }
  return units + (code_points - cps);
}

void ReadStringItem(XmlScanner& sc, std::string& text, RichText& rich, const host::Font& base) {
  text.clear();
  const int depth = sc.depth();
  uint32_t cp_len = 0;
  struct RawPhonetic {
    uint32_t sb, eb;
    std::string text;
  };
  std::vector<RawPhonetic> readings;
  std::string properties;
  for (;;) {
    const auto tok = sc.Next();
    if (tok == XmlScanner::kEnd && sc.depth() < depth) break;
    if (tok == XmlScanner::kEof) sc.Error("unexpected end of document");
    if (tok != XmlScanner::kStart || sc.depth() != depth + 1) continue;
    const std::string_view name = sc.name();
    if (name == "t") {
      std::string t = ReadT(sc);
      cp_len += static_cast<uint32_t>(host::Utf8Length(t));
      text += t;
    } else if (name == "r") {
      bool has_font = false;
      host::Font font;
      std::string t;
      for (;;) {
        const auto rt = sc.Next();
        if (rt == XmlScanner::kEnd && sc.depth() <= depth) break;
        if (rt == XmlScanner::kEof) sc.Error("unexpected end of document");
        if (rt != XmlScanner::kStart || sc.depth() != depth + 2) continue;
        if (sc.name() == "rPr") {
          font = FontFromElements(ChildElements(sc), base);
          has_font = true;
        } else if (sc.name() == "t") {
          t += ReadT(sc);
        } else {
          sc.SkipElement();
        }
      }
      const auto len = static_cast<uint32_t>(host::Utf8Length(t));
      if (has_font && len > 0) rich.runs.push_back({cp_len, len, std::move(font)});
      cp_len += len;
      text += t;
    } else if (name == "rPh") {
      RawPhonetic p{0, 0, {}};
      int64_t v;
      if (const auto* a = sc.FindAttr("sb"); a && ParseInt(a->raw, v) && v >= 0)
        p.sb = static_cast<uint32_t>(std::min<int64_t>(v, 1 << 30));
      if (const auto* a = sc.FindAttr("eb"); a && ParseInt(a->raw, v) && v >= 0)
        p.eb = static_cast<uint32_t>(std::min<int64_t>(v, 1 << 30));
      for (;;) {
        const auto rt = sc.Next();
        if (rt == XmlScanner::kEnd && sc.depth() <= depth) break;
        if (rt == XmlScanner::kEof) sc.Error("unexpected end of document");
        if (rt == XmlScanner::kStart && sc.name() == "t") p.text += ReadT(sc);
      }
      readings.push_back(std::move(p));
    } else if (name == "phoneticPr") {
      properties = "<phoneticPr";
      for (const auto& a : sc.attrs()) {
        if (a.qname.substr(0, 5) != "xmlns") AppendAttr(properties, a.name, Unescape(a.raw, &sc));
      }
      properties += "/>";
      sc.SkipElement();
    } else {
      sc.SkipElement();
    }
  }
  if (!readings.empty()) {
    host::Phonetic ph;
    ph.file_extras = MakeXmlExtras(std::move(properties));
    for (RawPhonetic& r : readings) {
      const uint32_t s = Utf16ToCodePoints(text, r.sb);
      const uint32_t e = Utf16ToCodePoints(text, std::max(r.sb, r.eb));
      ph.runs.push_back({s, e - s, std::move(r.text)});
    }
    rich.phonetic = std::move(ph);
  }
}

SharedStrings::SharedStrings() = default;
SharedStrings::~SharedStrings() = default;

void SharedStrings::Open() {
  text_blocks_ = std::make_unique<std::unique_ptr<char[]>[]>(kMaxTextBlocks);
  item_blocks_ = std::make_unique<std::unique_ptr<Item[]>[]>(kMaxItemBlocks);
  text_end_ = 0;
  rich_.clear();
  mended_.clear();
  error_ = nullptr;
  declared_.store(0);
  reserved_ = false;
  any_rich_.store(false);
  count_.store(0);
  finished_.store(false);
}

bool SharedStrings::Fits(size_t bytes) const {
  return size() < kMaxItems && text_end_ + bytes + (size_t{1} << kTextBlockBits) <= UINT32_MAX;
}

void SharedStrings::Add(std::string_view text, RichText* rich, bool mended) {
  const size_t index = count_.load(std::memory_order_relaxed);
  if (mended) mended_.push_back(static_cast<uint32_t>(index));
  // A text that would straddle the end of its block starts the next one (see Text()).
  constexpr uint64_t kBlock = uint64_t{1} << kTextBlockBits;
  uint64_t begin = text_end_;
  if (!text.empty()) {
    const uint64_t block_end = ((begin >> kTextBlockBits) + 1) << kTextBlockBits;
    if (begin + text.size() > block_end) begin = block_end;
    std::unique_ptr<char[]>& block = text_blocks_[begin >> kTextBlockBits];
    if (!block) block.reset(new char[kBlock]);
    std::memcpy(block.get() + (begin & (kBlock - 1)), text.data(), text.size());
  }
  text_end_ = begin + text.size();
  std::unique_ptr<Item[]>& items = item_blocks_[index >> kItemBlockBits];
  // Not zeroed ahead: a block's pages are touched only as items come.
  if (!items) items.reset(new Item[size_t{1} << kItemBlockBits]);
  items[index & ((size_t{1} << kItemBlockBits) - 1)] = {static_cast<uint32_t>(text_end_), 0};
  if (rich) {
    std::lock_guard lock(mutex_);
    rich_.emplace(static_cast<uint32_t>(index), std::move(*rich));
    any_rich_.store(true, std::memory_order_relaxed);
  }
  Publish(index + 1);
}

// The new count first, then a look whether the reader waits for it: the reader sets `wanted_`
// before it looks at the count, so one of the two sees the other (both sequentially
// consistent).
void SharedStrings::Publish(size_t count) {
  count_.store(count);
  if (count > wanted_.load()) {
    std::lock_guard lock(mutex_);
    came_.notify_all();
  }
}

void SharedStrings::Finish(std::exception_ptr error) {
  {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
    finished_.store(true);
  }
  came_.notify_all();
}

bool SharedStrings::Wait(uint64_t index) {
  if (index < count_.load(std::memory_order_acquire)) return true;
  if (!finished_.load(std::memory_order_acquire)) {
    std::unique_lock lock(mutex_);
    wanted_.store(index);
    came_.wait(lock, [&] { return index < count_.load() || finished_.load(); });
    wanted_.store(UINT64_MAX);
  }
  if (index < count_.load(std::memory_order_acquire)) return true;
  if (error_) std::rethrow_exception(error_);
  return false;
}

void SharedStrings::WaitFinished() {
  if (!finished_.load(std::memory_order_acquire)) {
    std::unique_lock lock(mutex_);
    came_.wait(lock, [&] { return finished_.load(); });
  }
  if (error_) std::rethrow_exception(error_);
}

std::string_view SharedStrings::Text(size_t index) const {
  const uint32_t end = ItemAt(index).end;
  uint64_t begin = index == 0 ? 0 : ItemAt(index - 1).end;
  if (end == begin) return {};
  // Add() moved the text to the next block when it would have straddled the end of this one;
  // then, and only then, it ends past that block's end.
  const uint64_t block_end = ((begin >> kTextBlockBits) + 1) << kTextBlockBits;
  if (end > block_end) begin = block_end;
  const char* block = text_blocks_[begin >> kTextBlockBits].get();
  return std::string_view(block + (begin & ((uint64_t{1} << kTextBlockBits) - 1)), end - begin);
}

uint32_t SharedStrings::Id(size_t index, host::StringPool& pool) {
  uint32_t& id = ItemAt(index).id;
  if (id == 0) {
    PreparePool(index, pool);
    const Hashed& h = hashed_[index % kAhead];
    const std::string_view text = Text(index);
    id = (h.index == index ? pool.Intern(text, h.hash) : pool.Intern(text)) + 1;
  }
  return id - 1;
}

void SharedStrings::PreparePool(size_t index, host::StringPool& pool) {
  if (!reserved_) {
    reserved_ = true;
    // A table that claims millions of strings may be lying: the room reserved past what is used
    // costs only address space, but past a few million a lie would cost real pages.
    constexpr uint64_t kMostReserved = uint64_t{1} << 21;
    pool.Reserve(
        static_cast<size_t>(std::min(declared_.load(std::memory_order_relaxed), kMostReserved)));
  }
  const size_t ahead = index + kAhead;
  if (ahead < size() && ItemAt(ahead).id == 0) {
    const uint32_t hash = host::StringPool::Hash(Text(ahead));
    pool.Prefetch(hash);
    hashed_[ahead % kAhead] = {ahead, hash};
  }
}

const RichText* SharedStrings::Rich(size_t index) {
  if (!any_rich_.load(std::memory_order_acquire)) return nullptr;
  std::unique_lock lock(mutex_, std::defer_lock);
  if (!finished_.load(std::memory_order_acquire)) lock.lock();
  const auto it = rich_.find(static_cast<uint32_t>(index));
  return it != rich_.end() ? &it->second : nullptr;
}

void SharedStrings::ReleaseTexts() {
  for (size_t b = 0; text_blocks_ && b < kMaxTextBlocks; ++b) text_blocks_[b].reset();
}

std::vector<uint32_t> SharedStrings::PlainIds() const {
  std::vector<uint32_t> ids(size());
  for (size_t i = 0; i < ids.size(); ++i) ids[i] = ItemAt(i).id;
  for (const auto& [index, text] : rich_) ids[index] = 0;
  for (const uint32_t index : mended_) ids[index] = 0;
  return ids;
}

namespace {

void ReadTable(XmlScanner& sc, const host::Font& base, SharedStrings& sst) {
  std::string text, scratch;
  // Strings as a cell holds them: well-formed UTF-8 within a cell's length, or refused.
  auto add = [&](std::string_view t, RichText* rich) {
    if (!FitsInCell(t)) {
      sc.Error("shared string " + std::to_string(sst.size()) + " has more than the " +
               std::to_string(host::kMaxCellChars) + " characters a cell can have");
    }
    const std::string_view mended = MendedText(t, scratch);
    if (!sst.Fits(mended.size())) {
      sc.Error(sst.size() >= SharedStrings::kMaxItems
                   ? "the shared strings hold more than " +
                         std::to_string(SharedStrings::kMaxItems) + " items"
                   : std::string("the shared strings hold more than 4 GiB of text"));
    }
    sst.Add(mended, rich, mended.data() != t.data());
  };
  for (;;) {
    const auto tok = sc.Next();
    if (tok == XmlScanner::kEof) break;
    if (tok == XmlScanner::kStart && sc.depth() == 1) {
      int64_t n;
      if (const auto* a = sc.FindAttr("uniqueCount"); a && ParseInt(a->raw, n) && n > 0)
        sst.Declare(static_cast<uint64_t>(n));
      continue;
    }
    if (tok == XmlScanner::kEnd && sc.depth() == 1) sc.Compact();  // between items
    if (tok != XmlScanner::kStart || sc.depth() != 2) continue;
    if (sc.name() != "si") {
      sc.SkipElement();
      continue;
    }
    // Fast path for <si><t>plain</t></si>.
    std::string_view raw;
    if (!sc.self_closing() && sc.TrySimpleChild("t", raw)) {
      if (raw.find("_x") == std::string_view::npos)
        add(raw, nullptr);
      else
        add(DecodeXmlEscapes(raw), nullptr);
      if (sc.depth() == 1) sc.Compact();
      continue;
    }
    RichText rich;
    ReadStringItem(sc, text, rich, base);
    add(text, !rich.runs.empty() || rich.phonetic ? &rich : nullptr);
  }
  sst.Finish();
}

}  // namespace

void ReadSharedStrings(std::string_view xml, std::string_view file, std::string_view part,
                       const host::Font& base, SharedStrings& into) {
  try {
    XmlScanner sc(xml, file, part);
    ReadTable(sc, base, into);
  } catch (...) {
    into.Finish(std::current_exception());
    throw;
  }
}

void ReadSharedStrings(XmlScanner::Source source, std::string_view file, std::string_view part,
                       const host::Font& base, SharedStrings& into) {
  try {
    XmlScanner sc(std::move(source), file, part);
    ReadTable(sc, base, into);
  } catch (...) {
    into.Finish(std::current_exception());
    throw;
  }
}

// The index is made on the first Add, or given by CarryTable: never made twice.
SharedStringsWriter::SharedStringsWriter(const host::StringPool& pool) : pool_(pool) {}

std::vector<uint32_t> SharedStringsWriter::FirstItems(const std::vector<uint32_t>& plain_ids,
                                                      size_t pool_size) {
  std::vector<uint32_t> first(pool_size, 0);
  for (size_t item = 0; item < plain_ids.size(); ++item) {
    const uint32_t id = plain_ids[item];
    if (id != 0 && id <= pool_size && first[id - 1] == 0)
      first[id - 1] = static_cast<uint32_t>(item) + 1;
  }
  return first;
}

void SharedStringsWriter::CarryTable(std::vector<uint32_t> first_items, uint32_t items) {
  carried_ = true;
  index_ = std::move(first_items);
  unique_ = items;
}

uint32_t SharedStringsWriter::Add(uint32_t pool_id) {
  ++count_;
  if (pool_id >= index_.size()) index_.resize(std::max<size_t>(pool_id + 1, pool_.size()), 0);
  uint32_t& slot = index_[pool_id];
  if (slot == 0) {
    if (carried_) throw std::logic_error("a text the kept string table does not hold was added");
    items_.append("<si>");
    AppendT(items_, pool_.Get(pool_id));
    items_.append("</si>");
    slot = ++unique_;
  }
  return slot - 1;
}

uint32_t SharedStringsWriter::AddRich(std::string_view text, const host::CellExtra& extra) {
  ++count_;
  items_.append("<si>");
  AppendStringItemBody(items_, text, extra.runs, extra.phonetic);
  items_.append("</si>");
  return unique_++;
}

void AppendStringItemBody(std::string& out, std::string_view text,
                          const std::vector<host::TextRun>& runs,
                          const std::optional<host::Phonetic>& phonetic) {
  if (runs.empty()) {
    AppendT(out, text);
  } else {
    std::vector<host::TextRun> sorted = runs;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.start < b.start; });
    const auto total = static_cast<uint32_t>(host::Utf8Length(text));
    uint32_t pos = 0;
    // Pieces come in text order: each byte offset is counted on from the last one, so a text
    // of thousands of runs is not counted from its start for every run.
    size_t known_char = 0, known_byte = 0;
    auto offset_of = [&](uint32_t index) {
      if (index < known_char) known_char = known_byte = 0;
      known_byte += host::Utf8Offset(text.substr(known_byte), index - known_char);
      known_char = index;
      return known_byte;
    };
    auto piece = [&](uint32_t from, uint32_t to) {
      const size_t b = offset_of(from), e = offset_of(to);
      return text.substr(b, e - b);
    };
    for (const host::TextRun& r : sorted) {
      const uint32_t s = std::max(r.start, pos);
      const uint32_t e = std::min<uint32_t>(total, r.start + r.length);
      if (s >= e) continue;
      if (s > pos) {
        out.append("<r>");
        AppendT(out, piece(pos, s));
        out.append("</r>");
      }
      out.append("<r>");
      AppendFontXml(out, r.font, true);
      AppendT(out, piece(s, e));
      out.append("</r>");
      pos = e;
    }
    if (pos < total || pos == 0) {
      out.append("<r>");
      AppendT(out, piece(pos, total));
      out.append("</r>");
    }
  }
  if (phonetic) {
    for (const host::PhoneticRun& p : phonetic->runs) {
      out.append("<rPh");
      AppendAttr(out, "sb", CodePointsToUtf16(text, p.start));
      AppendAttr(out, "eb", CodePointsToUtf16(text, p.start + p.length));
      out.append(">");
      AppendT(out, p.text);
      out.append("</rPh>");
    }
    // Without properties of its own the reading takes the host's defaults.
    out.append(XmlExtrasOf(phonetic->file_extras));
  }
}

std::optional<StartEdit> TableCountsEdit(std::string_view start, std::string_view count,
                                         std::string_view unique_count) {
  // Past the declaration and any comments to the root's start tag.
  size_t p = 0;
  for (;;) {
    p = start.find('<', p);
    if (p == std::string_view::npos || p + 1 >= start.size()) return std::nullopt;
    const std::string_view close = start.substr(p, 4) == "<!--" ? "-->"
                                   : start[p + 1] == '?'        ? "?>"
                                                                : "";
    if (close.empty()) break;
    p = start.find(close, p);
    if (p == std::string_view::npos) return std::nullopt;
    p += close.size();
  }
  if (start[p + 1] == '!') return std::nullopt;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t q = p + 1;
  while (q < start.size() && !space(start[q]) && start[q] != '>' && start[q] != '/') ++q;
  if (LocalName(start.substr(p + 1, q - p - 1)) != "sst") return std::nullopt;
  StartEdit edit;
  size_t copied = 0;
  for (;;) {
    while (q < start.size() && space(start[q])) ++q;
    if (q >= start.size() || start[q] == '/') return std::nullopt;  // cut short, or no items
    if (start[q] == '>') break;
    const size_t name_at = q;
    while (q < start.size() && start[q] != '=' && !space(start[q])) ++q;
    const std::string_view name = start.substr(name_at, q - name_at);
    while (q < start.size() && (space(start[q]) || start[q] == '=')) ++q;
    if (q >= start.size() || (start[q] != '"' && start[q] != '\'')) return std::nullopt;
    const size_t value_at = q + 1;
    const size_t value_end = start.find(start[q], value_at);
    if (value_end == std::string_view::npos) return std::nullopt;
    q = value_end + 1;
    if (name != "count" && name != "uniqueCount") continue;
    edit.text.append(start.substr(copied, value_at - copied));
    edit.text.append(name == "count" ? count : unique_count);
    copied = value_end;
  }
  edit.length = q + 1;
  edit.text.append(start.substr(copied, edit.length - copied));
  return edit;
}

std::string SharedStringsWriter::Finish(const Namespaces& ns) {
  std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst";
  AppendAttr(head, "xmlns", ns.main);
  AppendAttr(head, "count", static_cast<int64_t>(count_));
  AppendAttr(head, "uniqueCount", static_cast<int64_t>(unique_));
  head.append(">");
  std::string out = std::move(items_);
  items_.clear();
  out.reserve(head.size() + out.size() + 6);
  out.insert(0, head);
  out.append("</sst>");
  return out;
}

}  // namespace tessarin::ooxml
