// What the Win32 window's files share: the window classes and their own
// messages, the information window's controls, the tips, the folder lists'
// line data and a list line's text.
#pragma once

#include "form_converter_window.h"
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "layout.h"
#include "texts.h"

namespace tavrel::win32 {

namespace layout = form::layout;
namespace texts = form::texts;

inline constexpr wchar_t kMainClass[] = L"TavrelConverterForm";
inline constexpr wchar_t kInfoClass[] = L"TavrelConverterInfo";
inline constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kInfoStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

// The main window's own messages: F5, and the information window brought
// back to the front.
inline constexpr UINT kRefreshMessage = WM_APP + 1;
inline constexpr UINT kRaiseInfoMessage = WM_APP + 2;

// The information window's controls.
inline constexpr int kButtInfoOk = IDOK;
inline constexpr int kIstruzioni = 201, kFennokIcon = 202, kLabel1 = 203, kLabel2 = 204,
                     kLabel3 = 205, kLabel4 = 206, kLine1 = 207;

// A list's control identifier.
inline int ListId(form::List list) {
  switch (list) {
    case form::List::kSourceDir:
      return kSourceDir;
    case form::List::kSourceFileList:
      return kSourceFileList;
    case form::List::kDestDir:
      return kDestDir;
    case form::List::kDestFileList:
      break;
  }
  return kDestFileList;
}

struct Tip {
  int id;
  const char* text;
};
inline constexpr Tip kTips[] = {
    {kDrive, texts::kDriveTip},
    {kSourceDir, texts::kSourceDirTip},
    {kSourceFileList, texts::kSourceFileListTip},
    {kDestDir, texts::kDestDirTip},
    {kDestFileName, texts::kDestFileNameTip},
    {kDestFileList, texts::kDestFileListTip},
    {kFrame2, texts::kFrame2Tip},
    {kConveSalva, texts::kConveSalvaTip},
    {kInfo, texts::kInfoTip},
    {kExit, texts::kExitTip},
};

// A folder list line's data: its depth, and whether it is one of the path's
// folders (drawn open) or a subfolder of the last of them.
inline constexpr LPARAM kOpenLine = 0x10000;

inline std::wstring LineText(HWND list, WPARAM index) {
  const auto length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(
      0, SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data())))));
  return text;
}

// Gives the window the outer size whose client area is width x height;
// `centre`: in the middle of the work area.
void SizeWindow(HWND hwnd, int width, int height, DWORD style, int dpi, bool centre);

}  // namespace tavrel::win32
