// Pagination of a sheet's print area.
#include "render/page_layout.h"

#include <algorithm>
#include <cmath>

#include "core/host/address.h"
#include "core/host/host_error.h"
#include "core/host/paper.h"
#include "core/host/units.h"

namespace tessarin::render {
namespace {

// The row-number column of printed headings, in points at 100%.
constexpr double kHeadingWidth = 27;

struct Band {
  int32_t first = 0;
  int32_t last = 0;
  double length = 0;  // points at zoom 100
};

// Cuts [first, last] into bands that fit `room` at `scale`, ending a band after every row in
// `breaks`. A single row or column longer than the room gets a band of its own.
template <typename SizeOf>
std::vector<Band> CutBands(int32_t first, int32_t last, double room, double scale,
                           const std::vector<int32_t>& breaks, SizeOf size_of) {
  std::vector<Band> bands;
  Band band{first, first - 1, 0};
  for (int32_t i = first; i <= last; ++i) {
    const double size = size_of(i);
    if (band.last >= band.first && (band.length + size) * scale > room + 1e-6) {
      bands.push_back(band);
      band = {i, i - 1, 0};
    }
    band.last = i;
    band.length += size;
    if (i < last && std::binary_search(breaks.begin(), breaks.end(), i)) {
      bands.push_back(band);
      band = {i + 1, i, 0};
    }
  }
  if (band.last >= band.first) bands.push_back(band);
  return bands;
}

double RowsHeight(const host::Worksheet& sheet, int32_t top, int32_t bottom) {
  double h = 0;
  for (int32_t r = top; r <= bottom; ++r) h += host::RowPoints(sheet, r);
  return h;
}

double ColumnsWidth(const host::Worksheet& sheet, int32_t left, int32_t right) {
  double w = 0;
  for (int32_t c = left; c <= right; ++c) w += host::ColumnPoints(sheet, c);
  return w;
}

// The print area, else the used area. Printing something other than what the user set aside
// would waste paper and hide the fault, so an unreadable print area is an error.
host::AreaList PrintedAreas(const host::Worksheet& sheet) {
  const std::string& print_area = sheet.page_setup().print_area;
  if (print_area.empty()) return host::AreaList(sheet.UsedArea());
  try {
    return host::ParseAddress(print_area);
  } catch (const host::HostError& e) {
    throw host::HostError(host::kErrApplicationDefined,
                          "The print area \"" + print_area + "\" of sheet \"" + sheet.name() +
                              "\" cannot be read (" + e.description() +
                              "); set the print area again or clear it.");
  }
}

}  // namespace

std::vector<int32_t> ManualRowBreaks(const host::Worksheet& sheet) {
  std::vector<int32_t> breaks;
  // The sheet holds each break as the first row of the new page; a page ends on the row above.
  for (int32_t first : sheet.row_breaks()) breaks.push_back(first - 1);
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
  return breaks;
}

PrintLayout LayoutPrintPages(const host::Worksheet& sheet) {
  const host::PageSetup& setup = sheet.page_setup();
  PrintLayout out;
  out.paper_size = setup.paper_size;
  out.landscape = setup.orientation == host::kXlLandscape;
  const host::PaperExtent paper = host::PaperPoints(setup.paper_size);
  out.paper = QSizeF(paper.width, paper.height);
  if (out.landscape) out.paper.transpose();
  const host::PaperExtent printable = host::PrintableArea(setup);
  out.printable = QRectF(setup.left_margin, setup.top_margin, printable.width, printable.height);
  if (out.printable.width() < 1 || out.printable.height() < 1) {
    out.printable = QRectF(QPointF(), out.paper);  // margins that leave no room: print edge to edge
  }

  const host::AreaList areas = PrintedAreas(sheet);

  // The zoom, or the scale that fits the first area into the pages asked for.
  const host::Area& first = areas.front();
  double scale = setup.zoom > 0 ? setup.zoom / 100.0 : 1.0;
  if (setup.zoom <= 0) {
    if (setup.fit_wide > 0) {
      scale = std::min(scale, out.printable.width() * setup.fit_wide /
                                  ColumnsWidth(sheet, first.left, first.right));
    }
    if (setup.fit_tall > 0) {
      scale = std::min(scale, out.printable.height() * setup.fit_tall /
                                  RowsHeight(sheet, first.top, first.bottom));
    }
  }
  const std::vector<int32_t> breaks = ManualRowBreaks(sheet);
  scale = std::clamp(scale, 0.1, 4.0);
  out.scale = scale;
  if (setup.print_headings) out.headings = QSizeF(kHeadingWidth, sheet.default_row_height());
  const QRectF room =
      out.printable.adjusted(out.headings.width() * scale, out.headings.height() * scale, 0, 0);

  int number = setup.first_page_number == host::kXlAutomatic ? 1 : setup.first_page_number;
  for (const host::Area& a : areas) {
    const std::vector<Band> rows = CutBands(a.top, a.bottom, room.height(), scale, breaks,
                                            [&](int32_t r) { return host::RowPoints(sheet, r); });
    const std::vector<Band> cols =
        CutBands(a.left, a.right, room.width(), scale, {},
                 [&](int32_t c) { return host::ColumnPoints(sheet, c); });
    const bool down_first = setup.order != host::kXlOverThenDown;
    const size_t outer = down_first ? cols.size() : rows.size(),
                 inner = down_first ? rows.size() : cols.size();
    for (size_t i = 0; i < outer; ++i) {
      for (size_t j = 0; j < inner; ++j) {
        const Band& r = rows[down_first ? j : i];
        const Band& c = cols[down_first ? i : j];
        const QSizeF size(c.length * scale, r.length * scale);
        QPointF at = room.topLeft();
        if (setup.center_horizontally) at.rx() += (room.width() - size.width()) / 2;
        if (setup.center_vertically) at.ry() += (room.height() - size.height()) / 2;
        out.pages.push_back(
            {host::Area{r.first, c.first, r.last, c.last}, QRectF(at, size), number++});
      }
    }
  }
  return out;
}

}  // namespace tessarin::render
