// Writing the worksheet part in pieces: measured first, then generated while the archive is
// compressed, with the elements the model does not hold put back in the element order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <queue>

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

void AppendCellValue(std::string& out, double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    AppendInt(out, static_cast<int64_t>(v));
  } else {
    AppendNumber(out, v);
  }
}

// Output of the row writer: the text itself, or only its length for the sizing pass.
struct TextSink {
  std::string& out;
  void Put(std::string_view v) { out.append(v); }
  void Put(char c) { out.push_back(c); }
  template <typename F>
  void With(F&& f) {
    f(out);
  }
};

// The sizing pass: the length, and the text itself while it stays below a limit.
struct CountSink {
  std::string& kept;
  uint64_t limit = 0;
  bool keeping = false;
  uint64_t bytes = 0;
  std::string scratch;
  void Put(std::string_view v) {
    bytes += v.size();
    if (keeping) kept.append(v), Check();
  }
  void Put(char c) {
    ++bytes;
    if (keeping) kept.push_back(c), Check();
  }
  template <typename F>
  void With(F&& f) {
    std::string& into = keeping ? kept : scratch;
    if (!keeping) scratch.clear();
    const size_t before = into.size();
    f(into);
    bytes += into.size() - before;
    if (keeping) Check();
  }
  void Check() {
    if (kept.size() < limit) return;
    keeping = false;
    kept = std::string();
  }
};

}  // namespace

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
  sheet_.cells().ForEachRow(1, host::kMaxRows, [&](int32_t r, const RowData& rd) {
    rows_.push_back({r, &rd});
  });
  CountSink count{whole_, keep_below, keep_below > 0, 0, {}};
  if (count.keeping) {
    // Room for what a sheet of these cells is likely to take: never touched beyond the text,
    // and grown without copying it again.
    whole_.reserve(std::min<uint64_t>(keep_below, head_.size() + 64 * sheet_.cells().CellCount()));
    whole_ = head_;
  }
  for (const auto& [r, rd] : rows_) WriteRow(count, r, *rd, true);
  shared_groups_.clear();
  size_ = head_.size() + count.bytes + tail_.size();
  if (count.keeping && size_ < keep_below) {
    whole_ += tail_;
    kept_ = true;
  } else {
    whole_ = std::string();
  }
}

template <typename Sink>
void WorksheetWriter::WriteRow(Sink& k, int32_t r, const RowData& rd, bool sizing) {
  char row_digits[12];
  const auto row_end = std::to_chars(row_digits, row_digits + sizeof row_digits, r).ptr;
  const std::string_view row_text(row_digits, row_end - row_digits);
  // Which cells go out, decided first so that an empty row can be left out or closed at once.
  const auto written = [&](const Cell& c) {
    return !(c.type == ValueType::kEmpty && c.style == host::kDefaultStyle &&
             IsBareCell(sheet_, rd, r, c));
  };
  const bool any = std::any_of(rd.cells.begin(), rd.cells.end(), written);
  const bool attrs = rd.has_style || rd.height >= 0 || rd.hidden || rd.file_extras;
  if (!any && !attrs) return;
  WriteRowTag(k, row_text, rd);
  if (!any) {
    k.Put("/>"sv);
    return;
  }
  k.Put('>');
  for (const Cell& c : rd.cells) {
    if (written(c)) WriteCell(k, r, row_text, c, sizing);
  }
  k.Put("</row>"sv);
}

