// The stroke-order answer key: layout, painting and the PDF.
#include "render/stroke_key.h"

#include <QFontDatabase>
#include <QPageSize>
#include <QPainter>

#include "core/host/constants.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "render/font_catalog.h"
#include "render/pdf_document.h"
#include "render/text_box.h"

namespace tessarin::render {
namespace {

// A4 portrait in points, and the page's frame.
const QSizeF kPaper = QPageSize(QPageSize::A4).size(QPageSize::Point);
constexpr double kMargin = 36;
constexpr double kHeaderHeight = 34;
constexpr double kColumnGap = 18;
// The stroke numbers are about a tenth of the em: a 64-point square prints them near 6 points,
// readable on paper. Kana stand in narrower cells at about half the size.
constexpr double kSquare = 64;
constexpr double kKanaWidth = 34;
constexpr double kKanaSize = 26;
constexpr double kCellGap = 3;
constexpr double kSentenceHeight = 18;
constexpr double kSentenceGap = 4;
constexpr double kLineGap = 6;
constexpr double kEntryGap = 12;
constexpr double kNumberWidth = 28;
constexpr std::string_view kTextFont = "BIZ UDPGothic";

double ColumnWidth() { return (kPaper.width() - 2 * kMargin - kColumnGap) / 2; }

// Kanji take a square in the stroke-order font; everything else is written in the ordinary one.
bool IsKanji(char32_t c) {
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

struct AnswerCell {
  char32_t c = 0;
  bool kanji = false;
  QPointF at;  // top-left, from the entry's first square line
};

// The answer's cells, wrapped to `width`; `lines` receives the number of square lines (at least 1).
std::vector<AnswerCell> AnswerCells(const std::string& answer, double width, int* lines) {
  std::vector<AnswerCell> cells;
  double x = 0, y = 0;
  *lines = 1;
  for (char32_t c : host::CodePoints(answer)) {
    if (c == U' ' || c == U'\u3000') continue;
    const bool kanji = IsKanji(c);
    const double w = kanji ? kSquare : kKanaWidth;
    if (x > 0 && x + w > width) {
      x = 0;
      y += kSquare + kLineGap;
      ++*lines;
    }
    cells.push_back({c, kanji, QPointF(x, y)});
    x += w + kCellGap;
  }
  return cells;
}

double EntryHeight(const marking::KeyQuestion& q) {
  int lines = 1;
  AnswerCells(q.answer, ColumnWidth(), &lines);
  return kSentenceHeight + kSentenceGap + lines * kSquare + (lines - 1) * kLineGap + kEntryGap;
}

// Paints `text` in `box` in the ordinary font, shrunk to fit when it is too long.
void PaintText(QPainter& painter, FontCatalog& fonts, std::string_view text, const QRectF& box,
               double size, bool bold, int horizontal, int color_index = host::kXlAutomatic) {
  PaintTextBox(painter, fonts, text, box, {kTextFont, size, bold, horizontal, color_index});
}

// One character centred in `box`, without shrinking.
void PaintGlyph(QPainter& painter, FontCatalog& fonts, char32_t c, std::string_view font,
                double size, const QRectF& box) {
  std::string utf8;
  host::AppendUtf8(utf8, c);
  PaintTextBox(painter, fonts, utf8, box,
               {font, size, false, host::kXlCenter, host::kXlAutomatic, false});
}

void PaintEntry(QPainter& painter, FontCatalog& fonts, const marking::KeyQuestion& q,
                const QRectF& box) {
  const QRectF number(box.left(), box.top(), kNumberWidth, kSentenceHeight);
  PaintText(painter, fonts, q.number > 0 ? std::to_string(q.number) + "." : "", number, 11, true,
            host::kXlRight);
  const QRectF sentence(box.left() + kNumberWidth + 6, box.top(), box.width() - kNumberWidth - 6,
                        kSentenceHeight);
  PaintText(painter, fonts, q.question, sentence, 10.5, false, host::kXlLeft);

  const QPointF origin(box.left() + kNumberWidth + 6, box.top() + kSentenceHeight + kSentenceGap);
  int lines = 1;
  const std::vector<AnswerCell> cells = AnswerCells(q.answer, box.right() - origin.x(), &lines);
  if (cells.empty()) {
    // No answer to show (none in column E, or the question is no longer in the sheet): say so
    // rather than leave a blank that reads as a printing fault.
    PaintText(painter, fonts, "（解答がありません）", QRectF(origin, QSizeF(200, kSquare)), 10,
              false, host::kXlLeft, 16);
    return;
  }
  for (const AnswerCell& cell : cells) {
    const QPointF at = origin + cell.at;
    if (cell.kanji) {
      const QRectF square(at, QSizeF(kSquare, kSquare));
      painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 0.8));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(square);
      PaintGlyph(painter, fonts, cell.c, kStrokeFontFamily, kSquare * 0.92, square);
    } else {
      PaintGlyph(painter, fonts, cell.c, kTextFont, kKanaSize,
                 QRectF(at, QSizeF(kKanaWidth, kSquare)));
    }
  }
}

}  // namespace

