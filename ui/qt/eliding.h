// A label and a one-line text box that show a text too wide for them cut
// with an ellipsis ("…"), and the whole text in a tooltip.
#pragma once

#include <QLabel>
#include <QLineEdit>

namespace tavrel::ui {

class ElidingLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
  // Whether the text is wider than the label.
  bool IsCut() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

// While it has the focus the box scrolls its text as usual; without it, a
// text that does not fit is shown from its start and cut.
class ElidingLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;
  bool IsCut() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextArea() const;
};

}  // namespace tavrel::ui
