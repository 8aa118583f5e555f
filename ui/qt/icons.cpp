#include "icons.h"

#include "pictures.h"

namespace tavrel::ui {

using namespace form::pictures;

QIcon WindowIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap(kWindowIcon32));
  icon.addPixmap(QPixmap(kWindowIcon16));
  // For high DPI: Qt takes the size nearest the scaled one.
  for (const int size : {48, 64, 256})
    icon.addPixmap(QPixmap::fromImage(DesktopIcon(size)));
  return icon;
}

QImage DesktopIcon(int size) {
  if (size <= 0 || size % 16 != 0) return {};
  const QImage picture(size % 32 == 0 ? kWindowIcon32 : kWindowIcon16);
  return picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
      .convertToFormat(QImage::Format_ARGB32);
}

QPixmap FennokPicture() {
  return QPixmap(kFennokIcon32);
}

// Each made once and kept to the program's end: every list line shares it.
QIcon DriveIcon() {
  static const auto* const icon = new QIcon(QPixmap(kDriveIcon16));
  return *icon;
}

QIcon FolderIcon(bool open) {
  static const auto* const opened = new QIcon(QPixmap(kFolderOpen13));
  static const auto* const closed = new QIcon(QPixmap(kFolderClosed13));
  return open ? *opened : *closed;
}

}  // namespace tavrel::ui
