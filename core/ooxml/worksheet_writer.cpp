// Writing the worksheet part in pieces: measured first, then generated while the archive is
// compressed, with the elements the model does not hold put back in the element order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

#include "core/host/workbook.h"
#include "core/ooxml/page_breaks.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/worksheet_elements.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {
namespace {

using namespace std::string_view_literals;
using host::Area;
using host::Cell;
using host::RowData;
using host::ValueType;

// The most a row's tags take beside its kept attributes and its height: <row r="1048576"
// s="4294967295" customFormat="1" ht="" customHeight="1" hidden="1">, </row>, and the bytes the
// 8-byte copy of its number may write past it.
constexpr size_t kRowTagsMost = 112;
// The most a quick cell takes: <c r="XFD1048576" s="4294967295"><v>-999999999999999</v></c>
// (a shared string's index is shorter) and the bytes the word-wide copies may write past it.
constexpr size_t kQuickCellMost = 80;
static_assert(host::kMaxRows < 100000000, "a row number is copied as 8 bytes");

template <size_t N>
char* Put(char* p, const char (&text)[N]) {
  std::memcpy(p, text, N - 1);
  return p + N - 1;
}

char* Put(char* p, std::string_view text) {
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

void AppendCellValue(std::string& out, double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    AppendInt(out, static_cast<int64_t>(v));
  } else {
    AppendNumber(out, v);
  }
}

// Rows written straight into a string: the pieces of a part written again after measuring.
struct StringOut {
  std::string& text;
  char* Room(size_t n) {
    const size_t old = text.size();
    text.resize(old + n);
    return text.data() + old;
  }
  void Done(const char* end) { text.resize(end - text.data()); }
  void Add(std::string_view piece) { text.append(piece); }
};

}  // namespace

// The sizing pass's output: the part's length, and its text in the held room while it fits. A
// row's room is asked for by its most; a row that may not fit is made aside and held only when
// it does, so whether a part is kept depends on its length alone.
class WorksheetWriter::MeasureOut {
 public:
  explicit MeasureOut(HeldText& held) : held_(held) {}
  uint64_t bytes() const { return bytes_; }
  char* Room(size_t n) {
    in_held_ = held_.ok() && held_.Reserve(n);
    if (in_held_) return held_.end();
    if (aside_.size() < n) aside_.resize(n);
    return aside_.data();
  }
  void Done(const char* end) {
    if (!in_held_) return Add(std::string_view(aside_.data(), end - aside_.data()));
    const size_t n = end - held_.end();
    held_.Advance(n);
    bytes_ += n;
  }
  void Add(std::string_view piece) {
    bytes_ += piece.size();
    if (held_.ok() && !held_.Append(piece)) held_.Release();
  }

 private:
  HeldText& held_;
  bool in_held_ = false;
  std::string aside_;
  uint64_t bytes_ = 0;
};

WorksheetWriter::WorksheetWriter(const host::Worksheet& sheet, const SheetExtras* extras,
                                 SharedStringsWriter& strings, const WorksheetWriteContext& ctx,
                                 uint64_t keep_below)
    : sheet_(sheet), strings_(strings) {
  root_attrs_ = extras ? extras->root_attrs : std::string();
  const SheetElementsXml elements = SheetElements(sheet, extras, ctx, root_attrs_);
  head_ = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet";
  AppendAttr(head_, "xmlns", ctx.ns->main);
  AppendAttr(head_, "xmlns:r", ctx.ns->relationships);
  head_ += root_attrs_;
  head_ += ">";
  head_ += elements.before;
  head_ += "<sheetData>";
  tail_ = "</sheetData>" + elements.after + "</worksheet>";
  Measure(keep_below);
}

// The sizing pass: counts the part's bytes, fixes every string's index in the shared table, and
// keeps the text it makes when the part turns out smaller than `keep_below`.
void WorksheetWriter::Measure(uint64_t keep_below) {
  // The room is only reserved: a part far smaller than the limit takes no more than its text.
  if (keep_below > head_.size() + tail_.size()) whole_ = HeldText(keep_below);
  MeasureOut out(whole_);
  out.Add(head_);
  sheet_.cells().ForEachRow(1, host::kMaxRows, [&](int32_t r, const RowData& rd) {
    WriteRow(out, scratch_, r, rd, true);
  });
  shared_groups_.clear();
  size_ = out.bytes() + tail_.size();
  kept_ = whole_.ok() && size_ < keep_below && whole_.Append(tail_);
  // Many sheets may be kept at once: each keeps its text, not its reservation.
  if (kept_)
    whole_.Fit();
  else
    whole_.Release();
}

