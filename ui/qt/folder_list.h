// A list of folders: the path of the open folder from the top of the file
// system, one folder a line and indented by depth, then its subfolders.
#pragma once

#include <QListWidget>
#include <QString>

namespace tavrel::ui {

class FolderList : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  // Opens `folder`.  When it differs from the open one, Change is raised
  // before this returns.  When it cannot be read nothing changes and false
  // is returned.
  bool SetPath(const QString& folder);
  const QString& Path() const { return path_; }
  // The folder on the given line (0 = the top of the path).
  QString FolderAt(int row) const;
  // Reads the open folder again, keeping the line the user stands on.  When
  // it can no longer be read, its nearest readable parent is opened.
  void Refresh();

 signals:
  void Change();
  // The user tried to open a folder that cannot be read.
  void OpenFailed(const QString& folder);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Open(const QListWidgetItem* item);
  // `again`: the folder is read anew, not taken from the last reading.
  bool Fill(const QString& folder, const QString& current, bool again);

  QString path_;
};

}  // namespace tavrel::ui
