// Qt fonts for the cell editor and the dialogs, named by the fonts workbooks and forms carry.
#pragma once

#include <QFont>
#include <string_view>

#include "core/host/style.h"

namespace tessarin::desktop {

// A QFont for a cell font at `points` (bold, italic, underline and strike as the font has them),
// in the installed family that render's font catalog paints that font with.
QFont QFontFor(const host::Font& font, double points);
// The dialogs' font: `name` (empty: the dialog default MS UI Gothic) at `points` (0: 9 points).
QFont DialogFont(std::string_view name, double points);

}  // namespace tessarin::desktop
