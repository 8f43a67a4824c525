// Clipboard: snapshot and paste of a rectangle of cells across sheets and workbooks.
#include "core/host/clipboard.h"

#include <algorithm>
#include <unordered_map>

#include "core/host/address.h"
#include "core/host/formula_refs.h"
#include "core/host/host_error.h"
#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

// Past this many positions an empty position's row/column format is not copied cell by cell;
// such pastes (whole columns) carry stored cells only.
constexpr int64_t kMaxFilledPositions = 16 * 1024 * 1024;

class Palette {
 public:
  Palette(const StylePool& pool, std::vector<Style>& styles) : pool_(pool), styles_(styles) {
    Index(kDefaultStyle);
  }
  uint32_t Index(StyleId id) {
    auto [it, added] = map_.try_emplace(id, static_cast<uint32_t>(styles_.size()));
    if (added) styles_.push_back(pool_.Get(id));
    return it->second;
  }

 private:
  const StylePool& pool_;
  std::vector<Style>& styles_;
  std::unordered_map<StyleId, uint32_t> map_;
};

}  // namespace

ClipboardData CopyCells(const Worksheet& sheet, const Area& area) {
  ClipboardData data;
  data.source = area;
  data.source_sheet = sheet.name();
  Palette palette(sheet.workbook().styles(), data.styles);
  data.row_styles.assign(area.Rows(), -1);
  data.column_styles.assign(area.Columns(), -1);
  sheet.cells().ForEachRow(area.top, area.bottom, [&](int32_t r, const RowData& rd) {
    if (rd.has_style) data.row_styles[r - area.top] = static_cast<int32_t>(palette.Index(rd.style));
  });
  for (int32_t c = area.left; c <= std::min(area.right, sheet.MaxColumnInfo()); ++c) {
    const ColumnInfo* ci = sheet.Column(c);
    if (ci && ci->has_style)
      data.column_styles[c - area.left] = static_cast<int32_t>(palette.Index(ci->style));
  }
  sheet.cells().ForEachCell(area, [&](int32_t r, const Cell& c) {
    ClipboardData::Entry e;
    e.row = r - area.top;
    e.col = c.col - area.left;
    e.value = sheet.Value(r, c.col);
    e.style = palette.Index(c.style);
    if (const CellExtra* extra = sheet.Extra(r, c.col)) {
      e.extra = *extra;
      // Formulas travel in R1C1 form so relative references follow the paste.
      if (!e.extra->formula.empty()) e.extra->formula = FormulaA1ToR1C1(e.extra->formula, r, c.col);
    }
    data.entries.push_back(std::move(e));
  });
  for (const Area& m : sheet.merges()) {
    if (m.top >= area.top && m.bottom <= area.bottom && m.left >= area.left &&
        m.right <= area.right) {
      data.merges.push_back(
          {m.top - area.top, m.left - area.left, m.bottom - area.top, m.right - area.left});
    }
  }
  return data;
}

