// PDF and PNG output of print pages.
#include "render/pdf_output.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <filesystem>

#include "core/host/host_error.h"
#include "render/font_catalog.h"
#include "render/page_painter.h"

namespace tessarin::render {
namespace fs = std::filesystem;
namespace {

constexpr int kErrPathAccess = host::kErrPathFileAccess;
constexpr int kErrApplication = host::kErrApplicationDefined;

PrintLayout PagesOrThrow(const host::Worksheet& sheet) {
  if (sheet.cells().CellCount() == 0) {
    throw host::HostError(kErrApplication,
                          "the sheet \"" + sheet.name() + "\" has nothing to print");
  }
  return LayoutPrintPages(sheet);
}

QString QPath(const std::string& path) { return QString::fromStdString(path); }

[[noreturn]] void CannotWrite(const std::string& path, const QString& why) {
  throw host::HostError(kErrPathAccess, "cannot write " + path + ": " + why.toStdString());
}

// Writes through a temporary file beside `path` and renames it over, so a failure leaves
// nothing half written.
template <typename Write>
void WriteReplacing(const std::string& path, Write write) {
  const std::string temp = path + ".part";
  QFile file(QPath(temp));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) CannotWrite(path, file.errorString());
  bool ok = false;
  try {
    ok = write(file);
  } catch (...) {
    file.remove();
    throw;
  }
  file.close();
  if (!ok || file.error() != QFileDevice::NoError) {
    const QString why =
        file.error() != QFileDevice::NoError ? file.errorString() : QString("the painter failed");
    file.remove();
    CannotWrite(path, why);
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    file.remove();
    CannotWrite(path, QString::fromStdString(ec.message()));
  }
}

}  // namespace

int WritePdf(const host::Worksheet& sheet, const std::string& path) {
  const PrintLayout layout = PagesOrThrow(sheet);
  WriteReplacing(path, [&](QFile& file) {
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
    PagePainter pages(fonts);
    for (size_t i = 0; i < layout.pages.size(); ++i) {
      if (i > 0) writer.newPage();
      pages.Paint(painter, sheet, layout, layout.pages[i]);
    }
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
                                         int dpi) {
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
    WriteReplacing(target, [&](QFile& file) { return image.save(&file, "PNG"); });
    written.push_back(target);
  }
  return written;
}

}  // namespace tessarin::render
