// The class report's pages: heading, chart, learner table (continued on further pages).
#include "render/class_report_pdf.h"

#include <QFont>
#include <QPageSize>
#include <QPainter>

#include "render/bar_chart.h"
#include "render/pdf_document.h"
#include "render/text_box.h"

namespace tessarin::render {
namespace {

const QSizeF kPaper = QPageSize(QPageSize::A4).size(QPageSize::Point);
constexpr double kMargin = 42;
constexpr double kRow = 18;
constexpr double kChartHeight = 240;
// The table's columns: name, tests taken, mistakes; as shares of the width.
constexpr double kColumns[] = {0.5, 0.25, 0.25};

double Width() { return kPaper.width() - 2 * kMargin; }

// One table row at `top`; the heading row is bold over a light rule.
void PaintRow(QPainter& painter, FontCatalog& fonts, double top, const std::string (&cells)[3],
              bool heading) {
  double left = kMargin;
  for (int i = 0; i < 3; ++i) {
    const double width = Width() * kColumns[i];
    PaintTextBox(
        painter, fonts, cells[i], QRectF(left + 4, top, width - 8, kRow),
        {.size = 10.5, .bold = heading, .horizontal = i == 0 ? host::kXlLeft : host::kXlRight});
    left += width;
  }
  painter.setPen(QPen(heading ? Qt::black : QColor(0xC0, 0xC0, 0xC0), heading ? 0.8 : 0.4));
  painter.drawLine(QPointF(kMargin, top + kRow), QPointF(kMargin + Width(), top + kRow));
}

}  // namespace

int WriteClassReportPdf(const reports::ClassRecord& record, const std::string& title,
                        const std::string& path) {
  PdfDocument pdf(title);
  QPainter* painter = &pdf.NewPage(kPaper);
  FontCatalog& fonts = pdf.fonts();
  PaintTextBox(*painter, fonts, title, QRectF(kMargin, kMargin, Width(), 24),
               {.size = 16, .bold = true});
  double y = kMargin + 32;

  BarChart chart{QStringLiteral("間違えた人数の多い漢字（人）"), {}, {}};
  for (const reports::MissedKanji& kanji : record.MostMissed()) {
    if (chart.values.size() == kClassChartBars) break;
    chart.values.push_back(kanji.learners);
    chart.labels.push_back(QString::fromStdString(kanji.kanji));
  }
  if (chart.values.empty()) {
    PaintTextBox(*painter, fonts, "間違えた漢字はありません。", QRectF(kMargin, y, Width(), kRow));
    y += 2 * kRow;
  } else {
    QFont font(QStringLiteral("BIZ UDPGothic"));
    font.setPointSizeF(10);
    PaintBarChart(*painter, chart, QRectF(kMargin, y, Width(), kChartHeight), font, Qt::black);
    y += kChartHeight + kRow;
  }

  const std::string heading[3] = {"氏名", "テスト回数", "間違い数"};
  PaintRow(*painter, fonts, y, heading, true);
  y += kRow;
  for (const reports::LearnerSummary& learner : record.learners()) {
    if (y + kRow > kPaper.height() - kMargin) {
      painter = &pdf.NewPage(kPaper);
      y = kMargin;
      PaintRow(*painter, fonts, y, heading, true);
      y += kRow;
    }
    const std::string cells[3] = {learner.name, std::to_string(learner.tests),
                                  std::to_string(learner.mistakes)};
    PaintRow(*painter, fonts, y, cells, false);
    y += kRow;
  }
  pdf.Save(path);
  return pdf.pages();
}

}  // namespace tessarin::render
