// Icons for the host's FaceId numbers used by the cell menu, drawn small and plain.
#pragma once

#include <QIcon>

namespace tessarin::desktop {

// A 16-pixel icon for `face_id`; a null icon for 0 (no icon) and numbers we do not draw.
QIcon FaceIcon(int face_id);

}  // namespace tessarin::desktop