// <row r=".." and the row's attributes, left open for its cells.
template <typename Sink>
void WorksheetWriter::WriteRowTag(Sink& k, std::string_view row_text, const RowData& rd) {
  k.Put("<row r=\""sv);
  k.Put(row_text);
  k.Put('"');
  if (rd.has_style) {
    k.Put(" s=\""sv);
    k.With([&](std::string& o) { AppendInt(o, rd.style); });
    k.Put("\" customFormat=\"1\""sv);
  }
  if (rd.height >= 0) {
    k.Put(" ht=\""sv);
    k.With([&](std::string& o) { AppendNumber(o, std::min(rd.height, 409.5f)); });
    k.Put("\" customHeight=\"1\""sv);
  }
  if (rd.hidden) k.Put(" hidden=\"1\""sv);
  if (const std::string_view other = XmlExtrasOf(rd.file_extras); !other.empty()) {
    // Rows of a sheet mostly share their other attributes: check each text once.
    if (other != checked_attrs_) {
      checked_attrs_ = other;
      declared_attrs_ = DeclaredAttrs(other, root_attrs_);
    }
    k.Put(declared_attrs_);
  }
}

template <typename Sink>
void WorksheetWriter::WriteCell(Sink& k, int32_t r, std::string_view row_text, const Cell& c,
                                bool sizing) {
  if (c.col >= column_names_.size()) {
    const size_t old = column_names_.size();
    column_names_.resize(c.col + 1);
    for (size_t n = std::max<size_t>(old, 1); n < column_names_.size(); ++n)
      column_names_[n] = ColumnName(static_cast<int32_t>(n));
  }
  // Most cells of a big sheet are a plain text of the shared table: written in one piece.
  if (c.type == ValueType::kText && !c.has_extra() && !WrittenInPlace(c, nullptr)) {
    WriteSharedTextCell(k, row_text, c, SharedStringIndex(c, nullptr, sizing));
    return;
  }
  const host::CellExtra* extra = c.has_extra() ? sheet_.Extra(r, c.col) : nullptr;
  const bool has_formula = extra && !extra->formula.empty();
  k.Put("<c r=\""sv);
  k.Put(column_names_[c.col]);
  k.Put(row_text);
  k.Put('"');
  if (c.style != host::kDefaultStyle) {
    k.Put(" s=\""sv);
    k.With([&](std::string& o) { AppendInt(o, c.style); });
    k.Put('"');
  }
  switch (c.type) {
    case ValueType::kText:
      k.Put(has_formula                ? " t=\"str\""sv
            : WrittenInPlace(c, extra) ? " t=\"inlineStr\""sv
                                       : " t=\"s\""sv);
      break;
    case ValueType::kBoolean:
      k.Put(" t=\"b\""sv);
      break;
    case ValueType::kError:
      k.Put(" t=\"e\""sv);
      break;
    default:
      break;
  }
  if (extra && extra->value_extras)
    k.Put(DeclaredAttrs(XmlExtrasOf(extra->value_extras), root_attrs_));
  if (extra && extra->phonetic && extra->phonetic->visible) k.Put(" ph=\"1\""sv);
  if (c.type == ValueType::kEmpty && !has_formula) {
    k.Put("/>"sv);
    return;
  }
  k.Put('>');
  if (has_formula) WriteFormula(k, r, c.col, *extra);
  WriteValue(k, c, extra, has_formula, sizing);
  k.Put("</c>"sv);
}

// <c r=".." s=".." t="s"><v>index</v></c>, as WriteCell writes it piece by piece.
template <typename Sink>
void WorksheetWriter::WriteSharedTextCell(Sink& k, std::string_view row_text, const Cell& c,
                                          uint32_t index) {
  // At most 60 bytes: column (3) + row (7) + style and index (10 each) + the tags (30). The copy
  // is bounded all the same, so no text given here can run past the buffer.
  char cell[96];
  char* p = cell;
  auto put = [&p, &cell](std::string_view piece) {
    const size_t n = std::min<size_t>(piece.size(), cell + sizeof cell - p);
    std::memcpy(p, piece.data(), n);
    p += n;
  };
  put("<c r=\""sv);
  put(column_names_[c.col]);
  put(row_text);
  if (c.style != host::kDefaultStyle) {
    put("\" s=\""sv);
    p = std::to_chars(p, cell + sizeof cell, c.style).ptr;
  }
  put("\" t=\"s\"><v>"sv);
  p = std::to_chars(p, cell + sizeof cell, index).ptr;
  put("</v></c>"sv);
  k.Put(std::string_view(cell, p - cell));
}

