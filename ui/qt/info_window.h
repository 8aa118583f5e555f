// The information window: the user instructions and the author's credit.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tavrel::ui {

class InfoWindow : public QDialog {
  Q_OBJECT

 public:
  explicit InfoWindow(QWidget* parent = nullptr);

 private:
  void ButtInfoOk_Click();

  QPushButton* ButtInfoOk;
  QLabel* FennokIcon;
  QLabel* Label1;
  QLabel* Label3;
  QLabel* Label2;
  QPlainTextEdit* Istruzioni;
  QLabel* Label4;
  QFrame* Line1;
};

}  // namespace tavrel::ui
