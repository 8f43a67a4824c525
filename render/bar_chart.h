// BarChart: a small bar chart painted through QPainter, one bar a value with its number above
// and its label below. The window's wrong-answer chart and the class report's chart of the most
// missed kanji paint through it.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

class QPainter;

namespace tessarin::render {

struct BarChart {
  QString title;
  std::vector<int32_t> values;  // one bar each; negative values count as 0
  std::vector<QString> labels;  // below the bars, as many as values (missing ones are blank)
};

// The value the axis reaches: the largest value rounded up to a whole step of 1, 2, 5, 10, 20,
// 50 ..., at most five steps; at least 1.
int32_t BarChartAxisTop(const std::vector<int32_t>& values);

// The bar of value `index` when the chart fills `box` (empty for a value of 0 or no such bar).
QRectF BarChartBarRect(const BarChart& chart, const QRectF& box, size_t index);

// Paints `chart` in `box` (the background is left as it is) with `font` in `text` colour.
void PaintBarChart(QPainter& painter, const BarChart& chart, const QRectF& box, const QFont& font,
                   const QColor& text);

}  // namespace tessarin::render
