// Cell text on numbers: where each glyph of a vertical question lands, punctuation corners,
// turned marks, upright Latin, side lines, ruby, shrink to fit, wrap and alignment.
#include "render/cell_text.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTransform>

#include "core/host/units.h"
#include "render/cell_painter.h"
#include "tests/render/render_fixture.h"

namespace tessarin::render {
namespace {

class CellTextTest : public RenderTest {
 protected:
  // A stacked vertical cell in B2, top aligned, as test creation formats a question.
  CellTextLayout Vertical(std::string_view text, double size = 11, double height = 190,
                          bool shrink = true) {
    host::Range cell = At("B2");
    // Typing the same text again would drop its runs and phonetic guide.
    if (cell.Text() != text) cell.SetText(text);
    cell.SetOrientation(host::kXlVertical);
    cell.SetVerticalAlignment(host::kXlTop);
    cell.SetShrinkToFit(shrink);
    cell.Font().SetSize(size);
    return CellPainter(fonts_).Layout(Worksheet(), 2, 2, QRectF(100, 50, 42, height));
  }
  CellTextLayout Horizontal(const QRectF& box) {
    return CellPainter(fonts_).Layout(Worksheet(), 2, 2, box);
  }

  // The glyphs of the cell text (not ruby), in character order.
  static std::vector<PlacedGlyph> Base(const CellTextLayout& layout) {
    std::vector<PlacedGlyph> out;
    for (const PlacedGlyph& g : layout.glyphs) {
      if (g.index >= 0) out.push_back(g);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.index < b.index; });
    return out;
  }
  // The glyph's ink on the page.
  static QRectF Ink(const PlacedGlyph& g) {
    const QRectF em = g.face->InkEm(g.glyph);
    QRectF ink(g.origin + em.topLeft() * g.size, em.size() * g.size);
    if (g.turned) {
      QTransform t;
      t.translate(g.square.center().x(), g.square.center().y());
      t.rotate(90);
      t.translate(-g.square.center().x(), -g.square.center().y());
      ink = t.mapRect(ink);
    }
    return ink.normalized();
  }
};

TEST_F(CellTextTest, AQuestionStandsOneSquarePerCharacterDownTheMiddleOfItsCell) {
  const CellTextLayout layout = Vertical("ヤマにのぼる。");
  const std::vector<PlacedGlyph> glyphs = Base(layout);
  ASSERT_EQ(glyphs.size(), 7u);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    EXPECT_EQ(glyphs[i].index, static_cast<int32_t>(i));
    EXPECT_NEAR(glyphs[i].square.center().x(), 121.0, 1e-6);                   // the cell's centre
    EXPECT_NEAR(glyphs[i].square.top(), 50 + kCellPaddingY + 11.0 * i, 1e-6);  // from the top down
    EXPECT_NEAR(glyphs[i].square.height(), 11.0, 1e-6);
    const QRectF ink = Ink(glyphs[i]);
    EXPECT_TRUE(glyphs[i].square.adjusted(-0.5, -0.5, 0.5, 0.5).contains(ink)) << "glyph " << i;
  }
  EXPECT_DOUBLE_EQ(layout.scale, 1.0);
}

TEST_F(CellTextTest, FullStopAndCommaSitInTheUpperRightOfTheirSquare) {
  for (const char* family : {"ＭＳ Ｐゴシック", "ＭＳ 明朝", "Klee One"}) {
    At("B2").Font().SetName(family);
    const std::vector<PlacedGlyph> glyphs = Base(Vertical("山、川。"));
    for (size_t i : {1u, 3u}) {
      const QRectF ink = Ink(glyphs[i]), square = glyphs[i].square;
      EXPECT_GT(ink.left(), square.center().x()) << family << " " << i;
      EXPECT_LT(ink.bottom(), square.center().y()) << family << " " << i;
      // The vertical form cannot be mapped back to 、 or 。: the ordinary glyph goes with it.
      EXPECT_NE(glyphs[i].text_glyph, 0u);
      EXPECT_NE(glyphs[i].text_glyph, glyphs[i].glyph);
    }
    EXPECT_EQ(glyphs[0].text_glyph, 0u);
  }
}