namespace {

// The area the copied cells cover at `top_left`; HostError 1004 when it leaves the sheet.
Area PasteDestination(const ClipboardData& data, CellRef top_left) {
  const int64_t bottom = int64_t{top_left.row} + data.Rows() - 1;
  const int64_t right = int64_t{top_left.col} + data.Columns() - 1;
  if (!IsValidCell(top_left.row, top_left.col) || !IsValidCell(bottom, right)) {
    throw HostError(kErrApplicationDefined,
                    "Paste failed: the copied area does not fit on the sheet at " +
                        FormatA1(Area::Cell(top_left.row, top_left.col)) + ".");
  }
  return {top_left.row, top_left.col, static_cast<int32_t>(bottom), static_cast<int32_t>(right)};
}

// Everything of the destination goes first, comments and merges touching it included, as a
// paste of everything does.
void ClearDestination(Worksheet& sheet, const Area& dest) {
  std::vector<Area>& merges = sheet.merges();
  merges.erase(std::remove_if(merges.begin(), merges.end(),
                              [&](const Area& m) { return m.Intersects(dest); }),
               merges.end());
  std::vector<CellRef> with_extra;
  sheet.cells().ForEachCell(dest, [&](int32_t r, Cell& c) {
    if (c.has_extra()) with_extra.push_back({r, c.col});
  });
  for (const CellRef& ref : with_extra) {
    sheet.ObtainExtra(ref.row, ref.col) = CellExtra{};
    sheet.PruneExtra(ref.row, ref.col);
  }
  sheet.cells().ForEachRow(dest.top, dest.bottom, [&](int32_t, RowData& rd) {
    auto first = LowerBoundCol(rd.cells, dest.left);
    auto last = first;
    while (last != rd.cells.end() && last->col <= dest.right) ++last;
    rd.cells.erase(first, last);
  });
}

// Whether the empty positions of the destination must be given the copied area's background
// style: when the copy or the destination has a row, column or sheet style to carry or undo.
// Past kMaxFilledPositions they are left, so a whole-column paste stays affordable.
bool FillsEmptyPositions(const ClipboardData& data, const std::vector<StyleId>& ids,
                         const Worksheet& sheet, const Area& dest) {
  if (dest.CellCount() > kMaxFilledPositions) return false;
  bool fill_empty = ids[0] != kDefaultStyle;
  for (int32_t v : data.row_styles) fill_empty |= v >= 0;
  for (int32_t v : data.column_styles) fill_empty |= v >= 0;
  if (fill_empty) return true;
  sheet.cells().ForEachRow(dest.top, dest.bottom,
                           [&](int32_t, const RowData& rd) { fill_empty |= rd.has_style; });
  for (int32_t c = dest.left; c <= std::min(dest.right, sheet.MaxColumnInfo()) && !fill_empty;
       ++c) {
    const ColumnInfo* ci = sheet.Column(c);
    fill_empty = ci && ci->has_style;
  }
  return fill_empty;
}

// Writes one copied cell at (r, c): value, style and extras, formulas back in A1 form.
void PasteEntry(const ClipboardData::Entry& e, StyleId style, Worksheet& sheet, int32_t r,
                int32_t c) {
  sheet.SetValue(r, c, e.value);
  sheet.SetStyle(r, c, style);
  if (e.extra) {
    CellExtra& extra = sheet.ObtainExtra(r, c);
    extra = *e.extra;
    if (!extra.formula.empty()) extra.formula = FormulaR1C1ToA1(extra.formula, r, c);
    sheet.PruneExtra(r, c);
  }
}

}  // namespace

Area PasteCells(const ClipboardData& data, Worksheet& sheet, CellRef top_left) {
  sheet.CheckWritable();
  sheet.NoteChange();  // merges and cells are rewritten in place
  const Area dest = PasteDestination(data, top_left);
  std::vector<StyleId> ids(data.styles.size());
  for (size_t i = 0; i < data.styles.size(); ++i) ids[i] = sheet.styles().Intern(data.styles[i]);
  ClearDestination(sheet, dest);

  const auto source_background = [&](int32_t rr, int32_t cc) -> StyleId {
    int32_t idx = data.row_styles[rr];
    if (idx < 0) idx = data.column_styles[cc];
    return ids[idx < 0 ? 0 : idx];
  };
  const bool fill_empty = FillsEmptyPositions(data, ids, sheet, dest);
  size_t next = 0;
  for (int32_t rr = 0; rr < data.Rows() && (fill_empty || next < data.entries.size()); ++rr) {
    const int32_t r = dest.top + rr;
    for (int32_t cc = 0; cc < data.Columns(); ++cc) {
      const int32_t c = dest.left + cc;
      const bool stored = next < data.entries.size() && data.entries[next].row == rr &&
                          data.entries[next].col == cc;
      if (stored) {
        const ClipboardData::Entry& e = data.entries[next++];
        PasteEntry(e, ids[e.style], sheet, r, c);
      } else if (fill_empty) {
        const StyleId want = source_background(rr, cc);
        if (want != sheet.EffectiveStyle(r, c)) sheet.SetStyle(r, c, want);
      } else if (next < data.entries.size() && data.entries[next].row == rr) {
        cc = data.entries[next].col - 1;  // jump to the next stored cell of this row
      } else {
        break;
      }
    }
  }
  for (const Area& m : data.merges) {
    sheet.merges().push_back(
        {dest.top + m.top, dest.left + m.left, dest.top + m.bottom, dest.left + m.right});
  }
  return dest;
}

}  // namespace tessarin::host
