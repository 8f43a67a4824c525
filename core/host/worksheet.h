// Worksheet: the data of one sheet (cells, styles in use, rows, columns, comments, page setup,
// view) and the primitive edits that the host operations are built from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/host/cell_store.h"
#include "core/host/sheet_parts.h"
#include "core/host/string_pool.h"

namespace tessarin::host {

class Workbook;

class Worksheet {
 public:
  Worksheet(Workbook* workbook, std::string name);
  Worksheet(const Worksheet&) = delete;
  Worksheet& operator=(const Worksheet&) = delete;
  ~Worksheet();

  Workbook& workbook() const { return *workbook_; }
  StringPool& strings() const;
  StylePool& styles() const;

  const std::string& name() const { return name_; }
  // Renaming goes through Workbook::RenameSheet, which checks the host's naming rules.
  void set_name_unchecked(std::string name) { name_ = std::move(name); }

  // Moves the workbook's change counter (see Workbook::changes). The edits below note their
  // change themselves; a caller that writes through cells(), merges(), page_setup() or view()
  // calls this.
  void NoteChange();

  // --- Values ---
  CellValue Value(int32_t row, int32_t col) const;
  // The cell's text when it holds text, else "". No copy.
  std::string_view TextView(int32_t row, int32_t col) const;
  void SetValue(int32_t row, int32_t col, const CellValue& value);
  void SetNumber(int32_t row, int32_t col, double value);
  // Empty text empties the value, as ClearValue does: no cell holds "".
  void SetText(int32_t row, int32_t col, std::string_view text);
  // Empties the value (and formula, runs and phonetic runs); keeps style and comment.
  void ClearValue(int32_t row, int32_t col);

  // --- Styles ---
  // The style that applies to the cell: its own, else its row's, else its column's, else normal.
  StyleId EffectiveStyle(int32_t row, int32_t col) const;
  const Style& StyleAt(int32_t row, int32_t col) const {
    return styles().Get(EffectiveStyle(row, col));
  }
  void SetStyle(int32_t row, int32_t col, StyleId style);

  // --- Extras (runs, phonetic, comment, formula) ---
  const CellExtra* Extra(int32_t row, int32_t col) const;
  // Returns the extra record, creating it (and the cell) when missing. Counts as a change: it is
  // obtained to be written.
  CellExtra& ObtainExtra(int32_t row, int32_t col);
  // Drops the extra record when it no longer holds anything.
  void PruneExtra(int32_t row, int32_t col);
  size_t CommentCount() const;
  void DeleteAllComments();
  template <typename F>
  void ForEachExtra(F&& f) const {
    for (const auto& [key, extra] : extras_)
      f(static_cast<int32_t>(key >> 16), static_cast<int32_t>(key & 0xFFFF), extra);
  }

  // --- Rows and columns ---
  double RowHeight(int32_t row) const;  // points
  void SetRowHeight(int32_t row, double points);
  double ColumnWidth(int32_t col) const;  // characters
  void SetColumnWidth(int32_t col, double width);
  const ColumnInfo* Column(int32_t col) const;
  // Returns the column's record for writing (a change), creating it when missing.
  ColumnInfo& ObtainColumn(int32_t col);
  int32_t MaxColumnInfo() const { return static_cast<int32_t>(columns_.size()); }
  double default_row_height() const { return default_row_height_; }
  void set_default_row_height(double h) {
    default_row_height_ = h;
    NoteChange();
  }
  double default_column_width() const { return default_column_width_; }
  void set_default_column_width(double w) {
    default_column_width_ = w;
    NoteChange();
  }

  // Area that holds every stored cell (the used range); empty sheets give A1.
  Area UsedArea() const;

  CellStore& cells() { return cells_; }
  const CellStore& cells() const { return cells_; }
  std::vector<Area>& merges() { return merges_; }
  const std::vector<Area>& merges() const { return merges_; }
  PageSetup& page_setup() { return page_setup_; }
  const PageSetup& page_setup() const { return page_setup_; }
  // Manual page breaks between rows: each the first row of a new printed page, ascending, in
  // 2 .. kMaxRows. Adding a row outside that range or one already there changes nothing.
  const std::vector<int32_t>& row_breaks() const { return row_breaks_; }
  void AddRowBreak(int32_t row);
  void ClearRowBreaks();
  SheetView& view() { return view_; }
  const SheetView& view() const { return view_; }
  bool is_protected() const { return protected_; }
  void set_protected(bool p) {
    protected_ = p;
    NoteChange();
  }
  SheetVisibility visibility() const { return visibility_; }
  void set_visibility(SheetVisibility v) {
    visibility_ = v;
    NoteChange();
  }
  // Throws HostError 1004 when the sheet is protected.
  void CheckWritable() const;
  // Replaces this sheet's content with a copy of `other`'s, a sheet of the same workbook (the
  // pools are shared): cells, extras, rows, columns, merges, page setup, breaks, view, defaults
  // and protection. Name, visibility and the file's kept sheet content stay as they are.
  void CopyContentFrom(const Worksheet& other);

  // What the reader of the file kept of this sheet beyond the model; null for a sheet made here.
  std::shared_ptr<FileExtras>& file_extras() { return file_extras_; }
  const std::shared_ptr<FileExtras>& file_extras() const { return file_extras_; }

 private:
  // The cell at (row, col), made with the format it shows while empty when missing.
  Cell& WritableCell(int32_t row, int32_t col);
  static uint64_t Key(int32_t row, int32_t col) { return (uint64_t(row) << 16) | uint32_t(col); }

  Workbook* workbook_;
  std::string name_;
  CellStore cells_;
  std::unordered_map<uint64_t, CellExtra> extras_;
  std::vector<ColumnInfo> columns_;  // index col - 1, grown on demand
  std::vector<Area> merges_;
  PageSetup page_setup_;
  std::vector<int32_t> row_breaks_;
  SheetView view_;
  double default_row_height_ = kDefaultRowHeight;
  double default_column_width_ = kDefaultColumnWidth;
  bool protected_ = false;
  SheetVisibility visibility_ = SheetVisibility::kVisible;
  std::shared_ptr<FileExtras> file_extras_;
};

}  // namespace tessarin::host
