// Range formats: alignment, number formats, merges, borders, fonts and character runs.
#include <algorithm>
#include <limits>
#include <map>

#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/host/runtime.h"
#include "core/host/style_edit.h"
#include "core/host/text_encoding.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

[[noreturn]] void Refuse(const char* property, const std::string& value) {
  throw HostError(kErrApplicationDefined, std::string("Unable to set the ") + property +
                                              " property of the Range class: " + value +
                                              " is not an allowed value.");
}

void Apply(const Range& range, StyleEdit edit) {
  Worksheet& sheet = range.sheet();
  sheet.CheckWritable();
  sheet.NoteChange();  // row and column formats are edited in place
  StyleMapper mapper(sheet.styles(), edit);
  for (const Area& a : range.areas()) ApplyStyleEdit(sheet, a, mapper, edit);
}

template <typename F>
void ApplySimple(const Range& range, F change) {
  StyleEdit edit;
  edit.apply = [&](Style& s, uint8_t) { change(s); };
  Apply(range, std::move(edit));
}

const Style& FirstStyle(const Range& range) {
  return range.sheet().StyleAt(range.Row(), range.Column());
}

// --- Character runs ---

// Runs covering [0, length) exactly: gaps take the cell font, overhangs are cut.
std::vector<TextRun> Coverage(const std::vector<TextRun>& runs, const Font& cell_font,
                              uint32_t length) {
  std::vector<TextRun> sorted = runs;
  std::sort(sorted.begin(), sorted.end(),
            [](const TextRun& a, const TextRun& b) { return a.start < b.start; });
  std::vector<TextRun> out;
  uint32_t pos = 0;
  for (const TextRun& r : sorted) {
    if (pos >= length) break;
    const uint32_t start = std::max(r.start, pos);
    const uint32_t end = std::min<uint64_t>(uint64_t{r.start} + r.length, length);
    if (end <= start) continue;
    if (start > pos) out.push_back({pos, start - pos, cell_font});
    out.push_back({start, end - start, r.font});
    pos = end;
  }
  if (pos < length) out.push_back({pos, length - pos, cell_font});
  return out;
}

// Merges neighbours with equal fonts; no runs at all when every character has the cell font.
void Normalize(std::vector<TextRun>& runs, const Font& cell_font) {
  std::vector<TextRun> out;
  for (TextRun& r : runs) {
    if (r.length == 0) continue;
    if (!out.empty() && out.back().font == r.font &&
        out.back().start + out.back().length == r.start) {
      out.back().length += r.length;
    } else {
      out.push_back(std::move(r));
    }
  }
  const bool all_plain =
      std::all_of(out.begin(), out.end(), [&](const TextRun& r) { return r.font == cell_font; });
  if (all_plain) out.clear();
  runs.swap(out);
}

// Applies font changes to characters of a text cell, in order: the runs live in a map from first
// character to font while the edits split and change them, so each edit costs only the runs it
// covers.
void EditRunsTogether(Worksheet& sheet, int32_t row, int32_t col,
                      const std::vector<CharacterEdits::Edit>& edits) {
  const uint32_t length = static_cast<uint32_t>(Utf8Length(sheet.TextView(row, col)));
  if (length == 0) return;
  const Font& cell_font = sheet.StyleAt(row, col).font;
  const CellExtra* existing = sheet.Extra(row, col);
  std::map<uint32_t, Font> fonts;  // each font runs up to the next key, the last one to the end
  for (TextRun& r :
       Coverage(existing ? existing->runs : std::vector<TextRun>{}, cell_font, length)) {
    fonts.emplace_hint(fonts.end(), r.start, std::move(r.font));
  }
  // The entry starting at `at`, splitting the one that covers it; end() at the text's end.
  auto split_at = [&](uint32_t at) {
    if (at >= length) return fonts.end();
    const auto it = std::prev(fonts.upper_bound(at));
    return it->first == at ? it : fonts.emplace_hint(std::next(it), at, it->second);
  };
  bool changed = false;
  for (const CharacterEdits::Edit& edit : edits) {
    if (edit.start >= length) continue;
    const uint32_t end =
        edit.length == std::numeric_limits<uint32_t>::max()
            ? length
            : static_cast<uint32_t>(std::min<uint64_t>(uint64_t{edit.start} + edit.length, length));
    if (end <= edit.start) continue;
    const auto first = split_at(edit.start);
    const auto last = split_at(end);
    for (auto it = first; it != last; ++it) edit.change(it->second);
    changed = true;
  }
  if (!changed) return;
  std::vector<TextRun> runs;
  runs.reserve(fonts.size());
  for (auto it = fonts.begin(); it != fonts.end(); ++it) {
    const uint32_t next = std::next(it) == fonts.end() ? length : std::next(it)->first;
    runs.push_back({it->first, next - it->first, std::move(it->second)});
  }
  Normalize(runs, cell_font);
  if (runs.empty() && (!existing || existing->runs.empty())) return;
  sheet.ObtainExtra(row, col).runs = std::move(runs);
  sheet.PruneExtra(row, col);
}

