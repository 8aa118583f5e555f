// The message boxes the windows show, behind an interface so that tests can
// answer them.
#pragma once

#include <QString>

#include "form_view.h"

class QWidget;

namespace tavrel::ui {

using form::BoxAnswer;
using form::BoxButtons;
using form::BoxIcon;

struct BoxRequest {
  QString title;
  QString text;  // plain text; "\n" breaks a line
  BoxIcon icon = BoxIcon::kExclamation;
  BoxButtons buttons = BoxButtons::kOk;
  BoxAnswer default_answer = BoxAnswer::kYes;  // for Yes and No
  BoxAnswer cancel_answer = BoxAnswer::kNo;    // Esc, for Yes and No
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box over `parent` and waits for the answer.
  virtual BoxAnswer Show(QWidget* parent, const BoxRequest& request) = 0;
};

// Application-modal boxes with the Italian buttons "&Sì", "&No" and "OK".
class QtMessageBoxes : public MessageBoxes {
 public:
  BoxAnswer Show(QWidget* parent, const BoxRequest& request) override;
};

}  // namespace tavrel::ui
