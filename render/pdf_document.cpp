// PdfDocument: QPdfWriter into memory, then the bytes to disk.
#include "render/pdf_document.h"

#include <QPageLayout>
#include <QPageSize>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/host/host_error.h"
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
  // Beside the target, then renamed over it: a reader never sees half a file.
  const std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.constData(), bytes.size());
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      throw host::HostError(host::kErrPathFileAccess, "cannot write " + path);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::remove(temp.c_str());
    throw host::HostError(host::kErrPathFileAccess, "cannot write " + path + ": " + ec.message());
  }
}

int AppendPrintPages(PdfDocument& pdf, const host::Worksheet& sheet) {
  if (sheet.cells().CellCount() == 0) {
    throw host::HostError(host::kErrApplicationDefined,
                          "the sheet \"" + sheet.name() + "\" has nothing to print");
  }
  const PrintLayout layout = LayoutPrintPages(sheet);
  PagePainter painter(pdf.fonts());
  for (const PrintPage& page : layout.pages) {
    painter.Paint(pdf.NewPage(layout.paper), sheet, layout, page);
  }
  return static_cast<int>(layout.pages.size());
}

}  // namespace tessarin::render
