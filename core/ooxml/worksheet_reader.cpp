// Reading the worksheet part: <sheetData> is scanned without a DOM, since it holds nearly all of
// a workbook's bytes; the other elements are small and either modelled or kept verbatim.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <pugixml.hpp>

#include "core/host/date_serial.h"
#include "core/host/formula_refs.h"
#include "core/host/host_error.h"
#include "core/host/workbook.h"
#include "core/ooxml/page_breaks.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/worksheet_part.h"
#include "core/ooxml/worksheet_settings.h"

namespace tessarin::ooxml {
namespace {

using namespace std::string_view_literals;
using host::Area;
using host::Cell;
using host::RowData;
using host::ValueType;

class SheetReader {
 public:
  SheetReader(XmlScanner& sc, const WorksheetReadContext& ctx, host::Worksheet& sheet,
              SheetExtras& extras)
      : ctx_(ctx), sheet_(sheet), extras_(extras), sc_(sc) {}

  void Run() {
    auto tok = sc_.Next();
    while (tok == XmlScanner::kText) tok = sc_.Next();
    if (tok != XmlScanner::kStart || sc_.name() != "worksheet") {
      Fail(ctx_.file, ctx_.part,
           "the root element is <" + std::string(sc_.qname()) + ">, not <worksheet>.");
    }
    for (const auto& a : sc_.attrs()) {
      if (a.qname == "xmlns" || a.qname == "xmlns:r") continue;
      extras_.root_attrs.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
    }
    // Without <sheetFormatPr> the default width follows from the default font.
    sheet_.set_default_column_width(
        DefaultWidthFromBase(extras_.base_col_width, ctx_.max_digit_width));
    if (!sc_.self_closing()) ReadChildren();
    Finish();
  }

 private:
  void ReadChildren() {
    for (;;) {
      auto tok = sc_.Next();
      if (tok == XmlScanner::kEnd && sc_.depth() == 0) break;
      if (tok != XmlScanner::kStart) continue;
      const std::string name(sc_.name());
      const size_t begin = sc_.tag_begin();
      if (name == "sheetData") {
        if (!sc_.self_closing())
          ReadSheetData();
        else
          sc_.Next();
        continue;
      }
      const size_t end = sc_.SkipElement();
      Element(name, sc_.buffer().substr(begin, end - begin));
    }
    while (sc_.Next() != XmlScanner::kEof) {
    }
  }

  // What the file left out: fitting to pages without a <pageSetup> fits one page each way, and
  // the absent elements are remembered so that a save leaves them out too.
  void Finish() {
    host::PageSetup& ps = sheet_.page_setup();
    if (!page_setup_seen_ && fit_to_page_) {
      ps.zoom = 0;
      ps.fit_wide = ps.fit_tall = 1;
    }
    if (!page_margins_seen_) extras_.absent_page_margins = PageMarginsXml(ps);
    if (!page_setup_seen_) extras_.absent_page_setup = PageSetupXml(ps, &extras_);
  }

  [[noreturn]] void Bad(const std::string& what) { Fail(ctx_.file, ctx_.part, what); }

  // Text of a cell as the model holds it: well-formed UTF-8 within a cell's length, or refused.
  uint32_t InternText(host::StringPool& pool, std::string_view text, int32_t row, int32_t col) {
    if (!FitsInCell(text)) {
      Bad("cell " + CellRefText(row, col) + " holds more than the " +
          std::to_string(host::kMaxCellChars) + " characters a cell can have.");
    }
    return pool.Intern(MendedText(text, mend_scratch_));
  }

  pugi::xml_node Parse(pugi::xml_document& doc, std::string_view raw) {
    LoadXml(doc, raw, ctx_.file, ctx_.part);
    return doc.document_element();
  }

