// The program's pictures, drawn for it in the 16 colours of the classic
// palette.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace tavrel::ui {

// The windows' icon: a circuit board with an arrow back to the older
// format, 32 x 32 and 16 x 16, and for high DPI the same scaled up by whole
// pixels to 48, 64 and 256 (see DesktopIcon).
QIcon WindowIcon();
// The windows' icon for the desktop, `size` pixels square: the 16 or the
// 32 picture with each pixel made a whole square of pixels, so that it stays
// sharp (48 from 16, 256 from 32).  Null for a size that is no multiple of 16.
QImage DesktopIcon(int size);
// The information window's picture, 32 x 32.
QPixmap FennokPicture();
// The drive list's hard disk, 16 x 16, and the folder list's closed and open
// folders, 13 x 13.  Drawn here rather than taken from the icon theme: they
// cost nothing to find when the window starts.
QIcon DriveIcon();
QIcon FolderIcon(bool open);

}  // namespace tavrel::ui
