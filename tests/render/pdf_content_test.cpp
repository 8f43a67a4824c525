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

  // Prints the active sheet and returns the first page's drawing, inflated.
  std::string PrintFirstPage() {
    EXPECT_EQ(WritePdf(Worksheet(), path_), 1);
    QFile file(QString::fromStdString(path_));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    // The page's drawing is the first compressed stream that is no font program.
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at + 1)) {
      if (at >= 3 && pdf.mid(at - 3, 3) == "end") continue;
      const QByteArray dict = pdf.mid(pdf.lastIndexOf("<<", at), at - pdf.lastIndexOf("<<", at));
      if (!dict.contains("/FlateDecode") || dict.contains("/Length1")) continue;
      const qsizetype from = at + 7, to = pdf.indexOf("endstream", from);
      // qUncompress wants the length first; it grows past a short guess.
      QByteArray deflated("\x00\x01\x00\x00", 4);
      deflated += pdf.mid(from, to - from);
      const QByteArray drawing = qUncompress(deflated);
      if (!drawing.isEmpty()) return drawing.toStdString();
    }
    ADD_FAILURE() << "no page drawing in " << path_;
    return "";
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

}  // namespace
}  // namespace tessarin::render
