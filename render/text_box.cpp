// PaintTextBox: one cell's text layout and painting, without a sheet.
#include "render/text_box.h"

#include <string>

#include "core/host/style.h"
#include "render/cell_painter.h"
#include "render/cell_text.h"

namespace tessarin::render {

void PaintTextBox(QPainter& painter, FontCatalog& fonts, std::string_view text, const QRectF& box,
                  const TextBoxStyle& style) {
  host::Style cell;
  cell.font.name = std::string(style.font);
  cell.font.size = style.size;
  cell.font.bold = style.bold;
  cell.font.color_index = style.color_index;
  cell.horizontal = style.horizontal;
  cell.vertical = host::kXlCenter;
  cell.shrink = style.shrink;
  const CellTextLayout layout =
      LayoutCellText(fonts, StyledText::Plain(text, cell.font), cell, box, 0);
  CellPainter::PaintText(painter, layout, box, box);
}

}  // namespace tessarin::render
