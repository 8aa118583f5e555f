// The font and the language of the program's windows.
#pragma once

#include <QFont>

namespace tavrel::ui {

// A dialog font at the largest size (11 pixels at most) at which every caption
// and label text of the windows fits its control at the fixed layout.
QFont WindowFont();

// Loads Qt's own Italian texts (the standard menus of the text boxes, and the
// like) and installs them in the application, whatever the user's language.
// False when they cannot be loaded: Qt then speaks English.
bool InstallQtItalian();

}  // namespace tavrel::ui
