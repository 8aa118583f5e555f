#include "folder_list.h"

#include <QKeyEvent>
#include <QSignalBlocker>

#include "icons.h"
#include "list_look.h"
#include "names.h"

namespace tavrel::ui {

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new ListDelegate(this));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setIconSize(QSize(13, 13));
  connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit Open(); });
}

void FolderList::Show(const std::vector<form::FolderLine>& lines, int current) {
  {
    const QSignalBlocker blocker(this);
    clear();
    for (const form::FolderLine& line : lines) {
      auto* item = new QListWidgetItem(FolderIcon(line.open), Shown(FromEngine(line.name)));
      item->setData(kDepthRole, line.depth);
      addItem(item);
    }
    setCurrentRow(current);
  }
  scrollToItem(currentItem());
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit Open();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void FolderList::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  viewport()->update();
}

void FolderList::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  viewport()->update();
}

void FolderList::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  if (hasFocus()) PaintFocusMark(viewport());
}

}  // namespace tavrel::ui