template <typename Out>
void WorksheetWriter::WriteRow(Out& out, RowScratch& s, int32_t r, const RowData& rd, bool sizing) {
  // Which cells go out, and whether all of them take the quick path, decided first so that an
  // empty row can be left out or closed at once.
  size_t quick = 0;
  bool slow = false;
  for (const Cell& c : rd.cells) {
    if (IsQuickCell(c)) {
      ++quick;
    } else if (!IsBareCell(sheet_, rd, r, c)) {
      slow = true;
      break;
    }
  }
  const bool any = quick > 0 || slow;
  const bool attrs = rd.has_style || rd.height >= 0 || rd.hidden || rd.file_extras;
  if (!any && !attrs) return;
  RowText row;
  row.size = std::to_chars(row.text, row.text + sizeof row.text, r).ptr - row.text;
  s.height.clear();
  if (rd.height >= 0) AppendNumber(s.height, std::min(rd.height, 409.5f));
  const std::string_view row_attrs = RowAttrs(s, rd);
  const size_t tags_most = kRowTagsMost + s.height.size() + row_attrs.size();
  if (!slow) {
    char* p = WriteRowTag(out.Room(tags_most + quick * kQuickCellMost), s, row, rd, row_attrs);
    if (!any) {
      out.Done(Put(p, "/>"));
      return;
    }
    *p++ = '>';
    for (const Cell& c : rd.cells) {
      if (IsQuickCell(c)) p = WriteQuickCell(p, s, row, c, sizing);
    }
    out.Done(Put(p, "</row>"));
    return;
  }
  std::string& text = s.row;
  text.resize(tags_most);
  text.resize(WriteRowTag(text.data(), s, row, rd, row_attrs) - text.data());
  text += '>';
  for (const Cell& c : rd.cells) {
    if (!IsBareCell(sheet_, rd, r, c)) WriteCell(text, s, r, row, c, sizing);
  }
  text += "</row>"sv;
  out.Add(text);
}

std::string_view WorksheetWriter::RowAttrs(RowScratch& s, const RowData& rd) {
  const std::string_view other = XmlExtrasOf(rd.file_extras);
  if (other.empty()) return {};
  // Rows of a sheet mostly share their other attributes: check each text once.
  if (other != s.checked_attrs) {
    s.checked_attrs = other;
    s.declared_attrs = DeclaredAttrs(other, root_attrs_);
  }
  return s.declared_attrs;
}

// <row r=".." and the row's attributes, left open for its cells.
char* WorksheetWriter::WriteRowTag(char* p, const RowScratch& s, const RowText& row,
                                   const RowData& rd, std::string_view attrs) {
  p = Put(p, "<row r=\"");
  std::memcpy(p, row.text, 8);
  p += row.size;
  *p++ = '"';
  if (rd.has_style) {
    p = Put(p, " s=\"");
    p = std::to_chars(p, p + 10, rd.style).ptr;
    p = Put(p, "\" customFormat=\"1\"");
  }
  if (rd.height >= 0) {
    p = Put(p, " ht=\"");
    p = Put(p, s.height);
    p = Put(p, "\" customHeight=\"1\"");
  }
  if (rd.hidden) p = Put(p, " hidden=\"1\"");
  return Put(p, attrs);
}

bool WorksheetWriter::IsQuickCell(const Cell& c) const {
  if (c.has_extra() || c.col < 1 || c.col > host::kMaxColumns) return false;
  if (c.type == ValueType::kText) return !WrittenInPlace(c, nullptr);
  return c.type == ValueType::kNumber && c.v.number == std::floor(c.v.number) &&
         std::fabs(c.v.number) < 1e15;
}

