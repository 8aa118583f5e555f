// A list of the mounted volumes.  Each volume remembers the last folder
// opened on it: at first the current folder for its own volume, its root
// for the others.
#pragma once

#include <QComboBox>
#include <QHash>
#include <QString>
#include <QStringList>

namespace tavrel::ui {

class DriveList : public QComboBox {
  Q_OBJECT

 public:
  // `roots` are the volumes' root folders; empty means the mounted volumes.
  explicit DriveList(const QStringList& roots = {}, QWidget* parent = nullptr);

  // The root and the mounted media (with the volume of the current folder).
  static QStringList MountedVolumes();

  // The root of the selected volume.
  QString Drive() const;
  // The folder a folder list given this volume shows.
  QString FolderOf(const QString& root) const;
  // The volume holding `folder` remembers it and is shown as selected, without
  // raising Change.  A folder on no listed volume changes nothing.
  void Remember(const QString& folder);
  // Shows the volume that was selected before the user's last pick, without
  // raising Change.
  void Undo();

 signals:
  // The user picked another volume.
  void Change();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString VolumeOf(const QString& folder) const;
  void ShowSilently(int index);

  QHash<QString, QString> folders_;
  int accepted_ = -1;
};

}  // namespace tavrel::ui