TEST_F(CellTextTest, LongVowelMarksAndDashesRunDownNeverAcross) {
  // ー and ～ take the font's vertical forms; — has none in BIZ UDMincho and is turned by hand.
  At("B2").Font().SetName("ＭＳ 明朝");
  const std::vector<PlacedGlyph> glyphs = Base(Vertical("ケーキ～—"));
  for (size_t i : {1u, 3u, 4u}) {
    const QRectF ink = Ink(glyphs[i]);
    EXPECT_GT(ink.height(), 2 * ink.width()) << i;
  }
  EXPECT_FALSE(glyphs[1].turned);
  EXPECT_TRUE(glyphs[4].turned);
}

TEST_F(CellTextTest, BracketsTurnAndSmallKanaMoveRight) {
  const std::vector<PlacedGlyph> glyphs = Base(Vertical("「ガッコウ」"));
  // The opening bracket opens downwards: its ink lies along the top of its square.
  EXPECT_LT(Ink(glyphs[0]).bottom(), glyphs[0].square.center().y());
  EXPECT_GT(Ink(glyphs[0]).width(), Ink(glyphs[0]).height());
  EXPECT_GT(Ink(glyphs[2]).center().x(), glyphs[2].square.center().x() + 0.05 * 11);
  EXPECT_LT(Ink(glyphs[2]).center().y(), glyphs[2].square.center().y());
}

TEST_F(CellTextTest, LatinLettersAndDigitsStandUprightOnePerSquare) {
  const std::vector<PlacedGlyph> glyphs = Base(Vertical("AB12"));
  ASSERT_EQ(glyphs.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(glyphs[i].turned);
    EXPECT_NEAR(glyphs[i].square.top(), glyphs[0].square.top() + 11.0 * i, 1e-6);
    const QRectF ink = Ink(glyphs[i]);
    EXPECT_NEAR(ink.center().x(), glyphs[i].square.center().x(), 0.15 * 11) << i;
    EXPECT_GT(ink.height(), ink.width()) << i;  // upright, not lying on its side
  }
}

TEST_F(CellTextTest, AnUnderlinedRunBecomesASideLineOnTheRight) {
  At("B2").SetText("アメがふる");
  At("B2").Characters(1, 2).Font().SetUnderline(host::kXlUnderlineStyleSingle);
  const CellTextLayout layout = Vertical("アメがふる");
  ASSERT_EQ(layout.lines.size(), 1u);
  const QLineF side = layout.lines[0].line;
  const std::vector<PlacedGlyph> glyphs = Base(layout);
  EXPECT_DOUBLE_EQ(side.x1(), side.x2());
  EXPECT_GT(side.x1(), glyphs[0].square.right());
  EXPECT_NEAR(side.y1(), glyphs[0].square.top(), 1e-6);
  EXPECT_NEAR(side.y2(), glyphs[1].square.bottom(), 1e-6);
}

TEST_F(CellTextTest, AVisiblePhoneticGuideStandsOnTheRightAtHalfSize) {
  At("B2").SetText("山にのぼる");
  host::CellExtra& extra = Worksheet().ObtainExtra(2, 2);
  extra.phonetic = host::Phonetic{{{0, 1, "やま"}}, true, {}};
  const CellTextLayout layout = Vertical("山にのぼる", 20);
  const std::vector<PlacedGlyph> base = Base(layout);
  std::vector<PlacedGlyph> ruby;
  for (const PlacedGlyph& g : layout.glyphs) {
    if (g.index < 0) ruby.push_back(g);
  }
  ASSERT_EQ(ruby.size(), 2u);
  for (const PlacedGlyph& g : ruby) {
    EXPECT_DOUBLE_EQ(g.size, 10.0);
    EXPECT_GE(g.square.left(), base[0].square.right() - 1e-6);
  }
  // Centred on 山: two half squares around its middle.
  EXPECT_NEAR((ruby[0].square.top() + ruby[1].square.bottom()) / 2, base[0].square.center().y(),
              1e-6);
  // The base text moved left to make room and the whole stays inside the cell.
  EXPECT_LT(base[0].square.center().x(), 121.0);
  EXPECT_LE(ruby[0].square.right(), 142.0);
}

