#include "drive_list.h"

#include <QSignalBlocker>

#include "icons.h"
#include "list_look.h"

namespace tavrel::ui {

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index != shown_) emit Change();
    // A volume that could not be opened was undone by now.
    shown_ = currentIndex();
  });
}

void DriveList::Show(const QStringList& captions) {
  const QSignalBlocker blocker(this);
  clear();
  const QIcon icon = DriveIcon();
  for (const QString& caption : captions)
    addItem(icon, caption);
  Select(-1);
}

void DriveList::Select(int drive) {
  const QSignalBlocker blocker(this);
  setCurrentIndex(drive);
  shown_ = drive;
}

void DriveList::paintEvent(QPaintEvent* event) {
  QComboBox::paintEvent(event);
  if (hasFocus()) PaintFocusMark(this);
}

}  // namespace tavrel::ui
