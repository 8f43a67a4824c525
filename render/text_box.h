// Horizontal text in a box, laid out and painted by the cell text code, for pages that are no
// sheet's (the stroke-order key, the class report).
#pragma once

#include <QRectF>
#include <string_view>

#include "core/host/constants.h"

class QPainter;

namespace tessarin::render {

class FontCatalog;

struct TextBoxStyle {
  std::string_view font = "BIZ UDPGothic";  // a workbook font name (FontCatalog::FamilyFor)
  double size = 10.5;                       // points
  bool bold = false;
  int horizontal = host::kXlLeft;  // kXlLeft, kXlCenter or kXlRight
  int color_index = host::kXlAutomatic;
  bool shrink = true;  // a text too long for the box is made smaller, never cut
};

// Paints `text` (UTF-8) in one line centred vertically in `box` (points).
void PaintTextBox(QPainter& painter, FontCatalog& fonts, std::string_view text, const QRectF& box,
                  const TextBoxStyle& style = {});

}  // namespace tessarin::render
