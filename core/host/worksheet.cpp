// Worksheet: primitive edits over the cell store.
#include "core/host/worksheet.h"

#include <algorithm>

#include "core/host/host_error.h"
#include "core/host/workbook.h"

namespace tessarin::host {

Worksheet::Worksheet(Workbook* workbook, std::string name)
    : workbook_(workbook), name_(std::move(name)) {}

Worksheet::~Worksheet() = default;

void Worksheet::NoteChange() {
  if (workbook_ != nullptr) workbook_->NoteChange();
}

StringPool& Worksheet::strings() const { return workbook_->strings(); }
StylePool& Worksheet::styles() const { return workbook_->styles(); }

void Worksheet::CheckWritable() const {
  if (protected_) {
    throw HostError(
        kErrApplicationDefined,
        "The cell or chart you're trying to change is on a protected sheet (" + name_ + ").");
  }
}

void Worksheet::CopyContentFrom(const Worksheet& other) {
  NoteChange();
  cells_ = CellStore();
  other.cells_.ForEachRow(1, kMaxRows,
                          [&](int32_t row, const RowData& data) { cells_.ObtainRow(row) = data; });
  extras_ = other.extras_;
  columns_ = other.columns_;
  merges_ = other.merges_;
  page_setup_ = other.page_setup_;
  row_breaks_ = other.row_breaks_;
  view_ = other.view_;
  view_.tab_selected = false;
  default_row_height_ = other.default_row_height_;
  default_column_width_ = other.default_column_width_;
  protected_ = other.protected_;
}

CellValue Worksheet::Value(int32_t row, int32_t col) const {
  const Cell* c = cells_.Find(row, col);
  if (!c) return {};
  switch (c->type) {
    case ValueType::kEmpty:
      return {};
    case ValueType::kNumber:
      return CellValue::Number(c->v.number);
    case ValueType::kText:
      return CellValue::Text(std::string(strings().Get(c->v.text)));
    case ValueType::kBoolean:
      return CellValue::Boolean(c->v.boolean);
    case ValueType::kError:
      return CellValue::Error(c->v.error);
  }
  return {};
}

std::string_view Worksheet::TextView(int32_t row, int32_t col) const {
  const Cell* c = cells_.Find(row, col);
  return (c && c->type == ValueType::kText) ? strings().Get(c->v.text) : std::string_view{};
}

StyleId Worksheet::EffectiveStyle(int32_t row, int32_t col) const {
  if (const RowData* rd = cells_.FindRow(row)) {
    if (!rd->cells.empty()) {
      auto& cells = const_cast<RowData*>(rd)->cells;
      auto it = LowerBoundCol(cells, col);
      if (it != cells.end() && it->col == col) return it->style;
    }
    if (rd->has_style) return rd->style;
  }
  if (const ColumnInfo* ci = Column(col); ci && ci->has_style) return ci->style;
  return kDefaultStyle;
}

Cell& Worksheet::WritableCell(int32_t row, int32_t col) {
  RowData& rd = cells_.ObtainRow(row);
  if (!rd.cells.empty()) {
    // Typing row by row appends; rewriting a cell finds it.
    if (rd.cells.back().col == col) return rd.cells.back();
    if (rd.cells.back().col > col) {
      auto it = LowerBoundCol(rd.cells, col);
      if (it->col == col) return *it;
    }
  }
  // A new cell starts with the format it showed while empty: its row's, else its column's.
  StyleId style = kDefaultStyle;
  if (rd.has_style) {
    style = rd.style;
  } else if (const ColumnInfo* ci = Column(col); ci && ci->has_style) {
    style = ci->style;
  }
  return cells_.ObtainInRow(rd, row, col, style);
}

void Worksheet::SetValue(int32_t row, int32_t col, const CellValue& value) {
  switch (value.type) {
    case ValueType::kEmpty:
      ClearValue(row, col);
      return;
    case ValueType::kText:
      SetText(row, col, value.text);
      return;
    default:
      break;
  }
  NoteChange();
  Cell& c = WritableCell(row, col);
  if (c.has_extra()) {
    CellExtra& e = extras_[Key(row, col)];
    e.ClearContent();
    PruneExtra(row, col);
  }
  c.type = value.type;
  if (value.type == ValueType::kNumber) c.v.number = value.number;
  if (value.type == ValueType::kBoolean) c.v.boolean = value.boolean;
  if (value.type == ValueType::kError) c.v.error = value.error;
}

void Worksheet::SetNumber(int32_t row, int32_t col, double value) {
  SetValue(row, col, CellValue::Number(value));
}

void Worksheet::SetText(int32_t row, int32_t col, std::string_view text) {
  // The host keeps no empty text: a cell set to "" is empty, so it counts as blank everywhere.
  if (text.empty()) {
    ClearValue(row, col);
    return;
  }
  NoteChange();
  Cell& c = WritableCell(row, col);
  if (c.has_extra()) {
    CellExtra& e = extras_[Key(row, col)];
    e.ClearContent();
    PruneExtra(row, col);
  }
  c.type = ValueType::kText;
  c.v.text = strings().Intern(text);
}

void Worksheet::ClearValue(int32_t row, int32_t col) {
  Cell* c = cells_.Find(row, col);
  if (!c) return;
  NoteChange();
  c->type = ValueType::kEmpty;
  c->v.number = 0;
  if (c->has_extra()) {
    CellExtra& e = extras_[Key(row, col)];
    e.ClearContent();
    PruneExtra(row, col);
  }
}

void Worksheet::SetStyle(int32_t row, int32_t col, StyleId style) {
  NoteChange();
  cells_.Obtain(row, col, style).style = style;
}

const CellExtra* Worksheet::Extra(int32_t row, int32_t col) const {
  const Cell* c = cells_.Find(row, col);
  if (!c || !c->has_extra()) return nullptr;
  auto it = extras_.find(Key(row, col));
  return it == extras_.end() ? nullptr : &it->second;
}

CellExtra& Worksheet::ObtainExtra(int32_t row, int32_t col) {
  NoteChange();
  Cell& c = WritableCell(row, col);
  c.flags |= Cell::kHasExtra;
  return extras_[Key(row, col)];
}

void Worksheet::PruneExtra(int32_t row, int32_t col) {
  auto it = extras_.find(Key(row, col));
  if (it == extras_.end() || !it->second.Empty()) return;
  extras_.erase(it);
  if (Cell* c = cells_.Find(row, col)) c->flags &= ~Cell::kHasExtra;
}

size_t Worksheet::CommentCount() const {
  return static_cast<size_t>(std::count_if(extras_.begin(), extras_.end(), [](const auto& kv) {
    return kv.second.comment.has_value();
  }));
}

void Worksheet::DeleteAllComments() {
  std::vector<uint64_t> keys;
  for (auto& [key, extra] : extras_) {
    if (extra.comment) {
      extra.comment.reset();
      keys.push_back(key);
    }
  }
  if (!keys.empty()) NoteChange();
  for (uint64_t key : keys)
    PruneExtra(static_cast<int32_t>(key >> 16), static_cast<int32_t>(key & 0xFFFF));
}

double Worksheet::RowHeight(int32_t row) const {
  const RowData* rd = cells_.FindRow(row);
  return (rd && rd->height >= 0) ? rd->height : default_row_height_;
}

void Worksheet::SetRowHeight(int32_t row, double points) {
  NoteChange();
  cells_.ObtainRow(row).height = static_cast<float>(points);
}

const ColumnInfo* Worksheet::Column(int32_t col) const {
  return (col >= 1 && col <= static_cast<int32_t>(columns_.size())) ? &columns_[col - 1] : nullptr;
}

ColumnInfo& Worksheet::ObtainColumn(int32_t col) {
  NoteChange();
  if (col > static_cast<int32_t>(columns_.size())) columns_.resize(col);
  return columns_[col - 1];
}

double Worksheet::ColumnWidth(int32_t col) const {
  const ColumnInfo* ci = Column(col);
  return (ci && ci->width >= 0) ? ci->width : default_column_width_;
}

void Worksheet::SetColumnWidth(int32_t col, double width) { ObtainColumn(col).width = width; }

void Worksheet::AddRowBreak(int32_t row) {
  if (row < 2 || row > kMaxRows) return;
  const auto at = std::lower_bound(row_breaks_.begin(), row_breaks_.end(), row);
  if (at == row_breaks_.end() || *at != row) {
    row_breaks_.insert(at, row);
    NoteChange();
  }
}

void Worksheet::ClearRowBreaks() {
  if (row_breaks_.empty()) return;
  row_breaks_.clear();
  NoteChange();
}

Area Worksheet::UsedArea() const {
  Area a{kMaxRows + 1, kMaxColumns + 1, 0, 0};
  cells_.ForEachRow(1, kMaxRows, [&](int32_t r, const RowData& rd) {
    if (rd.cells.empty()) return;
    a.top = std::min(a.top, r);
    a.bottom = std::max(a.bottom, r);
    a.left = std::min<int32_t>(a.left, rd.cells.front().col);
    a.right = std::max<int32_t>(a.right, rd.cells.back().col);
  });
  if (a.bottom == 0) return Area::Cell(1, 1);
  return a;
}

}  // namespace tessarin::host
