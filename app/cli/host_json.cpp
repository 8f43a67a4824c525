// JSON views of the host model for the transcript.
#include "app/cli/host_json.h"

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <unordered_set>

#include "app/cli/transcript.h"
#include "core/host/application.h"
#include "core/host/range.h"
#include "core/host/worksheet.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::cli {

using nlohmann::json;

namespace {

// Rows a dump lists heights for: enough for any test sheet, bounded for whole columns.
constexpr int kMaxDumpRows = 1000;

// True when the cell's own style may come from whole-row or whole-column formatting alone: it
// is its row's or its column's style, or, where both are formatted, the mix the host makes for
// the crossing cell (which a dump cannot tell from a format of the cell's own).
bool StyleFromRowOrColumn(const host::Worksheet& sheet, int32_t row, const host::Cell& cell) {
  const host::RowData* row_data = sheet.cells().FindRow(row);
  const host::ColumnInfo* column = sheet.Column(cell.col);
  const bool row_styled = row_data != nullptr && row_data->has_style;
  const bool column_styled = column != nullptr && column->has_style;
  if (row_styled && column_styled) return true;
  if (row_styled) return cell.style == row_data->style;
  if (column_styled) return cell.style == column->style;
  return false;
}

bool HasPhoneticRuns(const host::CellExtra* extra) {
  return extra != nullptr && extra->phonetic && !extra->phonetic->runs.empty();
}

// A stored cell is listed for its value, comment or phonetic runs, or for a style of its own;
// a style it only shares with its row or column (whole-row formatting) does not count.
bool IsListed(const host::Worksheet& sheet, int32_t row, const host::Cell& cell) {
  if (cell.type != host::ValueType::kEmpty) return true;
  const host::CellExtra* extra = sheet.Extra(row, cell.col);
  if (extra != nullptr && (extra->comment || HasPhoneticRuns(extra))) return true;
  return cell.style != host::kDefaultStyle && !StyleFromRowOrColumn(sheet, row, cell);
}

json BordersJson(const host::Range& cell) {
  json borders = json::object();
  for (int index = host::kXlDiagonalDown; index <= host::kXlInsideHorizontal; ++index) {
    host::RangeBorder border = cell.Borders(index);
    if (border.LineStyle() == host::kXlNone) continue;
    borders[std::to_string(index)] = {{"linestyle", border.LineStyle()},
                                      {"weight", border.Weight()},
                                      {"colorindex", border.ColorIndex()}};
  }
  return borders;
}

json CellJson(const host::Sheet& sheet, int32_t row, int32_t col) {
  host::Range cell = sheet.Cells(row, col);
  json out = {
      {"value", ValueJson(cell.Value())},    {"text", cell.Text()},
      {"font", FontJson(cell.Font().Get())}, {"h", cell.HorizontalAlignment()},
      {"v", cell.VerticalAlignment()},       {"orientation", cell.Orientation()},
      {"shrink", cell.ShrinkToFit()},        {"wrap", cell.WrapText()},
      {"indent", cell.IndentLevel()},        {"merge", cell.MergeCells()},
      {"numfmt", cell.NumberFormatLocal()},  {"borders", BordersJson(cell)},
  };
  const host::CellExtra* extra = sheet.worksheet().Extra(row, col);
  if (extra == nullptr) return out;
  if (extra->comment) out["comment"] = extra->comment->text;
  if (!extra->runs.empty()) {
    json runs = json::array();
    for (const host::TextRun& run : extra->runs) {
      runs.push_back(
          {{"start", run.start + 1}, {"length", run.length}, {"font", FontJson(run.font)}});
    }
    out["runs"] = std::move(runs);
  }
  if (extra->phonetic && (!extra->phonetic->runs.empty() || extra->phonetic->visible)) {
    out["phonetic"] = {{"text", cell.Phonetics().Text()}, {"visible", extra->phonetic->visible}};
  }
  return out;
}

json ControlJson(const host::CommandBarControl& control) {
  std::optional<int> face_id = control.FaceId();
  json out = {
      {"caption", control.Caption()},
      {"type", control.IsPopup() ? "popup" : "button"},
      {"faceid", face_id ? json(*face_id) : json()},
      {"onaction", control.OnAction().empty() ? json() : json(control.OnAction())},
      {"begingroup", control.BeginGroup()},
  };
  if (control.IsPopup()) {
    json children = json::array();
    for (const auto& child : control.Controls().controls()) children.push_back(ControlJson(*child));
    out["controls"] = std::move(children);
  }
  return out;
}

}  // namespace

json NumberJson(double value) {
  // Integers up to 2^53 are exact in a double; larger ones stay doubles.
  if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 9007199254740992.0) {
    return static_cast<int64_t>(value);
  }
  if (!std::isfinite(value)) return nullptr;
  return value;
}

json MeasureJson(double value) {
  if (!std::isfinite(value)) return nullptr;
  double rounded = std::round(value * 1e6) / 1e6;
  return NumberJson(std::isfinite(rounded) ? rounded : value);
}

json ValueJson(const host::CellValue& value) {
  switch (value.type) {
    case host::ValueType::kEmpty:
      return nullptr;
    case host::ValueType::kNumber:
      return NumberJson(value.number);
    case host::ValueType::kText:
      return value.text;
    case host::ValueType::kBoolean:
      return value.boolean;
    case host::ValueType::kError:
      return std::string(host::CellErrorText(value.error));
  }
  return nullptr;
}

json FontJson(const host::Font& font) {
  return {{"name", font.name},           {"size", MeasureJson(font.size)},
          {"bold", font.bold},           {"style", font.FontStyle()},
          {"underline", font.underline}, {"colorindex", font.color_index}};
}

