#include "message_boxes.h"

// After windows.h.
#include <commctrl.h>

#include <string>

#include "texts.h"
#include "wide.h"

namespace tavrel::win32 {

std::wstring BreakLongRuns(const std::wstring& text) {
  constexpr std::size_t kLongestRun = 40;
  std::wstring broken;
  broken.reserve(text.size() + text.size() / kLongestRun);
  std::size_t run_start = 0;  // in `broken`
  for (const wchar_t c : text) {
    if (c == L' ' || c == L'\n' || c == L'\t') {
      broken += c;
      run_start = broken.size();
      continue;
    }
    if (broken.size() - run_start >= kLongestRun && !(c >= 0xDC00 && c <= 0xDFFF)) {
      // The last backslash of the run's second half, else here.
      std::size_t at = broken.rfind(L'\\');
      if (at == std::wstring::npos || at < run_start + kLongestRun / 2) at = broken.size() - 1;
      broken.insert(at + 1, 1, L'\n');
      run_start = at + 2;
    }
    broken += c;
  }
  return broken;
}

using form::BoxAnswer;
using form::BoxButtons;
using form::BoxIcon;

namespace {

// Esc and the title bar's close press the button of the box's cancel answer
// (the task dialog's own cancellation is not met everywhere).
LRESULT CALLBACK PressOnCancel(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                               DWORD_PTR button) {
  if ((message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) || message == WM_CLOSE) {
    PostMessageW(hwnd, TDM_CLICK_BUTTON, static_cast<WPARAM>(button), 0);
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, PressOnCancel, id);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

HRESULT CALLBACK OnBoxEvent(HWND hwnd, UINT event, WPARAM, LPARAM, LONG_PTR button) {
  if (event == TDN_CREATED)
    SetWindowSubclass(hwnd, PressOnCancel, 0, static_cast<DWORD_PTR>(button));
  return S_OK;
}

}  // namespace

BoxAnswer ItalianMessageBoxes::Show(HWND owner, const form::Box& box) {
  const bool yes_no = box.buttons == BoxButtons::kYesNo;
  const std::wstring title = Wide(box.title);
  const std::wstring text = BreakLongRuns(Wide(box.text));
  const std::wstring yes = Wide(form::texts::kYes), no = Wide(form::texts::kNo),
                     ok = Wide(form::texts::kOk);
  const TASKDIALOG_BUTTON yes_no_buttons[] = {{IDYES, yes.c_str()}, {IDNO, no.c_str()}};
  const TASKDIALOG_BUTTON ok_button[] = {{IDOK, ok.c_str()}};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  // Esc and the title bar's close answer the box's cancel answer (OK for
  // an OK box).
  config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW | TDF_ALLOW_DIALOG_CANCELLATION;
  config.pszWindowTitle = title.c_str();
  config.pszMainIcon = box.icon == BoxIcon::kCritical ? TD_ERROR_ICON : TD_WARNING_ICON;
  config.pszContent = text.c_str();
  config.pButtons = yes_no ? yes_no_buttons : ok_button;
  config.cButtons = yes_no ? 2 : 1;
  config.nDefaultButton = !yes_no ? IDOK : box.default_answer == BoxAnswer::kNo ? IDNO : IDYES;
  config.pfCallback = OnBoxEvent;
  config.lpCallbackData = !yes_no ? IDOK : box.cancel_answer == BoxAnswer::kYes ? IDYES : IDNO;
  int pressed = 0;
  if (SUCCEEDED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    if (!yes_no) return BoxAnswer::kOk;
    if (pressed == IDCANCEL) return box.cancel_answer;
    return pressed == IDYES ? BoxAnswer::kYes : BoxAnswer::kNo;
  }
  const UINT style = (box.icon == BoxIcon::kCritical ? MB_ICONERROR : MB_ICONWARNING) |
                     (yes_no ? MB_YESNO : MB_OK) |
                     (yes_no && box.default_answer == BoxAnswer::kNo ? MB_DEFBUTTON2 : 0);
  const int answer = MessageBoxW(owner, text.c_str(), title.c_str(), style);
  if (!yes_no) return BoxAnswer::kOk;
  return answer == IDYES ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace tavrel::win32