// After a cell-level font change, the same change on every run of the cell.
void EditAllRuns(Worksheet& sheet, int32_t row, int32_t col,
                 const std::function<void(Font&)>& change) {
  const CellExtra* e = sheet.Extra(row, col);
  if (!e || e->runs.empty()) return;
  CellExtra& extra = sheet.ObtainExtra(row, col);
  for (TextRun& r : extra.runs) change(r.font);
  Normalize(extra.runs, sheet.StyleAt(row, col).font);
  sheet.PruneExtra(row, col);
}

// --- Borders ---

int SlotFor(int index) {
  switch (index) {
    case kXlDiagonalDown:
      return kDiagonalDown;
    case kXlDiagonalUp:
      return kDiagonalUp;
    case kXlEdgeLeft:
      return kLeft;
    case kXlEdgeTop:
      return kTop;
    case kXlEdgeBottom:
      return kBottom;
    case kXlEdgeRight:
      return kRight;
  }
  return -1;
}

bool ValidLineStyle(int v) {
  return v == kXlContinuous || v == kXlDash || v == kXlDashDot || v == kXlDashDotDot ||
         v == kXlDot || v == kXlDouble || v == kXlSlantDashDot || v == kXlNone;
}

bool ValidWeight(int v) {
  return v == kXlHairline || v == kXlThin || v == kXlMedium || v == kXlThick;
}
bool ValidColorIndex(int v) { return v == kXlAutomatic || v == kXlNone || (v >= 1 && v <= 56); }

}  // namespace

// --- Alignment and the other cell formats ---

int Range::HorizontalAlignment() const { return FirstStyle(*this).horizontal; }

void Range::SetHorizontalAlignment(int value) const {
  if (value != kXlGeneral && value != kXlLeft && value != kXlCenter && value != kXlRight &&
      value != kXlFill && value != kXlJustify && value != kXlCenterAcrossSelection &&
      value != kXlDistributed) {
    Refuse("HorizontalAlignment", std::to_string(value));
  }
  ApplySimple(*this, [value](Style& s) { s.horizontal = value; });
}

int Range::VerticalAlignment() const { return FirstStyle(*this).vertical; }

void Range::SetVerticalAlignment(int value) const {
  if (value != kXlTop && value != kXlCenter && value != kXlBottom && value != kXlJustify &&
      value != kXlDistributed) {
    Refuse("VerticalAlignment", std::to_string(value));
  }
  ApplySimple(*this, [value](Style& s) { s.vertical = value; });
}

bool Range::WrapText() const { return FirstStyle(*this).wrap; }
void Range::SetWrapText(bool on) const {
  ApplySimple(*this, [on](Style& s) { s.wrap = on; });
}
bool Range::ShrinkToFit() const { return FirstStyle(*this).shrink; }
void Range::SetShrinkToFit(bool on) const {
  ApplySimple(*this, [on](Style& s) { s.shrink = on; });
}
bool Range::AddIndent() const { return FirstStyle(*this).add_indent; }
void Range::SetAddIndent(bool on) const {
  ApplySimple(*this, [on](Style& s) { s.add_indent = on; });
}
int Range::IndentLevel() const { return FirstStyle(*this).indent; }

void Range::SetIndentLevel(int level) const {
  if (level < 0 || level > 15) Refuse("IndentLevel", std::to_string(level));
  ApplySimple(*this, [level](Style& s) { s.indent = level; });
}

int Range::Orientation() const {
  const int o = FirstStyle(*this).orientation;
  if (o == 0) return kXlHorizontal;
  if (o == 90) return kXlUpward;
  if (o == -90) return kXlDownward;
  return o;
}