template <typename Sink>
void WorksheetWriter::WriteFormula(Sink& k, int32_t r, int32_t col, const host::CellExtra& extra) {
  const std::string_view attrs = XmlExtrasOf(extra.formula_extras);
  if (attrs.find(" t=\"shared\"") == std::string_view::npos) {
    k.Put("<f"sv);
    k.Put(attrs);
    k.Put('>');
  } else if (SharedChild(r, col, attrs, extra.formula)) {
    k.Put("<f"sv);
    k.Put(attrs);
    k.Put("/>"sv);
    return;
  } else if (const auto master = SharedMaster(r, col, attrs, extra.formula); !master.empty()) {
    k.Put("<f"sv);
    k.Put(master);
    k.Put('>');
  } else {
    // A cell whose group no longer holds: the formula in full.
    k.Put("<f>"sv);
  }
  k.With([&](std::string& o) { AppendEscaped(o, extra.formula); });
  k.Put("</f>"sv);
}

template <typename Sink>
void WorksheetWriter::WriteValue(Sink& k, const Cell& c, const host::CellExtra* extra,
                                 bool has_formula, bool sizing) {
  switch (c.type) {
    case ValueType::kNumber:
      k.Put("<v>"sv);
      k.With([&](std::string& o) { AppendCellValue(o, c.v.number); });
      k.Put("</v>"sv);
      break;
    case ValueType::kText: {
      const std::string_view text = sheet_.strings().Get(c.v.text);
      if (!has_formula && WrittenInPlace(c, extra)) {
        k.Put("<is>"sv);
        k.With([&](std::string& o) {
          if (extra)
            AppendStringItemBody(o, text, extra->runs, extra->phonetic);
          else
            AppendStringItemBody(o, text, {}, std::nullopt);
        });
        k.Put("</is>"sv);
        break;
      }
      const bool spaced = has_formula && !text.empty() &&
                          (text.front() == ' ' || text.back() == ' ' || text.front() == '\n' ||
                           text.back() == '\n');
      k.Put(spaced ? "<v xml:space=\"preserve\">"sv : "<v>"sv);
      if (has_formula) {
        k.With([&](std::string& o) { AppendCellText(o, text); });
      } else {
        const uint32_t index = SharedStringIndex(c, extra, sizing);
        k.With([&](std::string& o) { AppendInt(o, index); });
      }
      k.Put("</v>"sv);
      break;
    }
    case ValueType::kBoolean:
      k.Put(c.v.boolean ? "<v>1</v>"sv : "<v>0</v>"sv);
      break;
    case ValueType::kError:
      k.Put("<v>"sv);
      k.Put(host::CellErrorText(c.v.error));
      k.Put("</v>"sv);
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
uint32_t WorksheetWriter::SharedStringIndex(const Cell& c, const host::CellExtra* extra,
                                            bool sizing) {
  const bool rich = IsRich(extra);
  if (!sizing) return rich ? rich_indices_[next_rich_++] : strings_.IndexOf(c.v.text);
  if (!rich) return strings_.Add(c.v.text);
  const uint32_t index = strings_.AddRich(sheet_.strings().Get(c.v.text), *extra);
  rich_indices_.push_back(index);
  return index;
}

bool WorksheetWriter::Next(std::string& out, size_t piece) {
  if (kept_ && stage_ == 0) {
    if (out.empty())
      out.swap(whole_);
    else
      out += whole_;
    whole_ = std::string();
    stage_ = 2;
    return false;
  }
  if (stage_ == 0) {
    out += head_;
    stage_ = 1;
  }
  TextSink sink{out};
  const size_t start = out.size();
  while (stage_ == 1 && next_row_ < rows_.size()) {
    WriteRow(sink, rows_[next_row_].first, *rows_[next_row_].second, false);
    ++next_row_;
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
