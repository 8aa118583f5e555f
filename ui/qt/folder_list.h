// A list of folders: the path of the open folder from the top of the file
// system, one folder a line and indented by depth, then its subfolders.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

#include "folders.h"  // form::FolderLine

namespace tavrel::ui {

class FolderList : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  // Shows the lines with the line `current` current and in sight; raises
  // nothing.
  void Show(const std::vector<form::FolderLine>& lines, int current);

 signals:
  // A double click or Enter on the current line: its folder is to open.
  void Open();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavrel::ui
