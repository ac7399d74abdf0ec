// The program picture of Dovetack (156 x 76 pixels): a label on its roll
// with the product name, drawn in code so that the program carries no image
// files. Shown on the "Setup" page and at the head of the about box; the
// window icon is drawn the same way. Call from the GUI thread.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace velmora::config::app {

QPixmap programPicture();
QIcon programIcon();

} // namespace velmora::config::app