  void Element(const std::string& name, std::string_view raw) {
    pugi::xml_document doc;
    if (name == "dimension") return;  // rebuilt from the cells
    if (name == "sheetPr") {
      extras_.sheet_pr = std::string(raw);
      extras_.fit_to_page = AttrBool(Child(Parse(doc, raw), "pageSetUpPr"), "fitToPage", false);
      fit_to_page_ = extras_.fit_to_page;
    } else if (name == "sheetViews") {
      ReadSheetViews(Parse(doc, raw), sheet_, extras_);
    } else if (name == "sheetFormatPr") {
      ReadSheetFormat(Parse(doc, raw), ctx_, sheet_, extras_);
    } else if (name == "cols") {
      ReadColumns(Parse(doc, raw), ctx_, sheet_);
    } else if (name == "sheetProtection") {
      extras_.protection_xml = std::string(raw);
      sheet_.set_protected(AttrBool(Parse(doc, raw), "sheet", false));
    } else if (name == "mergeCells") {
      for (pugi::xml_node m = Parse(doc, raw).first_child(); m; m = m.next_sibling()) {
        if (LocalName(m.name()) != "mergeCell") continue;
        Area a;
        if (!ParseArea(AttrValue(m, "ref"), a)) {
          Bad("the merged range \"" + std::string(AttrValue(m, "ref")) +
              "\" is outside the sheet or malformed.");
        }
        if (a.CellCount() > 1) sheet_.merges().push_back(a);
      }
    } else if (name == "printOptions") {
      ReadPrintOptions(Parse(doc, raw), sheet_, extras_);
    } else if (name == "pageMargins") {
      page_margins_seen_ = true;
      ReadPageMargins(Parse(doc, raw), sheet_);
    } else if (name == "pageSetup") {
      page_setup_seen_ = true;
      ReadPageSetup(Parse(doc, raw), fit_to_page_, sheet_, extras_);
    } else if (name == "headerFooter") {
      sheet_.page_setup().header_footer = MakeXmlExtras(std::string(raw));
    } else if (name == "rowBreaks") {
      ReadRowBreaks(Parse(doc, raw), sheet_);
    } else {
      extras_.elements.push_back({name, std::string(raw)});
    }
  }

  // Text of a simple element (<v>, <f>) just opened: a view into the buffer when it is one run of
  // text without entities, else gathered into `scratch`.
  std::string_view SimpleText(std::string& scratch) {
    const int inside = sc_.depth();
    auto t = sc_.Next();
    if (t == XmlScanner::kEnd && sc_.depth() < inside) return {};
    if (t == XmlScanner::kText && !sc_.text_is_cdata() &&
        sc_.raw_text().find_first_of("&\r") == std::string_view::npos) {
      const std::string_view raw = sc_.raw_text();
      t = sc_.Next();
      if (t == XmlScanner::kEnd && sc_.depth() < inside) return raw;
      scratch.assign(raw);
    } else {
      scratch.clear();
    }
    for (;; t = sc_.Next()) {
      if (t == XmlScanner::kEnd && sc_.depth() < inside) break;
      if (t == XmlScanner::kEof) sc_.Error("unexpected end of document");
      if (t != XmlScanner::kText) continue;
      if (sc_.text_is_cdata())
        AppendLiteralText(scratch, sc_.raw_text());
      else
        AppendUnescaped(scratch, sc_.raw_text(), &sc_);
    }
    return scratch;
  }

  // <sheetData>: rows, and in each the cells, read as they stream past. A cell written the
  // common way (<c r=".." s=".." t=".."><v>..</v></c>) is taken whole in one step; anything
  // else goes through the scanner's tokens.
  void ReadSheetData() {
    const int data_depth = sc_.depth();  // inside <sheetData>
    data_ = SheetDataState{};
    data_.base_font = sheet_.workbook().default_font();
    for (;;) {
      if (data_.row_data && sc_.depth() == data_depth + 1) ReadSimpleCells();
      const auto tok = sc_.Next();
      if (tok == XmlScanner::kEnd) {
        if (sc_.depth() < data_depth) return;
        // Between rows nothing points into the buffer: let a streamed part drop what was read.
        if (sc_.depth() == data_depth) sc_.Compact();
        continue;
      }
      if (tok != XmlScanner::kStart) continue;
      const int depth = sc_.depth();
      if (depth == data_depth + 1 && sc_.name() == "row") {
        ReadRow(sc_.attrs());
      } else if (depth == data_depth + 2 && sc_.name() == "c" && data_.row_data) {
        ReadCellTag(sc_.attrs().data(), sc_.attrs().data() + sc_.attrs().size());
        ReadCellContent(data_depth);
        StoreCell();
      } else {
        sc_.SkipElement();
      }
    }
  }

