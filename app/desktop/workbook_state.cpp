// Fingerprint: FNV-1a over the model's content, cell by stored cell.
#include "app/desktop/workbook_state.h"

#include <cstring>
#include <string_view>

namespace tessarin::desktop {
namespace {

class Hash {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) value_ = (value_ ^ p[i]) * 0x100000001B3ull;
  }
  template <typename T>
  void Add(const T& v) {
    Bytes(&v, sizeof v);
  }
  void Text(std::string_view text) {
    Add(text.size());
    Bytes(text.data(), text.size());
  }
  uint64_t value() const { return value_; }

 private:
  uint64_t value_ = 0xCBF29CE484222325ull;
};

}  // namespace

uint64_t Fingerprint(const host::Workbook& workbook) {
  Hash hash;
  hash.Add(workbook.SheetCount());
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    const host::Worksheet& sheet = workbook.Sheet(i);
    hash.Text(sheet.name());
    sheet.cells().ForEachRow(1, host::kMaxRows, [&](int32_t row, const host::RowData& data) {
      hash.Add(row);
      hash.Add(data.height);
      hash.Add(data.hidden);
      hash.Add(data.style);
      for (const host::Cell& cell : data.cells) {
        hash.Add(cell.col);
        hash.Add(cell.type);
        hash.Add(cell.style);
        if (cell.type == host::ValueType::kText) {
          hash.Text(sheet.TextView(row, cell.col));
        } else {
          hash.Add(cell.v.number);  // the union's widest member covers every kind
        }
      }
    });
    sheet.ForEachExtra([&](int32_t row, int32_t col, const host::CellExtra& extra) {
      hash.Add(row);
      hash.Add(col);
      hash.Add(extra.runs.size());
      for (const host::TextRun& run : extra.runs) {
        hash.Add(run.start);
        hash.Add(run.length);
        hash.Text(run.font.name);
        hash.Add(run.font.size);
        hash.Add(run.font.bold);
        hash.Add(run.font.underline);
      }
      if (extra.phonetic) {
        hash.Add(extra.phonetic->visible);
        for (const host::PhoneticRun& run : extra.phonetic->runs) hash.Text(run.text);
      }
      if (extra.comment) hash.Text(extra.comment->text);
      hash.Text(extra.formula);
    });
    for (int32_t col = 1; col <= sheet.MaxColumnInfo(); ++col) {
      const host::ColumnInfo* info = sheet.Column(col);
      hash.Add(info->width);
      hash.Add(info->hidden);
      hash.Add(info->style);
    }
    for (const host::Area& merge : sheet.merges()) hash.Add(merge);
    const host::PageSetup& setup = sheet.page_setup();
    hash.Add(setup.zoom);
    hash.Add(setup.orientation);
    hash.Add(setup.paper_size);
    hash.Add(setup.left_margin);
    hash.Add(setup.top_margin);
    hash.Add(setup.right_margin);
    hash.Add(setup.bottom_margin);
    hash.Text(setup.print_area);
    hash.Add(sheet.view().display_gridlines);
    hash.Add(sheet.default_row_height());
    hash.Add(sheet.default_column_width());
  }
  return hash.value();
}

}  // namespace tessarin::desktop