TEST_F(CellTextTest, ShrinkToFitShrinksALongQuestionUntilItFitsNeverClipping) {
  const std::string long_question =
      "ムカシムカシアルトコロニオジイサントオバアサンガスンデイマシタ。";
  const CellTextLayout shrunk = Vertical(long_question, 11, 190, true);
  EXPECT_LT(shrunk.scale, 1.0);
  const QRectF inner = QRectF(100, 50, 42, 190)
                           .adjusted(kCellPaddingX, kCellPaddingY, -kCellPaddingX, -kCellPaddingY);
  EXPECT_NEAR(shrunk.block.height(), inner.height(), 1e-6);
  for (const PlacedGlyph& g : shrunk.glyphs)
    EXPECT_TRUE(inner.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(g.square));
  const CellTextLayout plain = Vertical(long_question, 11, 190, false);
  EXPECT_DOUBLE_EQ(plain.scale, 1.0);
  EXPECT_GT(plain.block.height(), 190.0);
}

// The factor the command line warns with: the cell's own row height and column width decide it.
TEST_F(CellTextTest, ShrinkFactorMeasuresTheCellAsTheSheetSizesIt) {
  Vertical("ヤマにのぼる。");
  Worksheet().SetRowHeight(2, 200);
  EXPECT_DOUBLE_EQ(ShrinkFactor(fonts_, Worksheet(), 2, 2), 1.0);
  Worksheet().SetRowHeight(2, 40);  // seven squares of 11 pt in 40 pt: about half
  const double factor = ShrinkFactor(fonts_, Worksheet(), 2, 2);
  EXPECT_GT(factor, 0.4);
  EXPECT_LT(factor, 0.6);
  EXPECT_DOUBLE_EQ(ShrinkFactor(fonts_, Worksheet(), 9, 9), 1.0);  // an empty cell
}

TEST_F(CellTextTest, WrappedTextBreaksIntoLinesAndNumbersAlignRight) {
  At("B2").SetText("漢字のテストをつくる");
  At("B2").SetWrapText(true);
  const CellTextLayout wrapped = Horizontal(QRectF(0, 0, 50, 100));
  std::set<double> baselines;
  for (const PlacedGlyph& g : wrapped.glyphs)
    baselines.insert(std::round(g.origin.y() * 100) / 100);
  EXPECT_GE(baselines.size(), 2u);
  for (const PlacedGlyph& g : wrapped.glyphs)
    EXPECT_LE(g.square.right(), 50 - kCellPaddingX + 1e-6);

  At("B2").SetNumber(42);
  At("B2").SetWrapText(false);
  const CellTextLayout number = Horizontal(QRectF(0, 0, 80, 20));
  EXPECT_NEAR(number.block.right(), 80 - kCellPaddingX, 1e-6);
  At("B2").SetHorizontalAlignment(host::kXlLeft);
  At("B2").SetIndentLevel(2);
  const CellTextLayout indented = Horizontal(QRectF(0, 0, 80, 20));
  EXPECT_NEAR(indented.block.left(), kCellPaddingX + 2 * 18.0,
              1e-6);  // 3 digits of 8 pixels a level
}

TEST_F(CellTextTest, WorkbookFontNamesMapToInstalledFreeFonts) {
  EXPECT_EQ(FontCatalog::FamilyFor("ＭＳ Ｐゴシック"), "BIZ UDPGothic");
  EXPECT_EQ(FontCatalog::FamilyFor("ＭＳ ゴシック"), "BIZ UDGothic");
  EXPECT_EQ(FontCatalog::FamilyFor("MS UI Gothic"), "BIZ UDPGothic");
  EXPECT_EQ(FontCatalog::FamilyFor("ＭＳ 明朝"), "BIZ UDMincho");
  EXPECT_EQ(FontCatalog::FamilyFor("ＭＳ Ｐ明朝"), "BIZ UDPMincho");
  EXPECT_EQ(FontCatalog::FamilyFor("UD デジタル 教科書体 N-R"), "Klee One");
  EXPECT_EQ(FontCatalog::FamilyFor("Klee One"), "Klee One");
  EXPECT_EQ(FontCatalog::FamilyFor("HG明朝E"), "BIZ UDMincho");
  EXPECT_EQ(fonts_.Face("ＭＳ Ｐゴシック", false, false).FamilyName(), "BIZ UDPGothic");
  // A character the chosen font lacks comes from the fallback.
  const FontFace& gothic = fonts_.Face("ＭＳ Ｐゴシック", false, false);
  EXPECT_EQ(fonts_.FaceFor(gothic, U'山', false).FamilyName(), "BIZ UDPGothic");
  EXPECT_EQ(fonts_.FaceFor(gothic, U'한', false).FamilyName(), std::string(kFallbackFamily));
}

}  // namespace
}  // namespace tessarin::render

