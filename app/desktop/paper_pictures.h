// The paper dialog's pictures: a small page of each test sheet with arrows at the rows and the
// column groups that the dialog's boxes size.
#pragma once

#include <QPixmap>
#include <QSize>

#include "core/forms/control.h"

namespace tessarin::desktop {

// Draws the picture for `image` at `size`: "Image1" shows a page of the 40-question sheet,
// "Image2" one of the 20-question sheet. A null pixmap for any other picture.
QPixmap PaperPicture(const forms::Image& image, QSize size);

}  // namespace tessarin::desktop
