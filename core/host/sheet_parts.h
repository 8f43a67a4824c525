// The sheet-level records of the model: columns, page setup, sheet view.
#pragma once

#include <string>
#include <vector>

#include "core/host/constants.h"
#include "core/host/geometry.h"
#include "core/host/style.h"

namespace tessarin::host {

// Default column width of a Japanese-locale workbook, in characters of the default font.
inline constexpr double kDefaultColumnWidth = 8.38;

struct ColumnInfo {
  double width = -1;  // characters; negative: the sheet's default width
  StyleId style = kDefaultStyle;
  bool has_style = false;
  bool hidden = false;
  FileExtrasRef file_extras;  // other attributes from a file (outline level, best fit, ...)
  bool Empty() const { return width < 0 && !has_style && !hidden && !file_extras; }
  friend bool operator==(const ColumnInfo&, const ColumnInfo&) = default;
};

struct PageSetup {
  // Margins in points; the host's defaults for a new sheet.
  double left_margin = 0.7 * 72;
  double right_margin = 0.7 * 72;
  double top_margin = 0.75 * 72;
  double bottom_margin = 0.75 * 72;
  double header_margin = 0.3 * 72;
  double footer_margin = 0.3 * 72;
  bool center_horizontally = false;
  bool center_vertically = false;
  int orientation = kXlPortrait;
  int paper_size = kXlPaperA4;
  int zoom = 100;    // percent; 0 when fit_to_pages is used
  int fit_wide = 0;  // pages wide when fitting, 0 = not set
  int fit_tall = 0;
  int first_page_number = kXlAutomatic;
  int order = kXlDownThenOver;
  bool black_and_white = false;
  bool draft = false;
  bool print_gridlines = false;
  bool print_headings = false;
  int print_comments = kXlPrintNoComments;
  std::string print_area;       // A1 text without $ or sheet name, "" for none
  FileExtrasRef header_footer;  // headers and footers, kept as a file had them
  friend bool operator==(const PageSetup&, const PageSetup&) = default;
};

struct SheetView {
  bool display_gridlines = true;
  std::vector<Area> selection{Area::Cell(1, 1)};
  CellRef active_cell{1, 1};
  CellRef top_left{1, 1};
  int zoom = 100;
  bool tab_selected = false;
  friend bool operator==(const SheetView&, const SheetView&) = default;
};

enum class SheetVisibility { kVisible, kHidden, kVeryHidden };

}  // namespace tessarin::host
