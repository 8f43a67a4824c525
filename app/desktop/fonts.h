// The installed font that stands for a font name from a workbook or a dialog.
#pragma once

#include <QFont>
#include <string_view>

#include "core/host/style.h"

namespace tessarin::desktop {

// The installed family for a workbook font name: proportional Gothic names (ＭＳ Ｐゴシック,
// MS UI Gothic) -> BIZ UDPGothic, ＭＳ ゴシック -> BIZ UDGothic, 明朝 names -> BIZ UD(P)Mincho.
QString FamilyFor(std::string_view name);
// A QFont for a cell font at `points` (bold, italic, underline and strike as the font has them).
QFont QFontFor(const host::Font& font, double points);
// The dialogs' font: `name` (empty: the dialog default MS UI Gothic) at `points` (0: 9 points).
QFont DialogFont(std::string_view name, double points);

}  // namespace tessarin::desktop
