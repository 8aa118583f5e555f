// The Win32 window's drive, folder and file lists: they show what the form
// gives them, drawn by the window, with a tip for a name cut short.
#include "window_parts.h"

#include "wide.h"

namespace tavrel::win32 {

using form::List;

HWND FormConverterWindow::ListControl(List list) const {
  return Control(ListId(list));
}

void FormConverterWindow::DrawLine(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool combo = item.CtlType == ODT_COMBOBOX;
  const HWND control = item.hwndItem;
  std::wstring text;
  if (combo) {
    const auto length = SendMessageW(control, CB_GETLBTEXTLEN, item.itemID, 0);
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1);
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(
        SendMessageW(control, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data())),
        0)));
  } else {
    text = LineText(control, item.itemID);
  }
  const bool selected = item.itemState & ODS_SELECTED;
  const HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  const HGDIOBJ old = SelectObject(dc, font_);
  RECT rect = item.rcItem;
  rect.left += MulDiv(2, dpi_, 96);
  const int middle = (rect.top + rect.bottom) / 2;
  if (combo) {
    const int size = MulDiv(16, dpi_, 96);
    DrawIconEx(dc, rect.left, middle - size / 2, drive_icon_, size, size, 0, nullptr, DI_NORMAL);
    rect.left += size + MulDiv(4, dpi_, 96);
  } else if (item.CtlID == kSourceDir || item.CtlID == kDestDir) {
    const auto data = static_cast<LPARAM>(item.itemData);
    const int size = MulDiv(13, dpi_, 96);
    rect.left += static_cast<int>(data & 0xFFFF) * MulDiv(8, dpi_, 96);
    DrawIconEx(dc, rect.left, middle - size / 2, (data & kOpenLine) ? folder_open_ : folder_closed_,
               size, size, 0, nullptr, DI_NORMAL);
    rect.left += size + MulDiv(4, dpi_, 96);
  }
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
    DrawFocusRect(dc, &item.rcItem);
}

// A control's tip; over a list, the name under the pointer when the list cuts
// it short.
void FormConverterWindow::ListTip(NMTTDISPINFOW& info) {
  const int id = (info.uFlags & TTF_IDISHWND) != 0
                     ? GetDlgCtrlID(reinterpret_cast<HWND>(info.hdr.idFrom))
                     : static_cast<int>(info.hdr.idFrom);
  for (const Tip& tip : kTips) {
    if (tip.id == id) tip_text_ = Wide(tip.text);
  }
  info.lpszText = tip_text_.data();
  const bool folders = id == kSourceDir || id == kDestDir;
  if (!folders && id != kSourceFileList && id != kDestFileList) return;
  const HWND list = Control(id);
  POINT point{};
  GetCursorPos(&point);
  ScreenToClient(list, &point);
  const auto hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
  if (HIWORD(hit) != 0) return;  // below the last line
  const auto index = static_cast<WPARAM>(LOWORD(hit));
  const std::wstring name = LineText(list, index);
  RECT line{};
  SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&line));
  const LPARAM data = SendMessageW(list, LB_GETITEMDATA, index, 0);
  // Where DrawLine puts the text.
  const int left =
      MulDiv(2, dpi_, 96) +
      (folders ? static_cast<int>(data & 0xFFFF) * MulDiv(8, dpi_, 96) + MulDiv(17, dpi_, 96) : 0);
  const HDC dc = GetDC(list);
  const HGDIOBJ old = SelectObject(dc, font_);
  SIZE size{};
  GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  if (left + size.cx > line.right - line.left) {
    tip_text_ = name;
    info.lpszText = tip_text_.data();
  }
}

void FormConverterWindow::ShowDrives(const std::vector<std::string>& captions) {
  const HWND combo = Control(kDrive);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& caption : captions)
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(caption).c_str()));
}

void FormConverterWindow::SelectDrive(int drive) {
  SendMessageW(Control(kDrive), CB_SETCURSEL, static_cast<WPARAM>(drive), 0);
}

int FormConverterWindow::SelectedDrive() const {
  return static_cast<int>(SendMessageW(Control(kDrive), CB_GETCURSEL, 0, 0));
}

void FormConverterWindow::ShowFolders(List list, const std::vector<form::FolderLine>& lines,
                                      int current) {
  const HWND control = ListControl(list);
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  SendMessageW(control, LB_RESETCONTENT, 0, 0);
  for (const form::FolderLine& line : lines) {
    const auto at =
        SendMessageW(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line.name).c_str()));
    SendMessageW(control, LB_SETITEMDATA, static_cast<WPARAM>(at),
                 line.depth | (line.open ? kOpenLine : 0));
  }
  SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
  if (current >= 0) ScrollIntoView(control, current);
}

int FormConverterWindow::CurrentLine(List list) const {
  const auto line = SendMessageW(ListControl(list), LB_GETCURSEL, 0, 0);
  return line == LB_ERR ? -1 : static_cast<int>(line);
}

void FormConverterWindow::ShowFiles(List list, const std::vector<std::string>& names, int selected,
                                    bool keep_place) {
  const HWND control = ListControl(list);
  const auto top = SendMessageW(control, LB_GETTOPINDEX, 0, 0);
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  SendMessageW(control, LB_RESETCONTENT, 0, 0);
  SendMessageW(control, LB_INITSTORAGE, names.size(), 0);
  for (const std::string& name : names)
    SendMessageW(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  if (selected >= 0) SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  if (keep_place)
    SendMessageW(control, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(top, 0)), 0);
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
  if (keep_place && selected >= 0) ScrollIntoView(control, selected);
}

int FormConverterWindow::SelectedFile(List list) const {
  return CurrentLine(list);
}

void FormConverterWindow::SelectFile(List list, int file) {
  const HWND control = ListControl(list);
  SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(file), 0);
  ScrollIntoView(control, file);
}

void FormConverterWindow::ScrollIntoView(HWND list, int index) const {
  RECT client{};
  GetClientRect(list, &client);
  const auto height = std::max<LRESULT>(1, SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  const int whole = std::max(1, static_cast<int>(client.bottom / height));
  const auto top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  int wanted = top;
  if (index < top) wanted = index;
  if (index >= top + whole) wanted = index - whole + 1;
  if (wanted != top) SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(wanted), 0);
}

}  // namespace tavrel::win32
