// Paper sizes by the host's paper numbers, the printable area a page setup leaves on them, and
// the largest zoom at which a block of the sheet fits that area.
#pragma once

#include "core/host/sheet_parts.h"

namespace tessarin::host {

// Width and height in points.
struct PaperExtent {
  double width = 0;
  double height = 0;
};

// The portrait size of paper number `paper_size` (kXlPaperA4 = 9, 8 A3, 11 A5, 12 B4, 13 B5,
// 1 Letter, 5 Legal ...). A number this host has no size for is taken as A4, as a printer
// without that paper would.
PaperExtent PaperPoints(int paper_size);

// The area inside the margins of the setup's paper, turned for its orientation; a header or
// footer lies inside the top and bottom margins. Never negative.
PaperExtent PrintableArea(const PageSetup& setup);

// The largest whole percent in 10 .. 100 at which a block `width` x `height` points fits
// PrintableArea(setup); 10 when even that is too big.
int FittingZoom(const PageSetup& setup, double width, double height);

}  // namespace tessarin::host
