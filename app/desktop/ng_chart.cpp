// NgChart: the wrong-answer totals as a render::BarChart, painted by render's chart painter.
#include "app/desktop/ng_chart.h"

#include <QPainter>
#include <algorithm>

namespace tessarin::desktop {

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

render::BarChart NgChart::Chart() const {
  render::BarChart chart{QStringLiteral("間違い数の推移  %1").arg(sheet_name_), totals_, {}};
  for (size_t i = 0; i < totals_.size(); ++i)
    chart.labels.push_back(QStringLiteral("%1回").arg(i + 1));
  return chart;
}

QRectF NgChart::BarRect(size_t index) const {
  return render::BarChartBarRect(Chart(), QRectF(rect()), index);
}

void NgChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  render::PaintBarChart(painter, Chart(), QRectF(rect()), font(), palette().text().color());
}

}  // namespace tessarin::desktop
