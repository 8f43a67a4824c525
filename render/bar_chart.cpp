// BarChart: bars, their values above them and their labels below, drawn with QPainter.
#include "render/bar_chart.h"

#include <QPainter>
#include <algorithm>

namespace tessarin::render {
namespace {

const QColor kBar(0xC0, 0x39, 0x2B);
const QColor kAxis(0x60, 0x60, 0x60);
constexpr double kMargin = 8;
constexpr double kTitleHeight = 20;
constexpr double kLabelHeight = 18;
constexpr double kValueHeight = 14;  // room for the value above the tallest bar

// The area the bars stand in, below the title and above the labels.
QRectF PlotArea(const QRectF& box) {
  return QRectF(
      QPointF(box.left() + kMargin + 24, box.top() + kMargin + kTitleHeight + kValueHeight),
      QPointF(box.right() - kMargin, box.bottom() - kMargin - kLabelHeight));
}

}  // namespace

int32_t BarChartAxisTop(const std::vector<int32_t>& values) {
  const int64_t most = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  // Steps of 1, 2, 5, 10, 20, 50 ...: the axis ends on the first multiple of the smallest step
  // that needs at most five steps to reach the tallest bar.
  int64_t step = 1;
  for (int64_t decade = 1; most > step * 5; decade *= 10) {
    for (int64_t m : {1, 2, 5}) {
      step = m * decade;
      if (most <= step * 5) break;
    }
  }
  return static_cast<int32_t>(std::max<int64_t>(1, (most + step - 1) / step * step));
}

QRectF BarChartBarRect(const BarChart& chart, const QRectF& box, size_t index) {
  if (index >= chart.values.size() || chart.values[index] <= 0) return {};
  const QRectF plot = PlotArea(box);
  const double slot = plot.width() / static_cast<double>(chart.values.size());
  const double bar_width = std::min(slot * 0.6, 36.0);
  const double bar_height = plot.height() * chart.values[index] / BarChartAxisTop(chart.values);
  const double left = plot.left() + slot * static_cast<double>(index) + (slot - bar_width) / 2;
  return QRectF(left, plot.bottom() - bar_height, bar_width, bar_height);
}

void PaintBarChart(QPainter& painter, const BarChart& chart, const QRectF& box, const QFont& font,
                   const QColor& text) {
  const QRectF plot = PlotArea(box);
  if (plot.width() <= 0 || plot.height() <= 0 || chart.values.empty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  QFont title_font = font;
  title_font.setBold(true);
  painter.setFont(title_font);
  painter.setPen(text);
  painter.drawText(
      QRectF(box.left() + kMargin, box.top() + kMargin, box.width() - 2 * kMargin, kTitleHeight),
      Qt::AlignLeft | Qt::AlignVCenter, chart.title);
  painter.setFont(font);

  // The value axis: its top and zero.
  painter.setPen(QPen(kAxis, 1));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
  const QRectF axis_labels(box.left() + kMargin, plot.top() - 7,
                           plot.left() - box.left() - kMargin - 3, plot.height() + 14);
  painter.drawText(axis_labels, Qt::AlignRight | Qt::AlignTop,
                   QString::number(BarChartAxisTop(chart.values)));
  painter.drawText(axis_labels, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));

  const double slot = plot.width() / static_cast<double>(chart.values.size());
  for (size_t i = 0; i < chart.values.size(); ++i) {
    const QRectF slot_box(plot.left() + slot * static_cast<double>(i), plot.top(), slot,
                          plot.height());
    const QRectF bar = BarChartBarRect(chart, box, i);
    if (!bar.isEmpty()) painter.fillRect(bar, kBar);
    const double value_bottom = bar.isEmpty() ? plot.bottom() : bar.top();
    painter.setPen(text);
    painter.drawText(QRectF(slot_box.left(), value_bottom - kValueHeight, slot, kValueHeight),
                     Qt::AlignHCenter | Qt::AlignBottom,
                     QString::number(std::max(0, chart.values[i])));
    painter.setPen(kAxis);
    if (i < chart.labels.size()) {
      painter.drawText(QRectF(slot_box.left(), plot.bottom() + 2, slot, kLabelHeight),
                       Qt::AlignHCenter | Qt::AlignTop, chart.labels[i]);
    }
  }
  painter.restore();
}

}  // namespace tessarin::render
