// Paper sizes, printable areas and the fitting zoom.
#include "core/host/paper.h"

#include <algorithm>

#include "core/host/constants.h"

namespace tessarin::host {
namespace {

constexpr double kPointsPerMm = 72 / 25.4;

struct KnownPaper {
  int number;
  double width_mm;
  double height_mm;
};

// The sizes printers offer in Japan and the Americas; inches are given as exact millimetres.
constexpr KnownPaper kPapers[] = {
    {1, 215.9, 279.4},                       // Letter
    {3, 279.4, 431.8},                       // Tabloid
    {4, 431.8, 279.4},                       // Ledger: the tabloid sheet lying on its long side
    {5, 215.9, 355.6},                       // Legal
    {7, 184.15, 266.7},                      // Executive
    {8, 297, 420},                           // A3
    {kXlPaperA4, 210, 297}, {11, 148, 210},  // A5
    {12, 257, 364},                          // B4 (JIS)
    {13, 182, 257},                          // B5 (JIS)
    {43, 100, 148},                          // Japanese postcard
    {70, 105, 148},                          // A6
};

// Products of decimals such as 627.25 * 0.91 land a hair off the exact value; a block that
// overshoots by less than this still fits.
constexpr double kSlack = 1e-9;

}  // namespace

PaperExtent PaperPoints(int paper_size) {
  for (const KnownPaper& p : kPapers) {
    if (p.number == paper_size) return {p.width_mm * kPointsPerMm, p.height_mm * kPointsPerMm};
  }
  return PaperPoints(kXlPaperA4);
}

PaperExtent PrintableArea(const PageSetup& setup) {
  PaperExtent paper = PaperPoints(setup.paper_size);
  if (setup.orientation == kXlLandscape) std::swap(paper.width, paper.height);
  return {std::max(0.0, paper.width - setup.left_margin - setup.right_margin),
          std::max(0.0, paper.height - setup.top_margin - setup.bottom_margin)};
}

int FittingZoom(const PageSetup& setup, double width, double height) {
  const PaperExtent area = PrintableArea(setup);
  int zoom = 100;
  auto fits = [&](int percent) {
    return width * percent <= area.width * 100 + kSlack &&
           height * percent <= area.height * 100 + kSlack;
  };
  while (zoom > 10 && !fits(zoom)) --zoom;
  return zoom;
}

}  // namespace tessarin::host
