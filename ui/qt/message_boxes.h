// The message boxes the windows show, behind an interface so that tests can
// answer them.
#pragma once

#include "form_view.h"

class QWidget;

namespace tavrel::ui {

using form::Box;
using form::BoxAnswer;
using form::BoxButtons;
using form::BoxIcon;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box over `parent` and waits for the answer.
  virtual BoxAnswer Show(QWidget* parent, const Box& box) = 0;
};

// Application-modal boxes with the Italian buttons "&Sì", "&No" and "OK".
class QtMessageBoxes : public MessageBoxes {
 public:
  BoxAnswer Show(QWidget* parent, const Box& box) override;
};

}  // namespace tavrel::ui
