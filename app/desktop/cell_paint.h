// Painting a rectangle of a sheet's cells for the grid and the preview.
#pragma once

#include <QPointF>

#include "core/host/geometry.h"
#include "core/host/worksheet.h"

class QPainter;

namespace tessarin::desktop {

// Paints the cells of `area` with its top-left corner at `origin`, in points (the caller scales
// the painter for its resolution and zoom): gridlines when asked, every cell's displayed text in
// its font and alignment (stacked vertical text top to bottom), then the borders. Reads only.
void PaintCells(QPainter& painter, const host::Worksheet& sheet, const host::Area& area, QPointF origin,
                bool gridlines);

}  // namespace tessarin::desktop
