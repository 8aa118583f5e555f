// The font of the program's windows.
#pragma once

#include <QFont>

namespace tavrel::ui {

// A dialog font at the largest size (11 pixels at most) at which every caption
// and label text of the windows fits its control at the fixed layout.
QFont WindowFont();

}  // namespace tavrel::ui
