// A list of the ordinary files of one folder, one of them selectable.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace tavrel::ui {

class FileList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

  // Shows the names (the file system's bytes) with the file `selected`
  // selected (-1: none), raising nothing; `keep_place`: the list keeps its
  // scrolling, else it starts at its first file.
  void Show(const std::vector<std::string>& names, int selected, bool keep_place);
  // The selected file's line; -1 when none.
  int Selected() const;
  // Selects the file on that line and brings it into sight, raising nothing.
  void Select(int row);

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
};

}  // namespace tavrel::ui