  // Cells of the current row taken whole while they come in the common form.
  void ReadSimpleCells() {
    XmlScanner::Attr attrs[kSimpleCellAttrs];
    std::string_view value;
    bool has_value;
    for (int n;
         (n = sc_.TryLeafElement("c", "v", attrs, kSimpleCellAttrs, value, has_value)) >= 0;) {
      ReadCellTag(attrs, attrs + n);
      content_.Clear();
      content_.value = value;
      content_.has_value = has_value;
      StoreCell();
    }
  }

  // A <row> start tag: its number (the next one when left out), height, hiding and style.
  void ReadRow(const std::vector<XmlScanner::Attr>& attrs) {
    SheetDataState& d = data_;
    const size_t row_hint = d.row_data ? d.row_data->cells.size() : 0;
    int64_t r = d.row + 1;
    float height = -1;
    bool custom_format = false, hidden = false;
    int64_t style = -1;
    std::string extra;
    for (const auto& a : attrs) {
      const std::string_view n = a.name;
      if (n == "r") {
        if (!ParseInt(a.raw, r)) r = -1;
      } else if (n == "ht") {
        double h;
        if (ParseDouble(a.raw, h) && h >= 0 && h <= 409.5) height = static_cast<float>(h);
      } else if (n == "hidden") {
        hidden = ParseBool(a.raw, false);
      } else if (n == "s") {
        if (!ParseInt(a.raw, style)) style = -1;
      } else if (n == "customFormat") {
        custom_format = ParseBool(a.raw, false);
      } else if (n != "spans" && n != "customHeight") {
        extra.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
      }
    }
    if (r < 1 || r > host::kMaxRows)
      Bad("row number " + std::to_string(r) + " is outside the sheet.");
    d.row = static_cast<int32_t>(r);
    d.row_digit_count = static_cast<int>(
        std::to_chars(d.row_digits, d.row_digits + sizeof d.row_digits, d.row).ptr - d.row_digits);
    d.col = 0;
    RowData& rd = *(d.row_data = &sheet_.cells().ObtainRow(d.row));
    if (rd.cells.empty() && row_hint > 0) rd.cells.reserve(row_hint);
    if (height >= 0) rd.height = height;
    rd.hidden = rd.hidden || hidden;
    const auto& xfs = *ctx_.xf_styles;
    if (custom_format && style >= 0 && style < static_cast<int64_t>(xfs.size())) {
      rd.style = xfs[style];
      rd.has_style = true;
    }
    if (!extra.empty()) {
      // Rows of a sheet mostly share their other attributes: keep each text once.
      if (extra != XmlExtrasOf(last_row_extras_))
        last_row_extras_ = MakeXmlExtras(std::move(extra));
      rd.file_extras = last_row_extras_;
    }
  }

