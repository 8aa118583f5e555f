#include "file_list.h"

#include <QMouseEvent>
#include <QSignalBlocker>

#include "folders.h"

namespace tavrel::ui {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (!selectedItems().isEmpty()) emit Click();
  });
}

bool FileList::SetPath(const QString& folder) {
  const QString clean = CleanFolder(folder);
  const auto names = ReadFolder(clean, EntryKind::kFiles);
  if (!names) return false;
  path_ = clean;
  Fill(*names, QString());
  return true;
}

void FileList::Refresh() {
  const auto names = ReadFolder(path_, EntryKind::kFiles);
  if (names) Fill(*names, FileName());
}

bool FileList::Select(const QString& name) {
  const QList<QListWidgetItem*> found = findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (found.isEmpty()) return false;
  if (found.front()->isSelected()) clearSelection();  // so that Click comes again
  setCurrentItem(found.front(), QItemSelectionModel::ClearAndSelect);
  scrollToItem(found.front());
  return true;
}

QString FileList::FileName() const {
  const QListWidgetItem* item = currentItem();
  return item != nullptr && item->isSelected() ? item->text() : QString();
}

void FileList::Fill(const QStringList& names, const QString& selected) {
  const QSignalBlocker blocker(this);
  clear();
  addItems(names);
  const int row = selected.isEmpty() ? -1 : static_cast<int>(names.indexOf(selected));
  if (row >= 0) setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
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