void Range::SetOrientation(int value) const {
  int stored;
  if (value == kXlHorizontal) {
    stored = 0;
  } else if (value == kXlUpward) {
    stored = 90;
  } else if (value == kXlDownward) {
    stored = -90;
  } else if (value == kXlVertical || (value >= -90 && value <= 90)) {
    stored = value;
  } else {
    Refuse("Orientation", std::to_string(value));
  }
  ApplySimple(*this, [stored](Style& s) { s.orientation = stored; });
}

bool Range::MergeCells() const {
  for (const Area& m : sheet_->merges()) {
    if (m.Contains(Row(), Column())) return true;
  }
  return false;
}

void Range::SetMergeCells(bool on) const {
  sheet_->CheckWritable();
  sheet_->NoteChange();
  std::vector<Area>& merges = sheet_->merges();
  for (const Area& a : areas_) {
    merges.erase(std::remove_if(merges.begin(), merges.end(),
                                [&](const Area& m) { return m.Intersects(a); }),
                 merges.end());
    if (on && a.CellCount() > 1) merges.push_back(a);
  }
}

std::string Range::NumberFormat() const { return FirstStyle(*this).number_format; }

void Range::SetNumberFormat(std::string_view code) const {
  std::string value = code.empty() ? std::string("General") : std::string(code);
  ApplySimple(*this, [&value](Style& s) { s.number_format = value; });
}

std::string Range::NumberFormatLocal() const { return NumberFormatToLocal(NumberFormat()); }
void Range::SetNumberFormatLocal(std::string_view code) const {
  SetNumberFormat(NumberFormatFromLocal(code));
}

