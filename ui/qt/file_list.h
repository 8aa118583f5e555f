// A list of the ordinary files of one folder, one of them selectable.
#pragma once

#include <QListWidget>
#include <QString>

namespace tavrel::ui {

class FileList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

  // Lists the files of `folder` with none selected.  When the folder cannot
  // be read the list keeps what it showed and false is returned.
  bool SetPath(const QString& folder);
  const QString& Path() const { return path_; }
  // Reads the folder again, keeping the selected name when it is still there,
  // without raising Click.
  void Refresh();
  // Selects the file of that name as a click on it does, raising Click;
  // false when the list does not show it.
  bool Select(const QString& name);
  // The selected file name (without folder) as the folder holds it; empty
  // when none is selected.
  QString FileName() const;

 signals:
  // The selection changed, by mouse or keyboard, or the selected file was
  // clicked again.
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

 private:
  void Fill(const QStringList& names, const QString& selected);

  QString path_;
};

}  // namespace tavrel::ui
