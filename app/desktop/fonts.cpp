// Font names of Japanese workbooks mapped to the free fonts the package depends on.
#include "app/desktop/fonts.h"

#include <string>

#include "core/host/constants.h"

namespace tessarin::desktop {
namespace {

bool Has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

QString FamilyFor(std::string_view name) {
  const bool mincho = Has(name, "明朝") || Has(name, "Mincho") || Has(name, "Serif");
  // Proportional faces carry a "P" (full-width in Japanese names) or are UI fonts.
  const bool proportional = Has(name, "Ｐ") || Has(name, "UI") || Has(name, "P明朝") || Has(name, "PGothic") ||
                            Has(name, "Pゴシック") || Has(name, "メイリオ") || Has(name, "Meiryo") || Has(name, "游");
  if (Has(name, "Klee") || Has(name, "教科書")) return QStringLiteral("Klee One");
  if (mincho) return proportional ? QStringLiteral("BIZ UDPMincho") : QStringLiteral("BIZ UDMincho");
  if (Has(name, "ゴシック") || Has(name, "Gothic") || name.empty()) {
    return proportional || name.empty() ? QStringLiteral("BIZ UDPGothic") : QStringLiteral("BIZ UDGothic");
  }
  return QString::fromUtf8(name.data(), static_cast<int>(name.size()));
}

QFont QFontFor(const host::Font& font, double points) {
  QFont result(FamilyFor(font.name));
  result.setPointSizeF(points > 0 ? points : 11);
  result.setBold(font.bold);
  result.setItalic(font.italic);
  result.setUnderline(font.underline != host::kXlUnderlineStyleNone);
  result.setStrikeOut(font.strikethrough);
  return result;
}

QFont DialogFont(std::string_view name, double points) {
  QFont result(FamilyFor(name.empty() ? std::string_view("MS UI Gothic") : name));
  result.setPointSizeF(points > 0 ? points : 9);
  return result;
}

}  // namespace tessarin::desktop
