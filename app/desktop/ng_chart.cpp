// NgChart: bars, their totals above them and the attempt numbers below, drawn with QPainter.
#include "app/desktop/ng_chart.h"

#include <QPainter>
#include <algorithm>

namespace tessarin::desktop {
namespace {

const QColor kBar(0xC0, 0x39, 0x2B);
const QColor kAxis(0x60, 0x60, 0x60);
constexpr double kMargin = 8;
constexpr double kTitleHeight = 20;
constexpr double kLabelHeight = 18;
constexpr double kValueHeight = 14;  // room for the total above the tallest bar

}  // namespace

NgChart::NgChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("NgChart"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void NgChart::SetTotals(const std::vector<int32_t>& totals, const QString& sheet_name) {
  totals_.clear();
  size_t shown = 1;
  for (size_t i = 0; i < totals.size(); ++i) {
    if (totals[i] > 0) shown = i + 1;
  }
  for (size_t i = 0; i < std::min(shown, totals.size()); ++i)
    totals_.push_back(std::max(0, totals[i]));
  if (totals_.empty()) totals_.push_back(0);
  sheet_name_ = sheet_name;
  update();
}

int32_t NgChart::AxisTop() const {
  const int64_t most = totals_.empty() ? 0 : *std::max_element(totals_.begin(), totals_.end());
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

QRectF NgChart::PlotArea() const {
  return QRectF(QPointF(kMargin + 24, kMargin + kTitleHeight + kValueHeight),
                QPointF(width() - kMargin, height() - kMargin - kLabelHeight));
}

QRectF NgChart::BarRect(size_t index) const {
  if (index >= totals_.size() || totals_[index] <= 0) return {};
  const QRectF plot = PlotArea();
  const double slot = plot.width() / static_cast<double>(totals_.size());
  const double bar_width = std::min(slot * 0.6, 36.0);
  const double bar_height = plot.height() * totals_[index] / AxisTop();
  const double left = plot.left() + slot * static_cast<double>(index) + (slot - bar_width) / 2;
  return QRectF(left, plot.bottom() - bar_height, bar_width, bar_height);
}

void NgChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QRectF plot = PlotArea();
  if (plot.width() <= 0 || plot.height() <= 0) return;

  QFont title_font = font();
  title_font.setBold(true);
  painter.setFont(title_font);
  painter.setPen(palette().text().color());
  painter.drawText(QRectF(kMargin, kMargin, width() - 2 * kMargin, kTitleHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("間違い数の推移  %1").arg(sheet_name_));
  painter.setFont(font());

  // The value axis: its top and zero.
  painter.setPen(QPen(kAxis, 1));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
  const QRectF axis_labels(kMargin, plot.top() - 7, plot.left() - kMargin - 3, plot.height() + 14);
  painter.drawText(axis_labels, Qt::AlignRight | Qt::AlignTop, QString::number(AxisTop()));
  painter.drawText(axis_labels, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));

  const double slot = plot.width() / static_cast<double>(totals_.size());
  for (size_t i = 0; i < totals_.size(); ++i) {
    const QRectF slot_box(plot.left() + slot * static_cast<double>(i), plot.top(), slot,
                          plot.height());
    const QRectF bar = BarRect(i);
    if (!bar.isEmpty()) painter.fillRect(bar, kBar);
    const double value_bottom = bar.isEmpty() ? plot.bottom() : bar.top();
    painter.setPen(palette().text().color());
    painter.drawText(QRectF(slot_box.left(), value_bottom - kValueHeight, slot, kValueHeight),
                     Qt::AlignHCenter | Qt::AlignBottom, QString::number(totals_[i]));
    painter.setPen(kAxis);
    painter.drawText(QRectF(slot_box.left(), plot.bottom() + 2, slot, kLabelHeight),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("%1回").arg(i + 1));
  }
}

}  // namespace tessarin::desktop
