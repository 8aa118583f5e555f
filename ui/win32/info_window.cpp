// The Win32 information window: its controls, its place centred on the main
// window, and its messages.
#include "window_parts.h"

#include "wide.h"

namespace tavrel::win32 {

using form::List;

namespace {

constexpr std::pair<int, layout::Twips> kInfoPlaces[] = {
    {kButtInfoOk, layout::kButtInfoOk}, {kFennokIcon, layout::kFennokIcon},
    {kLabel1, layout::kLabel1},         {kLabel3, layout::kLabel3},
    {kLabel2, layout::kLabel2},         {kIstruzioni, layout::kIstruzioni},
    {kLabel4, layout::kLabel4},
};

// The instructions box taking the focus by Tab keeps its caret where it is
// (at first the top) and selects nothing: a box that says it would select
// all its text, and the dialog keys would scroll it to the end.
LRESULT CALLBACK KeepCaretWhereItIs(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR id, DWORD_PTR /*data*/) {
  if (message == WM_GETDLGCODE)
    return DefSubclassProc(hwnd, message, wparam, lparam) & ~DLGC_HASSETSEL;
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, KeepCaretWhereItIs, id);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace

void FormConverterWindow::ShowInfoWindow() {
  if (info_ != nullptr) return;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // A window of its own, without an owner.
  info_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, kInfoClass,
                          Wide(texts::kInfoCaption).c_str(), kInfoStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, this);
  const auto make = [&](int id, const wchar_t* kind, const std::string& text, DWORD style,
                        DWORD ex = 0) {
    CreateWindowExW(ex, kind, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, info_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  make(kButtInfoOk, WC_BUTTONW, texts::kButtInfoOk, WS_TABSTOP | BS_DEFPUSHBUTTON);
  make(kIstruzioni, WC_EDITW, texts::InstructionText(),
       WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE);
  make(kFennokIcon, WC_STATICW, "", SS_ICON | SS_REALSIZECONTROL | SS_CENTERIMAGE);
  make(kLabel1, WC_STATICW, texts::kFreeware, SS_CENTER | SS_NOPREFIX);
  make(kLabel3, WC_STATICW, texts::kEmail, SS_CENTER | SS_NOPREFIX);
  make(kLabel2, WC_STATICW, texts::AuthorLine(), SS_CENTER | SS_NOPREFIX);
  make(kLabel4, WC_STATICW, texts::kWeb, SS_CENTER | SS_NOPREFIX);
  make(kLine1, WC_STATICW, "", SS_BLACKRECT);
  SendDlgItemMessageW(info_, kFennokIcon, STM_SETICON, reinterpret_cast<WPARAM>(fennok_), 0);
  SetWindowSubclass(GetDlgItem(info_, kIstruzioni), KeepCaretWhereItIs, 0, 0);
  LayoutInfo();
  // Centred on the main window, on its monitor's work area.
  RECT main{}, info{};
  GetWindowRect(hwnd_, &main);
  GetWindowRect(info_, &info);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const layout::Rect place =
      layout::CentredOn({main.left, main.top, main.right - main.left, main.bottom - main.top},
                        info.right - info.left, info.bottom - info.top,
                        {work.left, work.top, work.right - work.left, work.bottom - work.top});
  SetWindowPos(info_, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(info_, SW_SHOW);
  SendMessageW(info_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  SetFocus(GetDlgItem(info_, kButtInfoOk));
}

void FormConverterWindow::LayoutInfo() {
  const int dpi = static_cast<int>(GetDpiForWindow(info_));
  const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
  for (const auto& [id, twips] : kInfoPlaces)
    MoveWindow(GetDlgItem(info_, id), px(twips.left), px(twips.top), px(twips.width),
               px(twips.height), TRUE);
  const layout::Twips line = layout::kLine1;
  MoveWindow(GetDlgItem(info_, kLine1), px(line.left), px(line.top), px(line.width),
             std::max(1, dpi / 96), TRUE);
  for (HWND child = GetWindow(info_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  SizeWindow(info_, px(layout::kInfoWidth), px(layout::kInfoHeight), kInfoStyle, dpi, false);
}

void FormConverterWindow::CloseInfoWindow() {
  if (info_ == nullptr) return;
  const HWND info = info_;
  info_ = nullptr;
  DestroyWindow(info);
  if (hwnd_ != nullptr) SetForegroundWindow(hwnd_);
}

LRESULT CALLBACK FormConverterWindow::InfoProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                                    LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window =
        static_cast<FormConverterWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormConverterWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr || window->info_ != hwnd)
    return DefWindowProcW(hwnd, message, wparam, lparam);
  return window->HandleInfo(message, wparam, lparam);
}

LRESULT FormConverterWindow::HandleInfo(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      // OK is the default button (Enter) and the cancel button (Esc).
      if ((LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) && HIWORD(wparam) == BN_CLICKED)
        form_->ButtInfoOk_Click();
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(kButtInfoOk, DC_HASDEFID);
    case WM_CTLCOLORSTATIC:
      // The read-only text reads as text, on the window colour.
      if (reinterpret_cast<HWND>(lparam) == GetDlgItem(info_, kIstruzioni)) {
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      return DefWindowProcW(info_, message, wparam, lparam);
    case WM_DPICHANGED:
      LayoutInfo();
      return 0;
    case WM_CLOSE:  // its title bar: the main window works again
      form_->ButtInfoOk_Click();
      return 0;
    default:
      return DefWindowProcW(info_, message, wparam, lparam);
  }
}

}  // namespace tavrel::win32