namespace tessarin::render {
namespace {

TEST_F(CellTextTest, VerticalSettingLooksAsCheckedByEye) {
  // Brackets, small kana, ー, ～, —, upright Latin and digits, 。、; a side line and ruby in
  // Mincho; a long question shrunk to its cell.
  const auto vertical = [&](const char* address, const char* text, const char* font) {
    host::Range cell = At(address);
    cell.SetText(text);
    cell.SetOrientation(host::kXlVertical);
    cell.SetVerticalAlignment(host::kXlTop);
    cell.SetShrinkToFit(true);
    cell.Font().SetName(font);
    cell.Font().SetSize(20);
  };
  vertical("A1", "「ガッコウ」でケーキ～—AB12。、", "ＭＳ Ｐゴシック");
  vertical("B1", "山にのぼる", "ＭＳ 明朝");
  At("B1").Characters(3, 3).Font().SetUnderline(host::kXlUnderlineStyleSingle);
  Worksheet().ObtainExtra(1, 2).phonetic = host::Phonetic{{{0, 1, "やま"}}, true, {}};
  vertical("C1", "ムカシムカシアルトコロニオジイサントオバアサンガスンデイマシタ。", "Klee One");
  Worksheet().SetRowHeight(1, 380);
  for (int c = 1; c <= 3; ++c) Worksheet().SetColumnWidth(c, 6.4);
  At("A1:C1").Borders(host::kXlInsideVertical).SetLineStyle(host::kXlContinuous);

  QImage image(QSize(3 * 42 * 2, 380 * 2), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(2, 2);
  CellPainter(fonts_).Paint(painter, Worksheet(), host::Area{1, 1, 1, 3}, QPointF());
  painter.end();
  ExpectLooksLike(image, "vertical-cells.png");
}

}  // namespace
}  // namespace tessarin::render

namespace tessarin::render {
namespace {

// Columns of `image` (2 pixels a point) that hold ink in the first row of cells.
std::vector<bool> InkColumns(const QImage& image) {
  std::vector<bool> ink(static_cast<size_t>(image.width()), false);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      ink[static_cast<size_t>(x)] = ink[static_cast<size_t>(x)] || qGray(image.pixel(x, y)) < 128;
  }
  return ink;
}

TEST_F(CellTextTest, LongTextSpillsOverEmptyNeighboursAndStopsAtAFilledOne) {
  At("A1").SetText("AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
  At("E1").SetText("x");
  for (int c = 1; c <= 5; ++c) Worksheet().SetColumnWidth(c, 6.4);  // 42 points each
  QImage image(QSize(5 * 42 * 2, 14 * 2), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(2, 2);
  CellPainter(fonts_).Paint(painter, Worksheet(), host::Area{1, 1, 1, 5}, QPointF());
  painter.end();
  const std::vector<bool> ink = InkColumns(image);
  const auto any_in = [&](double from, double to) {
    for (int x = int(from * 2) + 1; x < int(to * 2) - 1; ++x) {
      if (ink[static_cast<size_t>(x)]) return true;
    }
    return false;
  };
  EXPECT_TRUE(any_in(42, 84));    // over B1
  EXPECT_TRUE(any_in(126, 168));  // over D1
  // E1 holds its own text at its left edge; the A's stop at its border.
  At("E1").ClearContents();
  QImage without(image.size(), QImage::Format_RGB32);
  without.fill(Qt::white);
  QPainter again(&without);
  again.scale(2, 2);
  CellPainter(fonts_).Paint(again, Worksheet(), host::Area{1, 1, 1, 5}, QPointF());
  again.end();
  const std::vector<bool> free_ink = InkColumns(without);
  EXPECT_GT(std::count(free_ink.begin() + 168 * 2, free_ink.end(), true),
            std::count(ink.begin() + 168 * 2, ink.end(), true) + 10);
}

TEST_F(CellTextTest, TextPastItsCellIsCutAtTheEdgeAndTextInsideLeavesThePenAsItWas) {
  Worksheet().SetColumnWidth(2, 6.4);  // 42 points
  Worksheet().SetRowHeight(2, 60);
  const auto paint = [&](std::string_view text) {
    Vertical(text, 11, 60, false);
    QImage image(QSize(3 * 42 * 2, 200 * 2), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(2, 2);
    painter.setPen(QColor(0x12, 0x34, 0x56));
    CellPainter(fonts_).Paint(painter, Worksheet(), host::Area{1, 1, 3, 3}, QPointF());
    EXPECT_EQ(painter.pen().color(), QColor(0x12, 0x34, 0x56));
    painter.end();
    return image;
  };
  // The cell B2 spans 60 points below row 1; ten squares of 11 points run past it.
  const double bottom = host::RowPoints(Worksheet(), 1) + 60;
  const auto ink_below = [&](const QImage& image) {
    for (int y = int(bottom * 2) + 2; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) < 200) return true;
      }
    }
    return false;
  };
  EXPECT_FALSE(ink_below(paint("カワでさかなをつる山川")));
  const QImage short_text = paint("ヤマ。");
  EXPECT_FALSE(ink_below(short_text));
  bool any = false;
  for (int y = 0; y < int(bottom * 2) && !any; ++y) {
    for (int x = 0; x < short_text.width() && !any; ++x) any = qGray(short_text.pixel(x, y)) < 200;
  }
  EXPECT_TRUE(any);
}

// Paints `area` of the sheet at 2 pixels a point, the area's top-left `origin` points from the
// image's top-left.
QImage PaintArea(FontCatalog& fonts, const host::Worksheet& sheet, const host::Area& area,
                 QPointF origin, bool whole_merges) {
  QImage image(QSize(3 * 42 * 2, 3 * 40 * 2), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(2, 2);
  PaintOptions options;
  options.whole_merges = whole_merges;
  CellPainter(fonts).Paint(painter, sheet, area, origin, options);
  return image;
}

TEST_F(CellTextTest, AMergeScrolledHalfOutOfViewStillShowsItsTextWhereItWas) {
  for (int c = 1; c <= 3; ++c) Worksheet().SetColumnWidth(c, 6.4);  // 42 points each
  for (int r = 1; r <= 3; ++r) Worksheet().SetRowHeight(r, 40);
  At("A1:C3").SetMergeCells(true);
  At("A1").SetText("漢字漢字");
  At("A1").SetHorizontalAlignment(host::kXlCenter);
  At("A1").SetVerticalAlignment(host::kXlCenter);
  const QImage whole = PaintArea(fonts_, Worksheet(), host::Area{1, 1, 3, 3}, QPointF(), false);
  // The view scrolled down one row and right one column: rows 2-3, columns B-C.
  const host::Area scrolled{2, 2, 3, 3};
  const QImage shown = PaintArea(fonts_, Worksheet(), scrolled, QPointF(42, 40), true);
  int64_t ink = 0, differ = 0;
  for (int y = 80; y < whole.height(); ++y) {
    for (int x = 84; x < whole.width(); ++x) {
      ink += qGray(whole.pixel(x, y)) < 128;
      differ += std::abs(qGray(whole.pixel(x, y)) - qGray(shown.pixel(x, y))) > 96;
    }
  }
  ASSERT_GT(ink, 20);  // the text reaches into the scrolled part
  EXPECT_LT(differ, ink / 20);
  // Nothing of it lands outside the area it was asked to paint.
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < whole.width(); ++x)
      ASSERT_EQ(qGray(shown.pixel(x, y)), 255) << x << "," << y;
  }
  // A page paints only the merges that start on it.
  const QImage page = PaintArea(fonts_, Worksheet(), scrolled, QPointF(42, 40), false);
  int64_t page_ink = 0;
  for (int y = 0; y < page.height(); ++y) {
    for (int x = 0; x < page.width(); ++x) page_ink += qGray(page.pixel(x, y)) < 128;
  }
  EXPECT_EQ(page_ink, 0);
}

}  // namespace
}  // namespace tessarin::render
