// PdfDocument: QPdfWriter into memory, then the bytes to disk.
#include "render/pdf_document.h"

#include <QPageLayout>
#include <QPageSize>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/host/host_error.h"
#include "core/host/safe_replace.h"
#include "render/page_layout.h"
#include "render/page_painter.h"

namespace tessarin::render {

PdfDocument::PdfDocument(const std::string& title) {
  buffer_.open(QIODevice::WriteOnly);
  writer_ = std::make_unique<QPdfWriter>(&buffer_);
  writer_->setCreator("Tessarin");
  writer_->setTitle(QString::fromStdString(title));
  writer_->setResolution(72);  // points as device units
}

PdfDocument::~PdfDocument() {
  if (painter_.isActive()) painter_.end();
}

QPainter& PdfDocument::NewPage(const QSizeF& paper) {
  const bool landscape = paper.width() > paper.height();
  const QSizeF portrait = landscape ? paper.transposed() : paper;
  writer_->setPageLayout(QPageLayout(QPageSize(portrait, QPageSize::Point),
                                     landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF()));
  if (pages_ == 0) {
    if (!painter_.begin(writer_.get())) {
      throw host::HostError(host::kErrPathFileAccess, "the PDF painter could not start");
    }
  } else {
    writer_->newPage();
  }
  ++pages_;
  return painter_;
}

void PdfDocument::Save(const std::string& path) {
  if (pages_ == 0) throw host::HostError(host::kErrApplicationDefined, "nothing to print");
  if (painter_.isActive() && !painter_.end()) {
    throw host::HostError(host::kErrPathFileAccess,
                          "cannot write " + path + ": the painter failed");
  }
  buffer_.close();
  const QByteArray& bytes = buffer_.data();
  // The one safe way every file is written: whole or not at all, no planted link followed.
  host::ReplaceFile(*host::Env::Default(), path,
                    std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

int AppendPrintPages(PdfDocument& pdf, const host::Worksheet& sheet) {
  if (sheet.cells().CellCount() == 0) {
    throw host::HostError(host::kErrApplicationDefined,
                          "the sheet \"" + sheet.name() + "\" has nothing to print");
  }
  const PrintLayout layout = LayoutPrintPages(sheet);
  if (layout.pages.empty()) {
    throw host::HostError(host::kErrApplicationDefined,
                          "the sheet \"" + sheet.name() + "\" has nothing to print");
  }
  PaintPages(sheet, layout, pdf.fonts(),
             [&](size_t) -> QPainter& { return pdf.NewPage(layout.paper); });
  return static_cast<int>(layout.pages.size());
}

}  // namespace tessarin::render
