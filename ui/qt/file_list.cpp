#include "file_list.h"

#include <QMouseEvent>
#include <QSignalBlocker>

#include "folders.h"
#include "list_look.h"

namespace tavrel::ui {

namespace {

// The file's name as the folder holds it.
QString NameOf(const QListWidgetItem* item) {
  const QVariant name = item->data(kNameRole);
  return name.isValid() ? name.toString() : item->text();
}

}  // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setItemDelegate(new ListDelegate(this));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
  scrollToTop();  // a new folder starts at its first file
  return true;
}

void FileList::Refresh() {
  const auto names = ReadFolder(path_, EntryKind::kFiles, true);
  if (names) Fill(*names, FileName());
}

bool FileList::Select(const QString& name) {
  QListWidgetItem* found = nullptr;
  for (int row = 0; row < count() && found == nullptr; ++row) {
    if (NameOf(item(row)) == name) found = item(row);
  }
  if (found == nullptr) return false;
  if (found->isSelected()) clearSelection();  // so that Click comes again
  setCurrentItem(found, QItemSelectionModel::ClearAndSelect);
  scrollToItem(found);
  return true;
}

QString FileList::FileName() const {
  const QListWidgetItem* item = currentItem();
  return item != nullptr && item->isSelected() ? NameOf(item) : QString();
}

void FileList::Fill(const QStringList& names, const QString& selected) {
  const QSignalBlocker blocker(this);
  clear();
  // All in one insertion, so the list lays itself out once; a name shown
  // otherwise than its bytes keeps them aside.
  QStringList shown;
  shown.reserve(names.size());
  for (const QString& name : names)
    shown.append(Shown(name));
  addItems(shown);
  for (qsizetype row = 0; row < names.size(); ++row) {
    if (shown[row] != names[row]) item(static_cast<int>(row))->setData(kNameRole, names[row]);
  }
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