  // The attributes of a <c> start tag: where the cell is (the next column when left out), its
  // style and the type of its value.
  void ReadCellTag(const XmlScanner::Attr* begin, const XmlScanner::Attr* end) {
    CellTag& t = tag_;
    t.row = data_.row;
    t.col = data_.col + 1;
    t.style = host::kDefaultStyle;
    t.type = 'n';
    t.ph = false;
    t.value_attrs.clear();
    const auto& xfs = *ctx_.xf_styles;
    for (const XmlScanner::Attr* a = begin; a != end; ++a) {
      if (a->name == "r") {
        if (!IsNextCell(a->raw, t.col) && !ParseCellRef(a->raw, t.row, t.col)) {
          Bad("the cell reference \"" + std::string(a->raw) +
              "\" is outside the sheet or malformed.");
        }
      } else if (a->name == "s") {
        int64_t s;
        if (ParseInt(a->raw, s) && s > 0 && s < static_cast<int64_t>(xfs.size())) t.style = xfs[s];
      } else if (a->name == "t") {
        t.type = CellType(a->raw);
      } else if (a->name == "ph") {
        t.ph = ParseBool(a->raw, false);
      } else {
        // vm (a picture in the cell), cm (a dynamic array formula) and what else may come.
        t.value_attrs.append(" ").append(a->qname).append("=\"").append(a->raw).append("\"");
      }
    }
    if (t.col > host::kMaxColumns)
      Bad("a cell of row " + std::to_string(data_.row) + " lies beyond the last column.");
    data_.col = t.col;
  }

  // Whether `ref` names column `col` of the current row, as it does for nearly every cell: a
  // comparison with the reference expected is cheaper than reading one. Columns past the sheet
  // go the general way, which refuses them.
  bool IsNextCell(std::string_view ref, int32_t col) const {
    if (col > host::kMaxColumns) return false;
    char letters[3];
    int n = 0;
    for (int32_t c = col; c > 0; c = (c - 1) / 26)
      letters[2 - n++] = static_cast<char>('A' + (c - 1) % 26);
    const size_t digits = static_cast<size_t>(data_.row_digit_count);
    return ref.size() == static_cast<size_t>(n) + digits &&
           std::memcmp(ref.data(), letters + 3 - n, n) == 0 &&
           std::memcmp(ref.data() + n, data_.row_digits, digits) == 0;
  }

  // n s str(r) inlineStr(i) b e d
  static char CellType(std::string_view t) {
    return t == "s"           ? 's'
           : t == "str"       ? 'r'
           : t == "inlineStr" ? 'i'
           : t == "b"         ? 'b'
           : t == "e"         ? 'e'
           : t == "d"         ? 'd'
                              : 'n';
  }

  // What a <c> element holds, token by token: its value, formula and inline string.
  void ReadCellContent(int data_depth) {
    CellContent& c = content_;
    c.Clear();
    if (sc_.self_closing()) {
      sc_.Next();
      return;
    }
    std::string_view simple;
    if (sc_.TrySimpleChild("v", simple)) {
      c.value_store.assign(simple);
      c.value = c.value_store;
      c.has_value = true;
      return;
    }
    for (;;) {
      const auto tok = sc_.Next();
      if (tok == XmlScanner::kEnd && sc_.depth() <= data_depth + 1) break;
      if (tok != XmlScanner::kStart) continue;
      const std::string_view n = sc_.name();
      if (n == "v") {
        c.value_store.assign(SimpleText(scratch_v_));
        c.value = c.value_store;
        c.has_value = true;
      } else if (n == "f") {
        ReadFormula();
      } else if (n == "is") {
        c.has_inline = true;
        ReadStringItem(sc_, c.text, c.rich, data_.base_font);
      } else {
        sc_.SkipElement();
      }
    }
  }

  // An <f> element: its text and the attributes kept for saving (a shared group's own).
  void ReadFormula() {
    CellContent& c = content_;
    c.has_formula = true;
    std::string ft, ref, si;
    for (const auto& a : sc_.attrs()) {
      if (a.name == "t")
        ft = std::string(a.raw);
      else if (a.name == "si")
        si = std::string(a.raw);
      else if (a.name == "ref")
        ref = std::string(a.raw);
      else
        c.formula_attrs.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
    }
    const bool shared = ft == "shared";
    if (!shared && !ft.empty() && ft != "normal") {
      c.formula_attrs =
          " t=\"" + ft + "\"" + (ref.empty() ? "" : " ref=\"" + ref + "\"") + c.formula_attrs;
    } else if (!shared && !ref.empty()) {
      c.formula_attrs = " ref=\"" + ref + "\"" + c.formula_attrs;
    }
    c.formula = std::string(SimpleText(scratch_f_));
    if (shared) {
      c.shared_si = si;
      c.shared_master = !c.formula.empty();
      // Kept so the save can write the group as shared again while it is intact.
      c.formula_attrs = " t=\"shared\"" +
                        (c.shared_master && !ref.empty() ? " ref=\"" + ref + "\"" : std::string()) +
                        " si=\"" + si + "\"" + c.formula_attrs;
    }
  }

