// Pagination: which cells of a sheet go on which sheet of paper, and where, from the sheet's page
// setup, print area, manual page breaks, row heights and column widths.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <string>
#include <vector>

#include "core/host/geometry.h"
#include "core/host/worksheet.h"

namespace tessarin::render {

struct PrintPage {
  host::Area area;  // the cells on this page
  QRectF frame;     // where the area lands on the paper, in points (the zoom applied)
  int number = 1;   // the page number (first page number onwards)
};

struct PrintLayout {
  QSizeF paper;  // points, turned for landscape
  bool landscape = false;
  int paper_size = 9;  // the host's paper size code (host::PaperPoints)
  double scale = 1;    // the zoom the pages are printed at
  QRectF printable;    // the paper inside the margins
  QSizeF headings{0,
                  0};  // row-number column width and column-letter row height (points at 100%),
                       // empty unless the setup prints headings; they stand left of and above frame
  std::vector<PrintPage> pages;
};

// Lays out the print pages of `sheet`. Each area of the print area (else the used area) is cut
// into pages at the sheet's manual breaks and where the printable area is full, at the page
// setup's zoom (or the fit-to-pages scale); pages go down then over, or over then down, as the
// setup says. What the sheet is for plays no part: a sheet that wants each block of rows on a
// sheet of paper of its own stores a break after each and a zoom at which each fits.
// Throws host::HostError 1004 naming the sheet when its print area cannot be read.
PrintLayout LayoutPrintPages(const host::Worksheet& sheet);

// The rows after which a page ends by hand, ascending: the sheet's manual page breaks.
std::vector<int32_t> ManualRowBreaks(const host::Worksheet& sheet);

}  // namespace tessarin::render
