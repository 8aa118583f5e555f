#include "drive_list.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStorageInfo>

#include "folders.h"
#include "icons.h"
#include "list_look.h"

namespace tavrel::ui {

namespace {

bool IsMedia(const QString& root) {
  static const QStringList kMediaFolders = {QStringLiteral("/media/"), QStringLiteral("/mnt/"),
                                            QStringLiteral("/run/media/")};
  for (const QString& prefix : kMediaFolders) {
    if (root.startsWith(prefix)) return true;
  }
  return false;
}

QString Caption(const QString& root) {
  const QStorageInfo storage(root);
  const QString native = QDir::toNativeSeparators(root);
  const QString name = storage.isValid() ? storage.name() : QString();
  return name.isEmpty() ? native : QStringLiteral("%1 [%2]").arg(native, name);
}

}  // namespace

DriveList::DriveList(const QStringList& roots, QWidget* parent) : QComboBox(parent) {
  const QString current = CurrentFolder();
  const QIcon icon = DriveIcon();
  const QSignalBlocker blocker(this);
  for (const QString& root : roots.isEmpty() ? MountedVolumes() : roots) {
    const QString clean = CleanFolder(root);
    addItem(icon, Caption(clean), clean);
    folders_.insert(clean, clean);
  }
  const QString home = VolumeOf(current);
  if (!home.isEmpty()) folders_.insert(home, current);
  setCurrentIndex(findData(home));
  accepted_ = currentIndex();
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index != accepted_) emit Change();
    // A volume that could not be opened was undone by now.
    accepted_ = currentIndex();
  });
}

QStringList DriveList::MountedVolumes() {
  QStringList roots = {QDir::rootPath()};
  for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
    if (!storage.isValid() || !storage.isReady() || storage.bytesTotal() <= 0) continue;
    if (IsMedia(storage.rootPath())) roots.append(storage.rootPath());
  }
  const QString home = QStorageInfo(QDir::currentPath()).rootPath();
  if (!home.isEmpty()) roots.append(home);
  roots.removeDuplicates();
  roots.sort();
  return roots;
}

QString DriveList::Drive() const {
  return currentData().toString();
}

QString DriveList::FolderOf(const QString& root) const {
  return folders_.value(root, root);
}

void DriveList::Remember(const QString& folder) {
  const QString root = VolumeOf(folder);
  if (root.isEmpty()) return;
  folders_.insert(root, folder);
  ShowSilently(findData(root));
}

void DriveList::Undo() {
  ShowSilently(accepted_);
}

QString DriveList::VolumeOf(const QString& folder) const {
  QString best;
  for (int i = 0; i < count(); ++i) {
    const QString root = itemData(i).toString();
    if (FolderIsUnder(folder, root) && root.size() > best.size()) best = root;
  }
  return best;
}

void DriveList::paintEvent(QPaintEvent* event) {
  QComboBox::paintEvent(event);
  if (hasFocus()) PaintFocusMark(this);
}

void DriveList::ShowSilently(int index) {
  const QSignalBlocker blocker(this);
  setCurrentIndex(index);
  accepted_ = index;
}

}  // namespace tavrel::ui