// <c r=".." s=".." t="s"><v>index</v></c> or <c r=".." s=".."><v>number</v></c>, as the
// general path below would write them, into room the caller made.
char* WorksheetWriter::WriteQuickCell(char* p, RowScratch& s, const RowText& row, const Cell& c,
                                      bool sizing) {
  const ColumnText& column = Column(s, c.col);
  p = Put(p, "<c r=\"");
  std::memcpy(p, column.text, 4);
  p += column.size;
  std::memcpy(p, row.text, 8);
  p += row.size;
  if (c.style != host::kDefaultStyle) {
    p = Put(p, "\" s=\"");
    p = std::to_chars(p, p + 10, c.style).ptr;
  }
  if (c.type == ValueType::kText) {
    p = Put(p, "\" t=\"s\"><v>");
    p = std::to_chars(p, p + 10, SharedStringIndex(s, c, nullptr, sizing)).ptr;
  } else {
    p = Put(p, "\"><v>");
    p = std::to_chars(p, p + 20, static_cast<int64_t>(c.v.number)).ptr;
  }
  return Put(p, "</v></c>");
}

const WorksheetWriter::ColumnText& WorksheetWriter::Column(RowScratch& s, uint16_t col) {
  std::vector<ColumnText>& columns = s.columns;
  if (col >= columns.size()) {
    const size_t old = columns.size();
    columns.resize(col + 1);
    for (size_t n = std::max<size_t>(old, 1); n < columns.size(); ++n) {
      const std::string name = ColumnName(static_cast<int32_t>(n));
      columns[n].size = std::min(name.size(), sizeof columns[n].text);
      std::memcpy(columns[n].text, name.data(), columns[n].size);
    }
  }
  return columns[col];
}

void WorksheetWriter::WriteCell(std::string& o, RowScratch& s, int32_t r, const RowText& row,
                                const Cell& c, bool sizing) {
  // Most cells of a big sheet take the quick path even in a row that does not.
  if (IsQuickCell(c)) {
    const size_t old = o.size();
    o.resize(old + kQuickCellMost);
    o.resize(WriteQuickCell(o.data() + old, s, row, c, sizing) - o.data());
    return;
  }
  const host::CellExtra* extra = c.has_extra() ? sheet_.Extra(r, c.col) : nullptr;
  const bool has_formula = extra && !extra->formula.empty();
  o += "<c r=\""sv;
  if (c.col <= host::kMaxColumns) {
    const ColumnText& column = Column(s, c.col);
    o.append(column.text, column.size);
  } else {
    o += ColumnName(c.col);
  }
  o += row.view();
  o += '"';
  if (c.style != host::kDefaultStyle) {
    o += " s=\""sv;
    AppendInt(o, c.style);
    o += '"';
  }
  switch (c.type) {
    case ValueType::kText:
      o += has_formula                ? " t=\"str\""sv
           : WrittenInPlace(c, extra) ? " t=\"inlineStr\""sv
                                      : " t=\"s\""sv;
      break;
    case ValueType::kBoolean:
      o += " t=\"b\""sv;
      break;
    case ValueType::kError:
      o += " t=\"e\""sv;
      break;
    default:
      break;
  }
  if (extra && extra->value_extras)
    o += DeclaredAttrs(XmlExtrasOf(extra->value_extras), root_attrs_);
  if (extra && extra->phonetic && extra->phonetic->visible) o += " ph=\"1\""sv;
  if (c.type == ValueType::kEmpty && !has_formula) {
    o += "/>"sv;
    return;
  }
  o += '>';
  if (has_formula) WriteFormula(o, r, c.col, *extra);
  WriteValue(o, s, c, extra, has_formula, sizing);
  o += "</c>"sv;
}

void WorksheetWriter::WriteFormula(std::string& o, int32_t r, int32_t col,
                                   const host::CellExtra& extra) {
  const std::string_view attrs = XmlExtrasOf(extra.formula_extras);
  if (attrs.find(" t=\"shared\"") == std::string_view::npos) {
    o += "<f"sv;
    o += attrs;
    o += '>';
  } else if (SharedChild(r, col, attrs, extra.formula)) {
    o += "<f"sv;
    o += attrs;
    o += "/>"sv;
    return;
  } else if (const auto master = SharedMaster(r, col, attrs, extra.formula); !master.empty()) {
    o += "<f"sv;
    o += master;
    o += '>';
  } else {
    // A cell whose group no longer holds: the formula in full.
    o += "<f>"sv;
  }
  AppendEscaped(o, extra.formula);
  o += "</f>"sv;
}

