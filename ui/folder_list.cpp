#include "folder_list.h"

#include <QDir>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>

#include "folders.h"

namespace tavrel::ui {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 7;

// Shifts each line right by its depth in the folder tree.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + kIndentPixels * index.data(kDepthRole).toInt());
    QStyledItemDelegate::paint(painter, shifted, index);
  }
};

// The folders from the top of the file system down to `path`, each with its
// name as shown.
QList<std::pair<QString, QString>> PathFromTop(const QString& path) {
  QList<std::pair<QString, QString>> chain;
  QDir dir(path);
  for (;;) {
    const QString here = dir.absolutePath();
    chain.prepend({here, dir.isRoot() ? QDir::toNativeSeparators(here) : dir.dirName()});
    if (dir.isRoot() || !dir.cdUp()) break;
  }
  return chain;
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new IndentDelegate(this));
  setIconSize(QSize(13, 13));
  connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::Open);
}

bool FolderList::SetPath(const QString& folder) {
  const QString clean = CleanFolder(folder);
  const auto subfolders = ReadFolder(clean, EntryKind::kFolders);
  if (!subfolders) return false;
  const bool changed = clean != path_;
  path_ = clean;
  {
    const QSignalBlocker blocker(this);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const auto& [path, name] : PathFromTop(clean)) {
      auto* item = new QListWidgetItem(open, name, this);
      item->setData(kPathRole, path);
      item->setData(kDepthRole, depth++);
    }
    setCurrentRow(count() - 1);
    const QDir here(clean);
    for (const QString& name : *subfolders) {
      auto* item = new QListWidgetItem(closed, name, this);
      item->setData(kPathRole, here.absoluteFilePath(name));
      item->setData(kDepthRole, depth);
    }
  }
  scrollToItem(currentItem());
  if (changed) emit Change();
  return true;
}

QString FolderList::FolderAt(int row) const {
  const QListWidgetItem* line = item(row);
  return line != nullptr ? line->data(kPathRole).toString() : QString();
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Open(currentItem());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void FolderList::Open(const QListWidgetItem* item) {
  if (item == nullptr) return;
  const QString folder = item->data(kPathRole).toString();
  if (!SetPath(folder)) emit OpenFailed(folder);
}

}  // namespace tavrel::ui
