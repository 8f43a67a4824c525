// Model comparison for the .xlsx tests.
#include "tests/ooxml/xlsx_test_util.h"

#include <cmath>

#include "core/ooxml/content_types.h"
#include "core/ooxml/extras.h"

namespace tessarin::ooxml::testing {

std::vector<std::pair<std::string, std::string>> OneSheetBook(
    const std::string& sheet_data, const std::vector<std::pair<std::string, std::string>>& linked) {
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::string more_rels;
  int id = 1;
  for (const auto& [type, target] : linked) {
    more_rels += "<Relationship Id=\"rId" + std::to_string(++id) + "\" Type=\"" + rel + "/" + type +
                 "\" Target=\"" + target + "\"/>";
  }
  return {
      {"[Content_Types].xml",
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
           std::string(content_type::kWorkbook) +
           "\"/>"
           "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" +
           std::string(content_type::kWorksheet) + "\"/></Types>"},
      {"_rels/.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"" +
           rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
           "\"><sheets>"
           "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"" +
           rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>" + more_rels +
           "</Relationships>"},
      {"xl/worksheets/sheet1.xml",
       "<worksheet xmlns=\"" + main + "\"><sheetData>" + sheet_data + "</sheetData></worksheet>"},
  };
}

void ExpectSameModel(const host::Workbook& a, const host::Workbook& b) {
  ASSERT_EQ(a.SheetCount(), b.SheetCount());
  EXPECT_EQ(a.date1904(), b.date1904());
  EXPECT_EQ(a.default_font(), b.default_font());
  ASSERT_TRUE(a.active_sheet() && b.active_sheet());
  EXPECT_EQ(a.active_sheet()->name(), b.active_sheet()->name());
  for (int i = 1; i <= a.SheetCount(); ++i) {
    const host::Worksheet& sa = a.Sheet(i);
    const host::Worksheet& sb = b.Sheet(i);
    SCOPED_TRACE("sheet " + sa.name());
    EXPECT_EQ(sa.name(), sb.name());
    EXPECT_EQ(sa.visibility(), sb.visibility());
    EXPECT_EQ(sa.merges(), sb.merges());
    const host::PageSetup &pa = sa.page_setup(), &pb = sb.page_setup();
    EXPECT_NEAR(pa.left_margin, pb.left_margin, 1e-9);
    EXPECT_NEAR(pa.right_margin, pb.right_margin, 1e-9);
    EXPECT_NEAR(pa.top_margin, pb.top_margin, 1e-9);
    EXPECT_NEAR(pa.bottom_margin, pb.bottom_margin, 1e-9);
    EXPECT_NEAR(pa.header_margin, pb.header_margin, 1e-9);
    EXPECT_NEAR(pa.footer_margin, pb.footer_margin, 1e-9);
    EXPECT_EQ(pa.orientation, pb.orientation);
    EXPECT_EQ(pa.paper_size, pb.paper_size);
    EXPECT_EQ(pa.zoom, pb.zoom);
    EXPECT_EQ(pa.fit_wide, pb.fit_wide);
    EXPECT_EQ(pa.fit_tall, pb.fit_tall);
    EXPECT_EQ(pa.first_page_number, pb.first_page_number);
    EXPECT_EQ(pa.order, pb.order);
    EXPECT_EQ(pa.black_and_white, pb.black_and_white);
    EXPECT_EQ(pa.draft, pb.draft);
    EXPECT_EQ(pa.print_gridlines, pb.print_gridlines);
    EXPECT_EQ(pa.print_headings, pb.print_headings);
    EXPECT_EQ(pa.print_comments, pb.print_comments);
    EXPECT_EQ(pa.center_horizontally, pb.center_horizontally);
    EXPECT_EQ(pa.center_vertically, pb.center_vertically);
    EXPECT_EQ(pa.print_area, pb.print_area);
    EXPECT_EQ(XmlExtrasOf(pa.header_footer), XmlExtrasOf(pb.header_footer));
    EXPECT_EQ(sa.row_breaks(), sb.row_breaks());
    const host::SheetView &va = sa.view(), &vb = sb.view();
    EXPECT_EQ(va.display_gridlines, vb.display_gridlines);
    EXPECT_EQ(va.selection, vb.selection);
    EXPECT_EQ(va.active_cell, vb.active_cell);
    EXPECT_EQ(va.top_left, vb.top_left);
    EXPECT_EQ(va.zoom, vb.zoom);
    EXPECT_EQ(sa.is_protected(), sb.is_protected());
    EXPECT_NEAR(sa.default_row_height(), sb.default_row_height(), 1e-9);
    EXPECT_NEAR(sa.default_column_width(), sb.default_column_width(), 1e-9);
    // Bare cells (no value, no format) need not survive; compare every cell either side holds.
    const host::Area ua = sa.UsedArea(), ub = sb.UsedArea();
    const host::Area used{std::min(ua.top, ub.top), std::min(ua.left, ub.left),
                          std::max(ua.bottom, ub.bottom), std::max(ua.right, ub.right)};
    int differences = 0;
    auto compare = [&](int32_t r, const host::Cell& c) {
      if (differences > 5) return;
      const std::string where = sa.name() + "!R" + std::to_string(r) + "C" + std::to_string(c.col);
      const host::CellValue va = sa.Value(r, c.col), vb = sb.Value(r, c.col);
      if (!(va == vb)) {
        ADD_FAILURE() << where << " value differs";
        ++differences;
      }
      if (!(sa.StyleAt(r, c.col) == sb.StyleAt(r, c.col))) {
        ADD_FAILURE() << where << " style differs";
        ++differences;
      }
      const host::CellExtra* ea = sa.Extra(r, c.col);
      const host::CellExtra* eb = sb.Extra(r, c.col);
      host::CellExtra empty;
      const host::CellExtra& xa = ea ? *ea : empty;
      const host::CellExtra& xb = eb ? *eb : empty;
      if (!(xa.runs == xb.runs) || !(xa.phonetic == xb.phonetic) || xa.formula != xb.formula) {
        ADD_FAILURE() << where << " runs, phonetic or formula differ";
        ++differences;
      }
      if (xa.comment.has_value() != xb.comment.has_value() ||
          (xa.comment &&
           (xa.comment->text != xb.comment->text || xa.comment->author != xb.comment->author ||
            !(xa.comment->runs == xb.comment->runs) || xa.comment->visible != xb.comment->visible ||
            std::fabs(xa.comment->width - xb.comment->width) > 0.01 ||
            std::fabs(xa.comment->height - xb.comment->height) > 0.01))) {
        ADD_FAILURE() << where << " comment differs";
        ++differences;
      }
    };
    sa.cells().ForEachCell(used, compare);
    sb.cells().ForEachCell(used, compare);
    EXPECT_EQ(sa.CommentCount(), sb.CommentCount());
    for (int32_t r = 1; r <= std::min(used.bottom + 2, 2000); ++r) {
      EXPECT_NEAR(sa.RowHeight(r), sb.RowHeight(r), 1e-6) << "row " << r;
    }
    for (int32_t c = 1; c <= std::max(sa.MaxColumnInfo(), sb.MaxColumnInfo()); ++c) {
      EXPECT_NEAR(sa.ColumnWidth(c), sb.ColumnWidth(c), 1e-6) << "column " << c;
      const host::ColumnInfo* ca = sa.Column(c);
      const host::ColumnInfo* cb = sb.Column(c);
      EXPECT_EQ(ca && ca->hidden, cb && cb->hidden);
    }
  }
}

}  // namespace tessarin::ooxml::testing