void WorksheetWriter::WriteValue(std::string& o, RowScratch& s, const Cell& c,
                                 const host::CellExtra* extra, bool has_formula, bool sizing) {
  switch (c.type) {
    case ValueType::kNumber:
      o += "<v>"sv;
      AppendCellValue(o, c.v.number);
      o += "</v>"sv;
      break;
    case ValueType::kText: {
      const std::string_view text = sheet_.strings().Get(c.v.text);
      if (!has_formula && WrittenInPlace(c, extra)) {
        o += "<is>"sv;
        if (extra)
          AppendStringItemBody(o, text, extra->runs, extra->phonetic);
        else
          AppendStringItemBody(o, text, {}, std::nullopt);
        o += "</is>"sv;
        break;
      }
      const bool spaced = has_formula && !text.empty() &&
                          (text.front() == ' ' || text.back() == ' ' || text.front() == '\n' ||
                           text.back() == '\n');
      o += spaced ? "<v xml:space=\"preserve\">"sv : "<v>"sv;
      if (has_formula)
        AppendCellText(o, text);
      else
        AppendInt(o, SharedStringIndex(s, c, extra, sizing));
      o += "</v>"sv;
      break;
    }
    case ValueType::kBoolean:
      o += c.v.boolean ? "<v>1</v>"sv : "<v>0</v>"sv;
      break;
    case ValueType::kError:
      o += "<v>"sv;
      o += host::CellErrorText(c.v.error);
      o += "</v>"sv;
      break;
    default:
      break;
  }
}

namespace {

bool IsRich(const host::CellExtra* extra) {
  return extra && (!extra->runs.empty() || (extra->phonetic && !extra->phonetic->runs.empty()));
}

}  // namespace

// While the string table is passed on as it came, a text it does not hold (or holds without the
// cell's runs) goes into the cell itself: the table gains no item.
bool WorksheetWriter::WrittenInPlace(const Cell& c, const host::CellExtra* extra) const {
  return strings_.carried() && (IsRich(extra) || !strings_.Carries(c.v.text));
}

// The sizing pass adds each text to the shared table; the writing pass finds the same index.
uint32_t WorksheetWriter::SharedStringIndex(RowScratch& s, const Cell& c,
                                            const host::CellExtra* extra, bool sizing) {
  const bool rich = IsRich(extra);
  if (!sizing) return rich ? rich_indices_[next_rich_++] : strings_.IndexOf(c.v.text);
  if (!rich) return strings_.Add(c.v.text);
  const uint32_t index = strings_.AddRich(sheet_.strings().Get(c.v.text), *extra);
  rich_indices_.push_back(index);
  return index;
}

bool WorksheetWriter::Next(std::string& out, size_t piece) {
  if (kept_) {
    if (stage_ == 0) out += whole_.view();
    stage_ = 2;
    return false;
  }
  if (stage_ == 0) {
    out += head_;
    stage_ = 1;
  }
  StringOut sink{out};
  const size_t start = out.size();
  const host::CellStore& cells = sheet_.cells();
  while (stage_ == 1 && next_row_ <= host::kMaxRows) {
    const int32_t r = next_row_++;
    const RowData* rd = cells.FindRow(r);
    if (!rd) {
      // No block of rows here: on to the next one.
      next_row_ = (r - 1) / host::CellStore::kBlockRows * host::CellStore::kBlockRows +
                  host::CellStore::kBlockRows + 1;
      continue;
    }
    if (rd->Empty()) continue;
    WriteRow(sink, scratch_, r, *rd, false);
    if (out.size() - start >= piece) return true;
  }
  if (stage_ == 1) {
    out += tail_;
    stage_ = 2;
  }
  return false;
}

void WriteWorksheet(std::string& out, const host::Worksheet& sheet, const SheetExtras* extras,
                    SharedStringsWriter& strings, const WorksheetWriteContext& ctx) {
  WorksheetWriter writer(sheet, extras, strings, ctx);
  out.reserve(out.size() + writer.size());
  while (writer.Next(out, SIZE_MAX)) {
  }
}

}  // namespace tessarin::ooxml
