// Workbook and form font names mapped through render's catalog, so the editor and the dialogs
// show the same faces as the painted cells and the paper.
#include "app/desktop/fonts.h"

#include "core/host/constants.h"
#include "render/font_catalog.h"

namespace tessarin::desktop {
namespace {

QString Family(std::string_view name) {
  return QString::fromStdString(render::FontCatalog::FamilyFor(name));
}

}  // namespace

QFont QFontFor(const host::Font& font, double points) {
  QFont result(Family(font.name));
  result.setPointSizeF(points > 0 ? points : 11);
  result.setBold(font.bold);
  result.setItalic(font.italic);
  result.setUnderline(font.underline != host::kXlUnderlineStyleNone);
  result.setStrikeOut(font.strikethrough);
  return result;
}

QFont DialogFont(std::string_view name, double points) {
  QFont result(Family(name.empty() ? std::string_view("MS UI Gothic") : name));
  result.setPointSizeF(points > 0 ? points : 9);
  return result;
}

}  // namespace tessarin::desktop
