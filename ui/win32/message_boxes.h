// The message boxes the Win32 window shows, behind an interface so that tests
// can answer them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "form_view.h"

namespace tavrel::win32 {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box over `owner` and waits for the answer.
  virtual form::BoxAnswer Show(HWND owner, const form::Box& box) = 0;
};

// Boxes whose buttons read "Sì", "No" and "OK" on a Windows of any language:
// a task dialog with the program's own buttons (MessageBoxW, whose buttons
// speak the system's language, only where there is no task dialog).
class ItalianMessageBoxes : public MessageBoxes {
 public:
  form::BoxAnswer Show(HWND owner, const form::Box& box) override;
};

}  // namespace tavrel::win32
