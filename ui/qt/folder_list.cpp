#include "folder_list.h"

#include <QDir>
#include <QKeyEvent>
#include <QSignalBlocker>

#include "folders.h"
#include "icons.h"
#include "list_look.h"

namespace tavrel::ui {

namespace {

// The folders from the top of the file system down to `path` (clean and
// absolute), each with its name as shown.  Worked out on the text alone, so
// that names the file system holds as bytes come through whole.
QList<std::pair<QString, QString>> PathFromTop(const QString& path) {
  const QString root = QDir::rootPath();
  QList<std::pair<QString, QString>> chain = {{root, QDir::toNativeSeparators(root)}};
  QString here = root;
  for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (!here.endsWith(QLatin1Char('/'))) here += QLatin1Char('/');
    here += name;
    chain.append({here, name});
  }
  return chain;
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new ListDelegate(this));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setIconSize(QSize(13, 13));
  connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::Open);
}

bool FolderList::SetPath(const QString& folder) {
  const QString clean = CleanFolder(folder);
  const bool changed = clean != path_;
  if (!Fill(clean, clean, false)) return false;
  if (changed) emit Change();
  return true;
}

void FolderList::Refresh() {
  const QListWidgetItem* line = currentItem();
  const QString current = line != nullptr ? line->data(kNameRole).toString() : path_;
  if (Fill(path_, current, true)) return;
  QString folder = path_;
  while (folder != QDir::rootPath() && !IsReadableFolder(folder))
    folder = CleanFolder(folder + QStringLiteral("/.."));
  SetPath(folder);
}

bool FolderList::Fill(const QString& folder, const QString& current, bool again) {
  const auto subfolders = ReadFolder(folder, EntryKind::kFolders, again);
  if (!subfolders) return false;
  path_ = folder;
  {
    const QSignalBlocker blocker(this);
    clear();
    int depth = 0;
    for (const auto& [path, name] : PathFromTop(folder)) {
      auto* item = new QListWidgetItem(FolderIcon(true), Shown(name));
      item->setData(kNameRole, path);
      item->setData(kDepthRole, depth++);
      addItem(item);
    }
    setCurrentRow(count() - 1);
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (const QString& name : *subfolders) {
      auto* item = new QListWidgetItem(FolderIcon(false), Shown(name));
      item->setData(kNameRole, prefix + name);
      item->setData(kDepthRole, depth);
      addItem(item);
      if (prefix + name == current) setCurrentItem(item);
    }
  }
  scrollToItem(currentItem());
  return true;
}

QString FolderList::FolderAt(int row) const {
  const QListWidgetItem* line = item(row);
  return line != nullptr ? line->data(kNameRole).toString() : QString();
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Open(currentItem());
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

void FolderList::Open(const QListWidgetItem* item) {
  if (item == nullptr) return;
  const QString folder = item->data(kNameRole).toString();
  if (!SetPath(folder)) emit OpenFailed(folder);
}

}  // namespace tavrel::ui