bool StrokeFontInstalled() {
  return QFontDatabase::hasFamily(QString::fromUtf8(
      kStrokeFontFamily.data(), static_cast<qsizetype>(kStrokeFontFamily.size())));
}

std::vector<StrokeKeyPage> LayoutStrokeKey(
    const std::vector<std::vector<marking::KeyQuestion>>& test_pages) {
  std::vector<StrokeKeyPage> pages;
  const double top = kMargin + kHeaderHeight, bottom = kPaper.height() - kMargin;
  const double width = ColumnWidth();
  for (size_t t = 0; t < test_pages.size(); ++t) {
    const size_t first_page = pages.size();
    int column = 2;  // full: the first question opens a page
    double y = bottom;
    for (size_t i = 0; i < test_pages[t].size(); ++i) {
      const double height = EntryHeight(test_pages[t][i]);
      if (y + height > bottom && y > top) {
        if (++column > 1) {
          pages.push_back({t, 0, 0, {}});
          column = 0;
        }
        y = top;
      }
      const double left = kMargin + column * (width + kColumnGap);
      pages.back().entries.push_back({i, QRectF(left, y, width, height)});
      y += height;
    }
    const int parts = static_cast<int>(pages.size() - first_page);
    for (int p = 0; p < parts; ++p) {
      pages[first_page + p].part = p + 1;
      pages[first_page + p].parts = parts;
    }
  }
  return pages;
}

void PaintStrokeKeyPage(QPainter& painter, FontCatalog& fonts, const std::string& title,
                        const std::vector<std::vector<marking::KeyQuestion>>& test_pages,
                        const StrokeKeyPage& page) {
  const double width = kPaper.width() - 2 * kMargin;
  PaintText(painter, fonts, "書き順つき解答　" + title, QRectF(kMargin, kMargin, width * 0.7, 22),
            14, true, host::kXlLeft);
  std::string where = "テスト " + std::to_string(page.test_page + 1) + " ページ目";
  if (page.parts > 1)
    where += "（" + std::to_string(page.part) + "/" + std::to_string(page.parts) + "）";
  PaintText(painter, fonts, where, QRectF(kMargin + width * 0.7, kMargin, width * 0.3, 22), 10,
            false, host::kXlRight);
  painter.setPen(QPen(Qt::black, 0.75));
  painter.drawLine(QPointF(kMargin, kMargin + 26), QPointF(kMargin + width, kMargin + 26));
  for (const KeyEntryPlace& entry : page.entries) {
    PaintEntry(painter, fonts, test_pages[page.test_page][entry.question], entry.box);
  }
}

int WriteStrokeKeyPdf(const std::string& title,
                      const std::vector<std::vector<marking::KeyQuestion>>& test_pages,
                      const std::string& path) {
  if (!StrokeFontInstalled()) {
    throw host::HostError(host::kErrFileNotFound,
                          "the stroke-order font KanjiStrokeOrders is not installed (package "
                          "fonts-kanjistrokeorders)");
  }
  const std::vector<StrokeKeyPage> pages = LayoutStrokeKey(test_pages);
  if (pages.empty()) {
    throw host::HostError(host::kErrApplicationDefined, "the test sheet holds no question");
  }
  PdfDocument pdf("書き順つき解答 " + title);
  for (const StrokeKeyPage& page : pages) {
    PaintStrokeKeyPage(pdf.NewPage(kPaper), pdf.fonts(), title, test_pages, page);
  }
  pdf.Save(path);
  return static_cast<int>(pages.size());
}

}  // namespace tessarin::render
