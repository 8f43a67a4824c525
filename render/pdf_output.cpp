// PDF and PNG output of print pages.
#include "render/pdf_output.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <filesystem>

#include "core/host/host_error.h"
#include "core/host/safe_replace.h"
#include "render/font_catalog.h"
#include "render/page_painter.h"

namespace tessarin::render {
namespace fs = std::filesystem;
namespace {

constexpr int kErrPathAccess = host::kErrPathFileAccess;
constexpr int kErrApplication = host::kErrApplicationDefined;

PrintLayout PagesOrThrow(const host::Worksheet& sheet) {
  PrintLayout layout = LayoutPrintPages(sheet);
  if (layout.pages.empty()) {
    throw host::HostError(kErrApplication,
                          "the sheet \"" + sheet.name() + "\" has nothing to print");
  }
  return layout;
}

// Paints into memory and puts the bytes on disk through the one safe-replace routine, so a
// full disk, a planted link or a killed run never leaves a damaged file in the target's place.
template <typename Write>
void WriteReplacing(host::Env& env, const std::string& path, Write write) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  if (!write(buffer)) {
    throw host::HostError(kErrPathAccess, "Cannot write " + path + ": the painter failed.");
  }
  buffer.close();
  const QByteArray& bytes = buffer.data();
  host::ReplaceFile(env, path,
                    std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace

int WritePdf(const host::Worksheet& sheet, const std::string& path, host::Env& env) {
  const PrintLayout layout = PagesOrThrow(sheet);
  WriteReplacing(env, path, [&](QBuffer& file) {
    QPdfWriter writer(&file);
    writer.setCreator("Tessarin");
    writer.setTitle(QString::fromStdString(sheet.name()));
    // Points as device units: the page painter works in points.
    writer.setResolution(72);
    const QSizeF portrait = layout.landscape ? layout.paper.transposed() : layout.paper;
    const QPageLayout page_layout(QPageSize(portrait, QPageSize::Point),
                                  layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                  QMarginsF());
    writer.setPageLayout(page_layout);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    FontCatalog fonts;
    PaintPages(sheet, layout, fonts, [&](size_t i) -> QPainter& {
      if (i > 0) writer.newPage();
      return painter;
    });
    return painter.end();
  });
  return static_cast<int>(layout.pages.size());
}

QImage RenderPage(const host::Worksheet& sheet, const PrintLayout& layout, size_t index, int dpi) {
  const double px = dpi / 72.0;
  QImage image(QSize(qRound(layout.paper.width() * px), qRound(layout.paper.height() * px)),
               QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(dpi / 0.0254));
  image.setDotsPerMeterY(qRound(dpi / 0.0254));
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.scale(px, px);
  FontCatalog fonts;
  PagePainter(fonts).Paint(painter, sheet, layout, layout.pages.at(index));
  painter.end();
  return image;
}

std::vector<std::string> WritePageImages(const host::Worksheet& sheet, const std::string& path,
                                         int dpi, host::Env& env) {
  const PrintLayout layout = PagesOrThrow(sheet);
  std::vector<std::string> written;
  const fs::path base(path);
  for (size_t i = 0; i < layout.pages.size(); ++i) {
    const std::string target =
        layout.pages.size() == 1
            ? path
            : (base.parent_path() /
               (base.stem().string() + "-" + std::to_string(i + 1) + base.extension().string()))
                  .string();
    const QImage image = RenderPage(sheet, layout, i, dpi);
    WriteReplacing(env, target, [&](QBuffer& file) { return image.save(&file, "PNG"); });
    written.push_back(target);
  }
  return written;
}

}  // namespace tessarin::render