json PageSetupJson(const host::PageSetup& setup) {
  return {
      {"LeftMargin", MeasureJson(setup.left_margin)},
      {"RightMargin", MeasureJson(setup.right_margin)},
      {"TopMargin", MeasureJson(setup.top_margin)},
      {"BottomMargin", MeasureJson(setup.bottom_margin)},
      {"HeaderMargin", MeasureJson(setup.header_margin)},
      {"FooterMargin", MeasureJson(setup.footer_margin)},
      {"CenterHorizontally", setup.center_horizontally},
      {"CenterVertically", setup.center_vertically},
      {"Orientation", setup.orientation},
      {"PaperSize", setup.paper_size},
      {"Zoom", setup.zoom == 0 ? json(false) : json(setup.zoom)},
      {"FirstPageNumber", setup.first_page_number},
      {"Order", setup.order},
      {"BlackAndWhite", setup.black_and_white},
      {"Draft", setup.draft},
      {"PrintGridlines", setup.print_gridlines},
      {"PrintHeadings", setup.print_headings},
      {"PrintComments", setup.print_comments},
      {"PrintArea", setup.print_area},
  };
}

void WriteDump(std::ostream& out, const host::Sheet& sheet, const host::AreaList& areas) {
  host::Worksheet& worksheet = sheet.worksheet();
  out << "{\"sheet\":" << ToJsonText(worksheet.name()) << ",\"cells\":{";
  // Overlapping areas would list a cell twice; one area cannot.
  std::unordered_set<uint64_t> written;
  bool first = true;
  for (const host::Area& area : areas) {
    worksheet.cells().ForEachCell(area, [&](int32_t row, const host::Cell& cell) {
      if (!IsListed(worksheet, row, cell)) return;
      if (areas.size() > 1 && !written.insert(uint64_t(row) << 16 | cell.col).second) return;
      out << (first ? "" : ",") << ToJsonText(host::FormatA1(host::Area::Cell(row, cell.col)))
          << ':' << ToJsonText(CellJson(sheet, row, cell.col));
      first = false;
    });
  }
  out << '}';

  json rows = json::object();
  int listed_rows = 0;
  for (const host::Area& area : areas) {
    for (int32_t row = area.top; row <= area.bottom && listed_rows < kMaxDumpRows; ++row) {
      std::string key = std::to_string(row);
      if (rows.contains(key)) continue;
      rows[key] = MeasureJson(worksheet.RowHeight(row));
      ++listed_rows;
    }
  }
  json cols = json::object();
  for (const host::Area& area : areas) {
    for (int32_t col = area.left; col <= area.right; ++col) {
      std::string key = host::ColumnLetters(col);
      if (!cols.contains(key)) cols[key] = MeasureJson(worksheet.ColumnWidth(col));
    }
  }
  const host::PageSetup& setup = worksheet.page_setup();
  out << ",\"rows\":" << ToJsonText(rows) << ",\"cols\":" << ToJsonText(cols)
      << ",\"comments\":" << worksheet.CommentCount()
      << ",\"pagesetup\":" << ToJsonText(PageSetupJson(setup))
      << ",\"printarea\":" << (setup.print_area.empty() ? "null" : ToJsonText(setup.print_area))
      << ",\"hpagebreaks\":" << ToJsonText(json(worksheet.row_breaks())) << '}';
}

json DumpJson(const host::Sheet& sheet, const host::AreaList& areas) {
  std::ostringstream text;
  WriteDump(text, sheet, areas);
  return json::parse(text.str());
}

json StateJson(host::Application& app) {
  json workbooks = json::array();
  for (const auto& workbook : app.workbooks()) {
    workbooks.push_back({{"name", workbook->name()}, {"path", workbook->path()}});
  }
  json state = {
      {"workbooks", std::move(workbooks)}, {"active_workbook", nullptr}, {"sheets", json::array()},
      {"active_sheet", nullptr},           {"selection", nullptr},       {"active_cell", nullptr}};
  host::Workbook* workbook = app.active_workbook();
  if (workbook == nullptr) return state;
  state["active_workbook"] = workbook->name();
  for (int i = 1; i <= workbook->SheetCount(); ++i)
    state["sheets"].push_back(workbook->Sheet(i).name());
  if (workbook->active_sheet() == nullptr) return state;
  state["active_sheet"] = workbook->active_sheet()->name();
  state["selection"] = app.Selection().Address(host::kXlA1, /*absolute=*/false);
  state["active_cell"] = app.ActiveCell().Address(host::kXlA1, /*absolute=*/false);
  return state;
}

json CommandBarsJson(host::Application& app) {
  json cell = json::array();
  for (const auto& control : app.CommandBars().Item("cell").Controls().controls()) {
    cell.push_back(ControlJson(*control));
  }
  json shortcuts = json::object();
  for (const auto& [key, macro] : app.shortcuts()) shortcuts[key] = macro;
  return {{"cell", std::move(cell)}, {"shortcuts", std::move(shortcuts)}};
}

json ModuleJson(const workbook::KanjiModule& module) {
  return {
      {"QSheetName", module.QSheetName},
      {"TestTitle", module.TestTitle},
      {"Is40Sheet", module.Is40Sheet},
      {"PageCount", module.PageCount},
      {"QuestionRowCount", module.QuestionRowCount},
      {"RequestedCount", module.RequestedCount},
      {"CandidateCount", module.CandidateCount},
      {"IgnoreWrongCount", module.IgnoreWrongCount},
      {"ExcludeAsked", module.ExcludeAsked},
      {"ConsiderMustAppear", module.ConsiderMustAppear},
      {"WriteSourceNote", module.WriteSourceNote},
  };
}

}  // namespace tessarin::cli
