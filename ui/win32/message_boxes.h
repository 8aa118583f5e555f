// The message boxes the Win32 window shows, behind an interface so that tests
// can answer them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

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

// A long name or path has no blank where a box could break its line, and the
// box would cut it: `text` with a line break in each run of more than 40
// characters without a blank (after a backslash in its second half where
// there is one), never between the halves of a surrogate pair.
std::wstring BreakLongRuns(const std::wstring& text);

}  // namespace tavrel::win32
