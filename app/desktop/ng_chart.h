// NgChart: a small bar chart of the wrong-answer totals attempt after attempt, shown beside the
// wrong-answer report's messages so the learner sees the trend at a glance (render/bar_chart.h
// paints it).
#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "render/bar_chart.h"

namespace tessarin::desktop {

class NgChart : public QWidget {
  Q_OBJECT

 public:
  explicit NgChart(QWidget* parent = nullptr);

  // Shows `totals` (attempt 1 first) of the question sheet `sheet_name`. Attempts after the last
  // one with a wrong mark are left out, attempt 1 always stays; negative totals count as 0.
  void SetTotals(const std::vector<int32_t>& totals, const QString& sheet_name);
  // The totals shown, one bar each.
  const std::vector<int32_t>& totals() const { return totals_; }
  // The bar of attempt `index` + 1 in widget pixels (empty for a total of 0 or no such bar).
  QRectF BarRect(size_t index) const;

  QSize sizeHint() const override { return {260, 180}; }
  QSize minimumSizeHint() const override { return {180, 120}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The totals as the chart painter takes them: one bar an attempt, labelled "1回" ...
  render::BarChart Chart() const;

  std::vector<int32_t> totals_;
  QString sheet_name_;
};

}  // namespace tessarin::desktop
