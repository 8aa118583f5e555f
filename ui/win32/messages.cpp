// The Win32 main window's messages: the keyboard's way in, the controls'
// notifications to the form's handlers, drawing, tips, drops and DPI.
#include "window_parts.h"

#include <shellapi.h>

#include "wide.h"

namespace tavrel::win32 {

using form::List;

bool FormConverterWindow::PreTranslate(MSG& msg) {
  const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (root == nullptr) return false;
  wchar_t kind[32] = {};
  GetClassNameW(root, kind, 32);
  const bool main = std::wstring_view(kind) == kMainClass;
  if (main && msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
    // The tips learn where the pointer is from here: a tip subclassing its
    // control would see every message to it, which makes filling a list
    // of thousands of files take seconds.
    const auto* window =
        reinterpret_cast<const FormConverterWindow*>(GetWindowLongPtrW(root, GWLP_USERDATA));
    if (window != nullptr && window->tooltips_ != nullptr)
      SendMessageW(window->tooltips_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
  }
  if (main && msg.message == WM_KEYDOWN) {
    const int id = GetDlgCtrlID(msg.hwnd);
    // Enter in a folder list opens the folder, as a double click does.
    if (msg.wParam == VK_RETURN && (id == kSourceDir || id == kDestDir)) {
      SendMessageW(root, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(msg.hwnd));
      return true;
    }
    if (msg.wParam == VK_F5) {
      SendMessageW(root, kRefreshMessage, 0, 0);
      return true;
    }
  }
  return IsDialogMessageW(root, &msg) != FALSE;
}

LRESULT CALLBACK FormConverterWindow::Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                                LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window =
        static_cast<FormConverterWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormConverterWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return window->Handle(message, wparam, lparam);
}

void FormConverterWindow::Command(int id, int code) {
  if (form_ == nullptr) return;  // the lists are being filled at the start
  switch (id) {
    case kDrive: {
      // A pick: the open list closed on a drive, or an arrow key on the closed
      // list (not each line the arrows pass in the open list).  The drive
      // shown already is no change.
      const HWND drives = Control(kDrive);
      const bool picked = code == CBN_SELENDOK || (code == CBN_SELCHANGE &&
                                                   !SendMessageW(drives, CB_GETDROPPEDSTATE, 0, 0));
      if (picked) form_->Drive_Change();
      break;
    }
    case kSourceDir:
      if (code == LBN_DBLCLK) form_->Folder_Open(List::kSourceDir);
      break;
    case kDestDir:
      if (code == LBN_DBLCLK) form_->Folder_Open(List::kDestDir);
      break;
    case kSourceFileList:
      if (code == LBN_SELCHANGE) form_->SourceFileList_Click();
      break;
    case kDestFileList:
      if (code == LBN_SELCHANGE) form_->DestFileList_Click();
      break;
    case kConveSalva:
      if (code == BN_CLICKED) form_->ConveSalva_Click();
      break;
    case kInfo:
      if (code == BN_CLICKED) form_->Info_Click();
      break;
    case kExit:
      if (code == BN_CLICKED) form_->Exit_Click();
      break;
    default:
      break;
  }
}

LRESULT FormConverterWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case DM_GETDEFID:
      return 0;  // the main window has no default button
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      item->itemHeight = static_cast<UINT>(Px(layout::kListLineHeight));
      return TRUE;
    }
    case WM_DRAWITEM:
      DrawLine(*reinterpret_cast<DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->code == TTN_GETDISPINFOW) ListTip(*reinterpret_cast<NMTTDISPINFOW*>(lparam));
      return 0;
    }
    case WM_SETCURSOR:
      if (waiting_ > 0) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      return DefWindowProcW(hwnd_, message, wparam, lparam);
    case WM_ACTIVATE:
      // The information window is a window of its own: when the disabled
      // main window comes to the front, it comes back on top, or the main
      // window would look frozen.
      if (LOWORD(wparam) != WA_INACTIVE && info_ != nullptr)
        PostMessageW(hwnd_, kRaiseInfoMessage, 0, 0);
      return DefWindowProcW(hwnd_, message, wparam, lparam);
    case kRaiseInfoMessage:
      if (info_ != nullptr) SetForegroundWindow(info_);
      return 0;
    case kRefreshMessage:
      if (form_ != nullptr) form_->Refresh();
      return 0;
    case WM_DROPFILES: {
      const auto drop = reinterpret_cast<HDROP>(wparam);
      std::wstring path(static_cast<std::size_t>(DragQueryFileW(drop, 0, nullptr, 0)) + 1, L'\0');
      path.resize(DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
      DragFinish(drop);
      if (!path.empty() && form_ != nullptr && info_ == nullptr) Open(Utf8(path));
      return 0;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another resolution: everything again from twips.
      dpi_ = HIWORD(wparam);
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ApplyFont();
      Layout();
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // The title bar's (or the task bar's) close ends the program as Exit
      // does; while the information window is open the main window does not
      // react, and the information window comes to the front.
      if (form_ == nullptr) return 0;
      if (form_->Form_QueryUnload()) {
        form_->Exit_Click();
      } else if (info_ != nullptr) {
        SetForegroundWindow(info_);
      }
      return 0;
    case WM_DESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      if (quit_on_close_) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

}  // namespace tavrel::win32
