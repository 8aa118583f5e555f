#include "file_list.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include "list_look.h"
#include "names.h"

namespace tavrel::ui {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setItemDelegate(new ListDelegate(this));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (!selectedItems().isEmpty()) emit Click();
  });
}

void FileList::Show(const std::vector<std::string>& names, int selected, bool keep_place) {
  const QSignalBlocker blocker(this);
  const int top = verticalScrollBar()->value();
  clear();
  // All in one insertion, so the list lays itself out once.
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(names.size()));
  for (const std::string& name : names)
    shown.append(Shown(FromEngine(name)));
  addItems(shown);
  if (selected >= 0) setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
  if (keep_place) {
    verticalScrollBar()->setValue(top);
  } else {
    scrollToTop();  // a new folder starts at its first file
  }
}

int FileList::Selected() const {
  const QListWidgetItem* item = currentItem();
  return item != nullptr && item->isSelected() ? row(item) : -1;
}

void FileList::Select(int line) {
  const QSignalBlocker blocker(this);
  setCurrentRow(line, QItemSelectionModel::ClearAndSelect);
  scrollToItem(item(line));
}

void FileList::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  // Taking the focus marks the first file as current without selecting it;
  // the first arrow key would then skip it.  With no current file the arrow
  // keys start at the top, and Space does not select a file unasked.
  if (selectedItems().isEmpty()) {
    const QSignalBlocker blocker(this);
    selectionModel()->clearCurrentIndex();
  }
  viewport()->update();
}

void FileList::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  viewport()->update();
}

void FileList::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  if (hasFocus()) PaintFocusMark(viewport());
}

QModelIndex FileList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  if (currentIndex().isValid() || count() == 0) return QListWidget::moveCursor(action, modifiers);
  // No file is current yet: End goes to the last file, Page Down a page
  // down from the first, every other key to the first.
  const QModelIndex first = model()->index(0, 0);
  if (action == MoveEnd) return model()->index(count() - 1, 0);
  if (action != MovePageDown) return first;
  const QSignalBlocker blocker(this);
  selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  const QModelIndex target = QListWidget::moveCursor(action, modifiers);
  selectionModel()->clearCurrentIndex();
  return target;
}

void FileList::mousePressEvent(QMouseEvent* event) {
  // A click on the file already selected changes nothing in the list, but
  // the user asked for it again: raise Click as for a new selection.
  const QListWidgetItem* hit = itemAt(event->position().toPoint());
  const bool again = event->button() == Qt::LeftButton && hit != nullptr && hit->isSelected();
  QListWidget::mousePressEvent(event);
  if (again) emit Click();
}

}  // namespace tavrel::ui
