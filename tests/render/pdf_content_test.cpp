// The drawing a printed page asks of a PDF reader, read back from the page's content stream:
// neighbouring cells' text is one piece of text that still reads in order, and boxed cells are
// stroked as a few lines joined along each edge, a dashed edge keeping its pieces.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "render/page_painter.h"
#include "render/pdf_document.h"
#include "render/pdf_output.h"
#include "tests/render/render_fixture.h"
#include "tests/support/capture.h"

namespace tessarin::render {
namespace {
namespace fs = std::filesystem;

class PdfContentTest : public RenderTest {
 protected:
  PdfContentTest()
      : path_((fs::temp_directory_path() / ("render-content-" + std::to_string(getpid()) + ".pdf"))
                  .string()) {}
  ~PdfContentTest() override { fs::remove(path_); }

  // The drawing of every page of the PDF at `path`, inflated, in page order.
  static std::vector<std::string> Drawings(const std::string& path) {
    std::vector<std::string> out;
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    const QByteArray pdf = file.readAll();
    // The pages' drawings are the compressed streams that are no font programs.
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at + 1)) {
      if (at >= 3 && pdf.mid(at - 3, 3) == "end") continue;
      const QByteArray dict = pdf.mid(pdf.lastIndexOf("<<", at), at - pdf.lastIndexOf("<<", at));
      if (!dict.contains("/FlateDecode") || dict.contains("/Length1")) continue;
      const qsizetype from = at + 7, to = pdf.indexOf("endstream", from);
      // qUncompress wants the length first; it grows past a short guess.
      QByteArray deflated("\x00\x01\x00\x00", 4);
      deflated += pdf.mid(from, to - from);
      out.push_back(qUncompress(deflated).toStdString());
    }
    return out;
  }
  // Prints the active sheet and returns the first page's drawing.
  std::string PrintFirstPage() {
    EXPECT_EQ(WritePdf(Worksheet(), path_), 1);
    const std::vector<std::string> drawings = Drawings(path_);
    return drawings.empty() ? "" : drawings[0];
  }
  std::string Text() {
    std::string text = testing::CaptureOutput("pdftotext -raw " + path_ + " -");
    std::erase_if(text, [](char c) { return c == ' ' || c == '\n' || c == '\f'; });
    return text;
  }
  static int Count(const std::string& drawing, const std::string& pattern) {
    const std::regex re(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(drawing.begin(), drawing.end(), re),
                                          std::sregex_iterator()));
  }

  std::string path_;
};

TEST_F(PdfContentTest, ARowOfCellsInOneFontIsOnePieceOfTextReadInOrder) {
  for (int c = 1; c <= 10; ++c) {
    At("A1").Offset(0, c - 1).SetNumber(c);
    Worksheet().SetColumnWidth(c, 6.4);
  }
  std::string numbers;
  for (int c = 1; c <= 10; ++c) numbers += std::to_string(c);
  EXPECT_EQ(Count(PrintFirstPage(), "\\bBT\\b"), 1);
  EXPECT_EQ(Text(), numbers);

  // A text cut at a filled neighbour's edge is clipped on its own, between the others.
  At("D1").SetText("WWWWWWWWWWWWWWWW");
  At("D1").SetHorizontalAlignment(host::kXlLeft);
  const std::string drawing = PrintFirstPage();
  EXPECT_EQ(Count(drawing, "\\bBT\\b"), 3);
  EXPECT_EQ(Count(drawing, "\\bW\\*? n\\b"), 1);  // the one clip
  EXPECT_EQ(Text(), "123WWWWWWWWWWWWWWWW5678910");
}

TEST_F(PdfContentTest, BoxedCellsAreStrokedAsOneLinePerEdgeAndDashesKeepTheirPieces) {
  for (int c = 2; c <= 4; ++c) Worksheet().SetColumnWidth(c, 6.4);
  At("B2").SetText("x");
  for (const int edge : {host::kXlEdgeLeft, host::kXlEdgeTop, host::kXlEdgeBottom,
                         host::kXlEdgeRight, host::kXlInsideVertical, host::kXlInsideHorizontal})
    At("B2:D3").Borders(edge).SetWeight(host::kXlThin);
  // Three level lines (top, middle, bottom) and four upright ones, each stroked once.
  const std::string drawing = PrintFirstPage();
  EXPECT_EQ(Count(drawing, " m\n"), 7) << drawing;
  EXPECT_EQ(Count(drawing, "\\bS\\b"), 1);

  // A dashed edge keeps one piece per cell, so its dashes start where they did.
  At("B5:D5").Borders(host::kXlEdgeBottom).SetLineStyle(host::kXlDash);
  EXPECT_EQ(Count(PrintFirstPage(), " m\n"), 7 + 3);
}

// WritePdf lays each page out on a second thread, with fonts of its own, while the page before is
// painted: the pages come out as painting them one by one on one thread draws them.
TEST_F(PdfContentTest, PagesLaidOutOnASecondThreadDrawAsPagesPaintedOneByOne) {
  MakeTestSheetSetup(2, 4);
  for (int r = 1; r <= 8; ++r) {
    for (int c = 1; c <= 5; ++c) {
      const host::Range cell = At("A1").Offset(r - 1, c - 1);
      cell.SetText(std::to_string(r * 10 + c) + ((r + c) % 2 ? "カワ。" : "漢字（山）"));
      if ((r + c) % 3 == 0) cell.SetOrientation(host::kXlVertical);
      if (c == 2) cell.Font().SetName("ＭＳ 明朝");
      cell.Font().SetBold(r % 2 == 0);
    }
  }
  ASSERT_EQ(WritePdf(Worksheet(), path_), 4);
  const PrintLayout layout = LayoutPrintPages(Worksheet());
  PdfDocument one_by_one("one by one");
  PagePainter painter(one_by_one.fonts());
  for (const PrintPage& page : layout.pages)
    painter.Paint(one_by_one.NewPage(layout.paper), Worksheet(), layout, page);
  const std::string path = path_ + "-one-by-one.pdf";
  one_by_one.Save(path);
  const std::vector<std::string> want = Drawings(path);
  fs::remove(path);
  ASSERT_EQ(want.size(), 4u);
  EXPECT_EQ(Drawings(path_), want);
}

}  // namespace
}  // namespace tessarin::render