namespace {

// Replaces `from` by `to` where it stands outside double quotes, ignoring ASCII case of `from`.
std::string ReplaceOutsideQuotes(std::string_view code, std::string_view from,
                                 std::string_view to) {
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < code.size();) {
    const char c = code[i];
    if (c == '"') quoted = !quoted;
    if (c == '\\' && !quoted && i + 1 < code.size()) {
      out.append(code.substr(i, 2));
      i += 2;
      continue;
    }
    if (!quoted && code.size() - i >= from.size()) {
      bool match = true;
      for (size_t k = 0; k < from.size() && match; ++k) {
        char x = code[i + k], y = from[k];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        match = x == y;
      }
      if (match) {
        out.append(to);
        i += from.size();
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace

std::string NumberFormatToLocal(std::string_view code) {
  return ReplaceOutsideQuotes(code, "General", "G/標準");
}
std::string NumberFormatFromLocal(std::string_view code) {
  return ReplaceOutsideQuotes(code, "G/標準", "General");
}

// --- Borders ---

RangeBorder Range::Borders(int index) const {
  if (index < kXlDiagonalDown || index > kXlInsideHorizontal) {
    throw HostError(kErrSubscriptOutOfRange, "Subscript out of range: Borders(" +
                                                 std::to_string(index) + ") takes 5 to 12.");
  }
  return RangeBorder(*this, index);
}

const BorderLine& RangeBorder::Line() const {
  static const BorderLine kNoLine;
  const Area& a = range_.first_area();
  const Worksheet& sheet = range_.sheet();
  switch (index_) {
    case kXlEdgeBottom:
      return sheet.StyleAt(a.bottom, a.left).borders[kBottom];
    case kXlEdgeRight:
      return sheet.StyleAt(a.top, a.right).borders[kRight];
    case kXlInsideVertical:
      return a.Columns() > 1 ? sheet.StyleAt(a.top, a.left).borders[kRight] : kNoLine;
    case kXlInsideHorizontal:
      return a.Rows() > 1 ? sheet.StyleAt(a.top, a.left).borders[kBottom] : kNoLine;
  }
  return sheet.StyleAt(a.top, a.left).borders[SlotFor(index_)];
}

int RangeBorder::LineStyle() const { return Line().line_style; }
int RangeBorder::Weight() const { return Line().weight; }
int RangeBorder::ColorIndex() const { return Line().color_index; }

void RangeBorder::Edit(const std::function<void(BorderLine&)>& change) const {
  const int index = index_;
  StyleEdit edit;
  edit.positional = index >= kXlEdgeLeft;
  edit.apply = [&](Style& s, uint8_t edges) {
    auto& b = s.borders;
    switch (index) {
      case kXlDiagonalDown:
      case kXlDiagonalUp:
        change(b[SlotFor(index)]);
        break;
      case kXlEdgeLeft:
        if (edges & kAtLeft) change(b[kLeft]);
        break;
      case kXlEdgeTop:
        if (edges & kAtTop) change(b[kTop]);
        break;
      case kXlEdgeBottom:
        if (edges & kAtBottom) change(b[kBottom]);
        break;
      case kXlEdgeRight:
        if (edges & kAtRight) change(b[kRight]);
        break;
      case kXlInsideVertical:
        if (!(edges & kAtRight)) change(b[kRight]);
        if (!(edges & kAtLeft)) change(b[kLeft]);
        break;
      case kXlInsideHorizontal:
        if (!(edges & kAtBottom)) change(b[kBottom]);
        if (!(edges & kAtTop)) change(b[kTop]);
        break;
    }
  };
  Apply(range_, std::move(edit));
}

void RangeBorder::SetLineStyle(int style) const {
  if (!ValidLineStyle(style)) Refuse("LineStyle", std::to_string(style));
  Edit([style](BorderLine& b) {
    if (style == kXlNone) {
      b = BorderLine{};  // a removed line keeps nothing, so styles stay shared
    } else {
      b.line_style = style;
    }
  });
}

void RangeBorder::SetWeight(int weight) const {
  if (!ValidWeight(weight)) Refuse("Weight", std::to_string(weight));
  Edit([weight](BorderLine& b) {
    if (!b.IsSet()) b.line_style = kXlContinuous;
    b.weight = weight;
  });
}

void RangeBorder::SetColorIndex(int index) const {
  if (!ValidColorIndex(index)) Refuse("ColorIndex", std::to_string(index));
  Edit([index](BorderLine& b) {
    if (!b.IsSet()) b.line_style = kXlContinuous;
    b.color_index = index == kXlNone ? kXlAutomatic : index;
    b.file_color.reset();
  });
}

// --- Fonts ---

RangeFont Range::Font() const { return RangeFont(*this, 0, 0, false); }

RangeCharacters Range::Characters(int64_t start, int64_t length) const {
  if (start < 1) {
    throw HostError(kErrInvalidProcedureCall,
                    "Invalid procedure call or argument: Characters start " +
                        std::to_string(start) + " must be 1 or more.");
  }
  const uint32_t count = length < 0
                             ? std::numeric_limits<uint32_t>::max()
                             : static_cast<uint32_t>(std::min<int64_t>(length, UINT32_MAX - 1));
  return RangeCharacters(*this, static_cast<uint32_t>(std::min<int64_t>(start - 1, UINT32_MAX - 1)),
                         count);
}

std::string RangeCharacters::Text() const {
  const std::string_view text = range_.sheet().TextView(range_.Row(), range_.Column());
  return Utf8Mid(text, size_t{start_} + 1, length_);
}

RangeFont RangeCharacters::Font() const { return RangeFont(range_, start_, length_, true); }

host::Font RangeFont::Get() const {
  const Worksheet& sheet = range_.sheet();
  const int32_t row = range_.Row(), col = range_.Column();
  const host::Font& cell_font = sheet.StyleAt(row, col).font;
  if (!characters_) return cell_font;
  const CellExtra* e = sheet.Extra(row, col);
  if (e) {
    for (const TextRun& r : e->runs) {
      if (start_ >= r.start && start_ < r.start + r.length) return r.font;
    }
  }
  return cell_font;
}

void RangeFont::Edit(const std::function<void(host::Font&)>& change) const {
  Worksheet& sheet = range_.sheet();
  if (!characters_) {
    StyleEdit edit;
    edit.apply = [&](Style& s, uint8_t) { change(s.font); };
    edit.on_extra_cell = [&](int32_t row, int32_t col) { EditAllRuns(sheet, row, col, change); };
    Apply(range_, std::move(edit));
    return;
  }
  sheet.CheckWritable();
  if (gather_ != nullptr) {
    gather_->edits_.push_back({start_, length_, change});
    return;
  }
  CharacterEdits one;
  one.edits_.push_back({start_, length_, change});
  range_.ApplyCharacterEdits(one);
}

RangeFont RangeFont::GatherInto(CharacterEdits& edits) const {
  RangeFont copy = *this;
  copy.gather_ = &edits;
  return copy;
}

void Range::ApplyCharacterEdits(const CharacterEdits& edits) const {
  Worksheet& sheet = *sheet_;
  sheet.CheckWritable();
  if (edits.empty()) return;
  // Characters of each stored cell: runs of text cells, the cell font of the others.
  std::vector<CellRef> text_cells, other_cells;
  for (const Area& a : areas()) {
    sheet.cells().ForEachCell(a, [&](int32_t r, const Cell& c) {
      (c.type == ValueType::kText ? text_cells : other_cells).push_back({r, c.col});
    });
  }
  if (IsSingleCell() && text_cells.empty() && other_cells.empty()) {
    other_cells.push_back({Row(), Column()});
  }
  for (const CellRef& ref : text_cells) EditRunsTogether(sheet, ref.row, ref.col, edits.edits_);
  if (other_cells.empty()) return;
  for (const CharacterEdits::Edit& e : edits.edits_) {
    StyleEdit edit;
    edit.apply = [&](Style& s, uint8_t) { e.change(s.font); };
    StyleMapper mapper(sheet.styles(), edit);
    for (const CellRef& ref : other_cells) {
      const StyleId old_id = sheet.EffectiveStyle(ref.row, ref.col);
      const StyleId new_id = mapper.Map(old_id, 0);
      if (new_id != old_id) sheet.SetStyle(ref.row, ref.col, new_id);
    }
  }
}

std::string RangeFont::Name() const { return Get().name; }

void RangeFont::SetName(std::string_view name) const {
  if (name.empty()) Refuse("Name", "\"\"");
  std::string value(name);
  Edit([value](host::Font& f) {
    if (f.name != value) {
      f.name = value;
      f.file_extras.reset();  // the family and charset of the old face do not fit the new one
    }
  });
}

std::string RangeFont::FontStyle() const { return Get().FontStyle(); }

void RangeFont::SetFontStyle(std::string_view style) const {
  host::Font probe;
  if (!probe.SetFontStyle(style)) Refuse("FontStyle", "\"" + std::string(style) + "\"");
  Edit([style = std::string(style)](host::Font& f) { f.SetFontStyle(style); });
}

double RangeFont::Size() const { return Get().size; }

void RangeFont::SetSize(double points) const {
  if (!(points >= 1 && points <= 409)) Refuse("Size", NumberToText(points));
  Edit([points](host::Font& f) { f.size = points; });
}

bool RangeFont::Bold() const { return Get().bold; }
void RangeFont::SetBold(bool on) const {
  Edit([on](host::Font& f) { f.bold = on; });
}
bool RangeFont::Italic() const { return Get().italic; }
void RangeFont::SetItalic(bool on) const {
  Edit([on](host::Font& f) { f.italic = on; });
}
bool RangeFont::Strikethrough() const { return Get().strikethrough; }
void RangeFont::SetStrikethrough(bool on) const {
  Edit([on](host::Font& f) { f.strikethrough = on; });
}
bool RangeFont::Superscript() const { return Get().superscript; }

void RangeFont::SetSuperscript(bool on) const {
  Edit([on](host::Font& f) {
    f.superscript = on;
    if (on) f.subscript = false;
  });
}

bool RangeFont::Subscript() const { return Get().subscript; }

void RangeFont::SetSubscript(bool on) const {
  Edit([on](host::Font& f) {
    f.subscript = on;
    if (on) f.superscript = false;
  });
}

bool RangeFont::OutlineFont() const { return Get().outline; }
void RangeFont::SetOutlineFont(bool on) const {
  Edit([on](host::Font& f) { f.outline = on; });
}
bool RangeFont::Shadow() const { return Get().shadow; }
void RangeFont::SetShadow(bool on) const {
  Edit([on](host::Font& f) { f.shadow = on; });
}
int RangeFont::Underline() const { return Get().underline; }

void RangeFont::SetUnderline(int style) const {
  if (style != kXlUnderlineStyleNone && style != kXlUnderlineStyleSingle &&
      style != kXlUnderlineStyleDouble && style != kXlUnderlineStyleSingleAccounting &&
      style != kXlUnderlineStyleDoubleAccounting) {
    Refuse("Underline", std::to_string(style));
  }
  Edit([style](host::Font& f) { f.underline = style; });
}

int RangeFont::ColorIndex() const { return Get().color_index; }

void RangeFont::SetColorIndex(int index) const {
  if (!ValidColorIndex(index)) Refuse("ColorIndex", std::to_string(index));
  Edit([index](host::Font& f) { f.color_index = index == kXlNone ? kXlAutomatic : index; });
}

}  // namespace tessarin::host