  // The cell of tag_ in the model, holding content_.
  void StoreCell() {
    if (ctx_.cell_budget) {
      if (*ctx_.cell_budget == 0) Bad("the workbook holds more cells than can be opened.");
      --*ctx_.cell_budget;
    }
    const CellTag& t = tag_;
    host::CellStore& cells = sheet_.cells();
    RowData& target = t.row == data_.row ? *data_.row_data : cells.ObtainRow(t.row);
    Cell* cell;
    if (target.cells.empty() || target.cells.back().col < t.col) {
      cell = &target.cells.emplace_back();
      cell->col = static_cast<uint16_t>(t.col);
    } else {
      cell = &cells.Obtain(t.row, t.col, t.style);
    }
    cell->style = t.style;
    const RichText* rich = StoreValue(*cell);
    StoreExtras(rich);
  }

  // The value by the cell's type; returns the runs and reading the text brings, if any.
  const RichText* StoreValue(Cell& cell) {
    const CellTag& t = tag_;
    const CellContent& c = content_;
    host::StringPool& pool = sheet_.strings();
    const std::string_view value = c.value;
    if (t.type == 's') return c.has_value ? StoreSharedString(cell) : nullptr;
    if (t.type == 'i' || (c.has_inline && !c.has_value)) {
      if (!c.has_inline && !c.has_value) return nullptr;
      cell.type = ValueType::kText;
      cell.v.text = InternText(pool, c.has_inline ? c.text : value, t.row, t.col);
      return c.has_inline && (!c.rich.runs.empty() || c.rich.phonetic) ? &c.rich : nullptr;
    }
    if (!c.has_value) return nullptr;
    if (t.type == 'r') {
      cell.type = ValueType::kText;
      cell.v.text = InternText(pool, DecodeXmlEscapes(value), t.row, t.col);
    } else if (t.type == 'b') {
      cell.type = ValueType::kBoolean;
      cell.v.boolean = value == "1" || value == "true" || value == "TRUE";
    } else if (t.type == 'e') {
      cell.type = ValueType::kError;
      cell.v.error = host::ParseCellError(value).value_or(host::CellError::kNA);
    } else if (t.type == 'd') {
      double serial;
      if (IsoDateToSerial(value, ctx_.date1904, serial)) {
        cell.type = ValueType::kNumber;
        cell.v.number = serial;
      }
    } else if (double d; ParseDouble(value, d)) {
      cell.type = ValueType::kNumber;
      cell.v.number = d;
    } else if (!value.empty()) {
      // 1e400, nan, 0x10: no number we can hold, but the cell's content all the same.
      cell.type = ValueType::kText;
      cell.v.text = InternText(pool, value, t.row, t.col);
    }
    return nullptr;
  }

  // The table may still be coming in on another thread: Wait() holds the cell until its item
  // has come, so the cells meet the table as if it had been read first.
  const RichText* StoreSharedString(Cell& cell) {
    SharedStrings& sst = *ctx_.shared_strings;
    const std::string_view value = content_.value;
    int64_t idx;
    if (!ParseInt(value, idx) || idx < 0 || !sst.Wait(static_cast<uint64_t>(idx))) {
      sst.WaitFinished();
      Bad("cell " + CellRefText(tag_.row, tag_.col) + " refers to shared string " +
          std::string(value) + ", but the table has " + std::to_string(sst.size()) + ".");
    }
    cell.type = ValueType::kText;
    cell.v.text = sst.Id(static_cast<size_t>(idx), sheet_.strings());
    return sst.Rich(static_cast<size_t>(idx));
  }

