#pragma once
// The program's two icons, drawn at run time so that no image files need shipping.

#include <QIcon>

namespace sonavix {

QIcon AppIcon();    // a speech balloon with sound waves, for the window
QIcon ReplayIcon(); // a circular arrow, for the replay button

} // namespace sonavix
