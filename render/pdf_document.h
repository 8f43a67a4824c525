// PdfDocument: a PDF painted page by page in points and put on disk in one piece, for output
// that is no sheet's print pages (the stroke-order key, a class's tests and report).
#pragma once

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QSizeF>
#include <memory>
#include <string>

#include "core/host/worksheet.h"
#include "render/font_catalog.h"

namespace tessarin::render {

class PdfDocument {
 public:
  // `title` goes into the document's information. Needs a QGuiApplication.
  explicit PdfDocument(const std::string& title);
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // Starts a page of `paper` (points, wider than tall for landscape) and returns the painter for
  // it, in points from the paper's top-left corner; valid until the next NewPage or Save.
  QPainter& NewPage(const QSizeF& paper);
  int pages() const { return pages_; }
  // The fonts every page of the document paints with, loaded once.
  FontCatalog& fonts() { return fonts_; }

  // Finishes the document and writes it to `path`: written beside it and renamed over it, so
  // the file appears complete or not at all. Throws host::HostError 1004 when no page was
  // painted, 75 when the file cannot be written.
  void Save(const std::string& path);

 private:
  FontCatalog fonts_;
  QBuffer buffer_;
  std::unique_ptr<QPdfWriter> writer_;
  QPainter painter_;
  int pages_ = 0;
};

// Paints every print page of `sheet` as further pages of `pdf`, each on its own paper, as
// WritePdf would; returns how many. Throws host::HostError 1004 when the sheet has nothing to
// print.
int AppendPrintPages(PdfDocument& pdf, const host::Worksheet& sheet);

}  // namespace tessarin::render
