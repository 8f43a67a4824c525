// Copy-on-write format edits: row, column and cell formats kept consistent with what the host
// shows, touching only what changes.
#include "core/host/style_edit.h"

#include <algorithm>
#include <unordered_map>

#include "core/host/worksheet.h"

namespace tessarin::host {
namespace {

const std::vector<int32_t> kNoColumns;

uint8_t ColEdges(const Area& a, int32_t col) {
  return (col == a.left ? kAtLeft : 0) | (col == a.right ? kAtRight : 0);
}

uint8_t RowEdges(const Area& a, int32_t row) {
  return (row == a.top ? kAtTop : 0) | (row == a.bottom ? kAtBottom : 0);
}

StyleId ColumnStyle(const Worksheet& sheet, int32_t col) {
  const ColumnInfo* ci = sheet.Column(col);
  return (ci && ci->has_style) ? ci->style : kDefaultStyle;
}

// Merges new cells (sorted by column, none present yet) into a row.
void InsertCells(RowData& rd, std::vector<Cell>& inserts) {
  if (inserts.empty()) return;
  if (rd.cells.empty() || rd.cells.back().col < inserts.front().col) {
    rd.cells.insert(rd.cells.end(), inserts.begin(), inserts.end());
  } else {
    std::vector<Cell> merged;
    merged.reserve(rd.cells.size() + inserts.size());
    std::merge(rd.cells.begin(), rd.cells.end(), inserts.begin(), inserts.end(),
               std::back_inserter(merged),
               [](const Cell& a, const Cell& b) { return a.col < b.col; });
    rd.cells.swap(merged);
  }
  inserts.clear();
}

// Edits the stored cells of one row inside [left, right] and adds cells at empty positions
// whose edited style differs from what the row/column formats will give them afterwards.
// `old_bg(col)` is an empty position's style before the edit, `new_bg(col)` after it. Empty
// positions looked at: every column of the area when `empty_cols` is null, else only those
// (sorted) columns.
template <typename OldBg, typename NewBg>
void EditRow(Worksheet& sheet, int32_t row, const Area& area, StyleMapper& mapper,
             const StyleEdit& edit, OldBg old_bg, NewBg new_bg,
             const std::vector<int32_t>* empty_cols, std::vector<Cell>& inserts) {
  CellStore& store = sheet.cells();
  const uint8_t redges = RowEdges(area, row);
  auto consider_empty = [&](int32_t c) {
    const StyleId new_id = mapper.Map(old_bg(c), redges | ColEdges(area, c));
    if (new_id != new_bg(c)) {
      Cell cell;
      cell.col = static_cast<uint16_t>(c);
      cell.style = new_id;
      inserts.push_back(cell);
    }
  };
  RowData* rd = store.FindRow(row);
  std::vector<Cell>* cells = rd ? &rd->cells : nullptr;
  size_t i = cells ? static_cast<size_t>(LowerBoundCol(*cells, area.left) - cells->begin()) : 0;
  int32_t next = area.left;  // first column not yet looked at
  while (cells && i < cells->size() && (*cells)[i].col <= area.right) {
    Cell& cell = (*cells)[i];
    if (!empty_cols) {
      for (int32_t c = next; c < cell.col; ++c) consider_empty(c);
    }
    cell.style = mapper.Map(cell.style, redges | ColEdges(area, cell.col));
    // on_extra_cell may not add or remove cells of this row, so `cells` stays valid.
    if (cell.has_extra() && edit.on_extra_cell) edit.on_extra_cell(row, cell.col);
    next = cell.col + 1;
    ++i;
  }
  if (!empty_cols) {
    for (int32_t c = next; c <= area.right; ++c) consider_empty(c);
  } else {
    for (int32_t c : *empty_cols) {
      if (c < area.left || c > area.right) continue;
      if (cells) {
        auto it = LowerBoundCol(*cells, c);
        if (it != cells->end() && it->col == c) continue;
      }
      consider_empty(c);
    }
  }
  if (!inserts.empty()) InsertCells(store.ObtainRow(row), inserts);
}

void EditPlainArea(Worksheet& sheet, const Area& area, StyleMapper& mapper, const StyleEdit& edit) {
  const int32_t width = area.Columns();
  std::vector<StyleId> col_bg(width);
  for (int32_t c = area.left; c <= area.right; ++c) col_bg[c - area.left] = ColumnStyle(sheet, c);
  // Whether an empty, unformatted row would change at all, per row-edge combination.
  int8_t empty_row_changes[16];
  std::fill(std::begin(empty_row_changes), std::end(empty_row_changes), -1);
  auto empty_changes = [&](uint8_t redges) {
    int8_t& known = empty_row_changes[redges];
    if (known < 0) {
      known = 0;
      for (int32_t c = area.left; c <= area.right && !known; ++c) {
        const StyleId bg = col_bg[c - area.left];
        if (mapper.Map(bg, redges | ColEdges(area, c)) != bg) known = 1;
      }
    }
    return known == 1;
  };
  std::vector<Cell> inserts;
  const CellStore& store = sheet.cells();
  for (int32_t r = area.top; r <= area.bottom; ++r) {
    const RowData* rd = store.FindRow(r);
    const bool row_styled = rd && rd->has_style;
    if (!row_styled && (!rd || rd->cells.empty()) && !empty_changes(RowEdges(area, r))) continue;
    const StyleId row_style = row_styled ? rd->style : kDefaultStyle;
    auto bg = [&](int32_t c) { return row_styled ? row_style : col_bg[c - area.left]; };
    EditRow(sheet, r, area, mapper, edit, bg, bg, nullptr, inserts);
  }
}

// Whole rows that do not span the whole sheet: the rows' formats change, plus cells where a
// formatted column or an edge of the area needs its own format.
void EditWholeRows(Worksheet& sheet, const Area& area, StyleMapper& mapper, const StyleEdit& edit) {
  // A row without a format of its own starts from the format most columns share (normal, or
  // the whole sheet's after it was formatted); only columns formatted otherwise need cells.
  std::unordered_map<StyleId, int32_t> counts;
  counts[kDefaultStyle] = kMaxColumns - sheet.MaxColumnInfo();
  for (int32_t c = 1; c <= sheet.MaxColumnInfo(); ++c) ++counts[ColumnStyle(sheet, c)];
  StyleId base = kDefaultStyle;
  for (const auto& [id, n] : counts) {
    if (n > counts[base]) base = id;
  }
  std::vector<int32_t> special;  // columns whose empty positions differ from `base`
  for (int32_t c = 1; c <= kMaxColumns; ++c) {
    if (c > sheet.MaxColumnInfo() && base == kDefaultStyle) break;
    if (ColumnStyle(sheet, c) != base) special.push_back(c);
  }
  std::vector<int32_t> edges;
  if (edit.positional) {
    special.push_back(1);
    special.push_back(kMaxColumns);
    edges = {1, kMaxColumns};
  }
  std::sort(special.begin(), special.end());
  special.erase(std::unique(special.begin(), special.end()), special.end());
  std::vector<Cell> inserts;
  CellStore& store = sheet.cells();
  for (int32_t r = area.top; r <= area.bottom; ++r) {
    RowData* rd = store.FindRow(r);
    const bool had_style = rd && rd->has_style;
    const StyleId old_row = had_style ? rd->style : base;
    const StyleId new_row = mapper.Map(old_row, RowEdges(area, r));
    const bool has_style = had_style || new_row != base;
    auto old_bg = [&](int32_t c) { return had_style ? old_row : ColumnStyle(sheet, c); };
    auto new_bg = [&](int32_t c) { return has_style ? new_row : ColumnStyle(sheet, c); };
    // Under a row format every column looked alike before, so only the edges can differ.
    const std::vector<int32_t>& check = had_style ? edges : special;
    if (!rd && !has_style) {
      bool any = false;
      for (int32_t c : check) {
        if (mapper.Map(old_bg(c), RowEdges(area, r) | ColEdges(area, c)) != new_bg(c)) any = true;
      }
      if (!any) continue;
    }
    if (has_style) {
      RowData& row = store.ObtainRow(r);
      row.has_style = true;
      row.style = new_row;
    }
    if (check.empty() && !(rd && !rd->cells.empty())) continue;
    EditRow(sheet, r, area, mapper, edit, old_bg, new_bg, &check, inserts);
  }
}

// Whole columns, the whole sheet included: the columns' formats change; formatted rows (and the
// edge rows of a positional edit) get cells where the row format would hide the change.
void EditWholeColumns(Worksheet& sheet, const Area& area, StyleMapper& mapper,
                      const StyleEdit& edit) {
  const bool whole_sheet = area.IsWholeRows();
  const int32_t width = area.Columns();
  std::vector<StyleId> old_col(width), new_col(width);
  for (int32_t c = area.left; c <= area.right; ++c) {
    const StyleId old_id = ColumnStyle(sheet, c);
    const StyleId new_id = mapper.Map(old_id, ColEdges(area, c));
    old_col[c - area.left] = old_id;
    new_col[c - area.left] = new_id;
    if (new_id != old_id) {
      ColumnInfo& ci = sheet.ObtainColumn(c);
      ci.style = new_id;
      ci.has_style = true;
    }
  }
  std::vector<int32_t> rows;
  sheet.cells().ForEachRow(1, kMaxRows, [&](int32_t r, RowData&) { rows.push_back(r); });
  if (edit.positional) {
    if (rows.empty() || rows.front() != 1) rows.insert(rows.begin(), 1);
    if (rows.back() != kMaxRows) rows.push_back(kMaxRows);
  }
  const std::vector<int32_t> edge_cols = {area.left, area.right};
  std::vector<Cell> inserts;
  for (int32_t r : rows) {
    RowData* rd = sheet.cells().FindRow(r);
    const bool row_styled = rd && rd->has_style;
    const uint8_t redges = RowEdges(area, r);
    if (whole_sheet && row_styled) {
      // The row format spans the whole width, so editing it covers the row's empty positions;
      // only the first and last column can differ, by their edges.
      const StyleId old_row = rd->style, new_row = mapper.Map(old_row, redges);
      rd->style = new_row;
      EditRow(
          sheet, r, area, mapper, edit, [old_row](int32_t) { return old_row; },
          [new_row](int32_t) { return new_row; }, edit.positional ? &edge_cols : &kNoColumns,
          inserts);
      continue;
    }
    bool visit = false;
    if (row_styled) {
      // Only a change that shows in this row needs cells under its format.
      for (uint8_t cedges :
           {uint8_t{0}, uint8_t{kAtLeft}, uint8_t{kAtRight}, uint8_t{kAtLeft | kAtRight}}) {
        visit = visit || mapper.Map(rd->style, redges | cedges) != rd->style;
      }
    } else {
      visit = edit.positional && redges != 0;
    }
    const StyleId row_style = row_styled ? rd->style : kDefaultStyle;
    auto old_bg = [&](int32_t c) { return row_styled ? row_style : old_col[c - area.left]; };
    auto new_bg = [&](int32_t c) { return row_styled ? row_style : new_col[c - area.left]; };
    EditRow(sheet, r, area, mapper, edit, old_bg, new_bg, visit ? nullptr : &kNoColumns, inserts);
  }
}

}  // namespace

StyleId StyleMapper::Map(StyleId old_id, uint8_t edges) {
  if (!edit_.positional) edges = 0;
  const size_t key = static_cast<size_t>(old_id) * 16 + edges;
  if (key >= cache_.size()) cache_.resize(std::max(key + 1, (pool_.size() + 16) * 16), kUnset);
  if (cache_[key] != kUnset) return cache_[key];
  Style style = pool_.Get(old_id);
  edit_.apply(style, edges);
  const StyleId id = pool_.Intern(style);
  cache_[key] = id;
  return id;
}

void ApplyStyleEdit(Worksheet& sheet, const Area& area, StyleMapper& mapper,
                    const StyleEdit& edit) {
  if (area.IsWholeColumns()) {
    EditWholeColumns(sheet, area, mapper, edit);
  } else if (area.IsWholeRows()) {
    EditWholeRows(sheet, area, mapper, edit);
  } else {
    EditPlainArea(sheet, area, mapper, edit);
  }
}

}  // namespace tessarin::host
