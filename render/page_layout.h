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

// Lays out the print pages of `sheet`. Each area of the print area (else the used area), cut at
// the last row and column that hold a cell, is cut into pages at manual breaks and where the
// printable area is full, at the page setup's zoom (or the fit-to-pages scale); pages go down
// then over, or over then down, as the setup says. A page holding no cell is left out, so the
// work is bounded by what the sheet holds; a sheet with nothing to print has no pages.
//
// Test sheets print one test page per sheet of paper: the page is cut after every test page, and
// when a test page does not fit at the zoom the whole sheet is scaled down uniformly, to the
// largest whole percentage at which it fits.
PrintLayout LayoutPrintPages(const host::Worksheet& sheet);

// The rows after which a page ends by hand, ascending: the sheet's manual page breaks, and on a
// test sheet the end of every test page.
std::vector<int32_t> ManualRowBreaks(const host::Worksheet& sheet);

// Rows per test page when `sheet` is a test sheet (8 or 4), else 0.
int32_t TestPageRows(const host::Worksheet& sheet);

}  // namespace tessarin::render