  // Formulas (a shared group's followers shifted from its first), runs, readings and the
  // attributes kept for saving, on the cell's extra record.
  void StoreExtras(const RichText* rich) {
    const CellTag& t = tag_;
    CellContent& c = content_;
    if (c.has_formula && !c.shared_si.empty()) {
      if (c.shared_master) {
        shared_[c.shared_si] = {c.formula, t.row, t.col};
      } else if (auto it = shared_.find(c.shared_si); it != shared_.end()) {
        c.formula =
            host::ShiftFormula(it->second.text, t.row - it->second.row, t.col - it->second.col);
      }
    }
    const bool formula = c.has_formula && (!c.formula.empty() || !c.formula_attrs.empty());
    if (!rich && !t.ph && !formula && t.value_attrs.empty()) return;
    host::CellExtra& extra = sheet_.ObtainExtra(t.row, t.col);
    if (rich) {
      extra.runs = rich->runs;
      extra.phonetic = rich->phonetic;
    }
    if (t.ph) {
      if (!extra.phonetic) extra.phonetic.emplace();
      extra.phonetic->visible = true;
    }
    if (c.has_formula) {
      extra.formula = std::move(c.formula);
      extra.formula_extras = MakeXmlExtras(std::move(c.formula_attrs));
    }
    if (!t.value_attrs.empty()) extra.value_extras = MakeXmlExtras(t.value_attrs);
  }

  // Where reading <sheetData> stands: the row being read and its last cell's column.
  struct SheetDataState {
    int32_t row = 0, col = 0;
    RowData* row_data = nullptr;
    char row_digits[12] = {};  // the row number as a reference writes it
    int row_digit_count = 0;
    host::Font base_font;
  };
  // The start tag of the cell being read.
  struct CellTag {
    int32_t row = 0, col = 0;
    host::StyleId style = host::kDefaultStyle;
    char type = 'n';
    bool ph = false;
    std::string value_attrs;
  };
  // What the cell being read holds. `value` views `value_store` or, for a cell taken whole,
  // the scanner's buffer, which stays put until the next token.
  struct CellContent {
    std::string_view value;
    std::string value_store, formula, formula_attrs, shared_si, text;
    bool has_value = false, has_formula = false, has_inline = false, shared_master = false;
    RichText rich;
    void Clear() {
      value = {};
      has_value = has_formula = has_inline = shared_master = false;
      formula.clear(), formula_attrs.clear(), shared_si.clear();
      if (!rich.runs.empty() || rich.phonetic) rich = RichText{};
    }
  };
  static constexpr int kSimpleCellAttrs = 4;

  struct SharedFormula {
    std::string text;
    int32_t row, col;
  };

  const WorksheetReadContext& ctx_;
  host::Worksheet& sheet_;
  SheetExtras& extras_;
  host::FileExtrasRef last_row_extras_;  // the other attributes of the last row that had some
  XmlScanner& sc_;
  bool fit_to_page_ = false;
  bool page_margins_seen_ = false, page_setup_seen_ = false;
  std::map<std::string, SharedFormula> shared_;
  std::string mend_scratch_;
  std::string scratch_v_, scratch_f_;
  SheetDataState data_;
  CellTag tag_;
  CellContent content_;
};

}  // namespace

bool IsoDateToSerial(std::string_view s, bool date1904, double& serial) {
  const std::optional<double> value = host::SerialFromIsoDate(s, date1904);
  if (value) serial = *value;
  return value.has_value();
}

void ReadWorksheet(std::string_view xml, const WorksheetReadContext& context,
                   host::Worksheet& sheet, SheetExtras& extras) {
  XmlScanner sc(xml, context.file, context.part);
  SheetReader(sc, context, sheet, extras).Run();
}

void ReadWorksheet(XmlScanner::Source source, const WorksheetReadContext& context,
                   host::Worksheet& sheet, SheetExtras& extras) {
  XmlScanner sc(std::move(source), context.file, context.part);
  SheetReader(sc, context, sheet, extras).Run();
}

}  // namespace tessarin::ooxml
