#include "form_converter_window.h"

// After windows.h.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "layout.h"
#include "resources.h"
#include "texts.h"
#include "wide.h"

namespace tavrel::win32 {

namespace {

namespace layout = form::layout;
namespace texts = form::texts;
using form::List;

constexpr wchar_t kMainClass[] = L"TavrelConverterForm";
constexpr wchar_t kInfoClass[] = L"TavrelConverterInfo";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kInfoStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

// The main window's own messages: F5, and the information window brought
// back to the front.
constexpr UINT kRefreshMessage = WM_APP + 1;
constexpr UINT kRaiseInfoMessage = WM_APP + 2;

// The information window's controls.
constexpr int kButtInfoOk = IDOK;
constexpr int kIstruzioni = 201, kFennokIcon = 202, kLabel1 = 203, kLabel2 = 204, kLabel3 = 205,
              kLabel4 = 206, kLine1 = 207;

int ListId(List list) {
  switch (list) {
    case List::kSourceDir:
      return kSourceDir;
    case List::kSourceFileList:
      return kSourceFileList;
    case List::kDestDir:
      return kDestDir;
    case List::kDestFileList:
      break;
  }
  return kDestFileList;
}

// Where each control sits: its place, in the window or in a frame.
struct Place {
  int id;
  layout::Twips twips;
  layout::Twips frame;  // {0, 0, 0, 0}: in the window itself
};

constexpr layout::Twips kWindow{0, 0, 0, 0};
constexpr Place kPlaces[] = {
    {kDrive, layout::kDrive, kWindow},
    {kSourceDir, layout::kSourceDir, kWindow},
    {kSourceFileList, layout::kSourceFileList, kWindow},
    {kDestDir, layout::kDestDir, layout::kFrame3},
    {kDestFileName, layout::kDestFileName, layout::kFrame3},
    {kDestFileList, layout::kDestFileList, layout::kFrame3},
    {kConveSalva, layout::kConveSalva, kWindow},
    {kInfo, layout::kInfo, kWindow},
    {kExit, layout::kExit, kWindow},
    {kFrame1, layout::kFrame1, kWindow},
    {kFrame3, layout::kFrame3, kWindow},
    {kLabel22, layout::kLabel22, layout::kFrame3},
    {kFrame2, layout::kFrame2, kWindow},
    {kSourceFile, layout::kSourceFile, layout::kFrame2},
    {kTipoFile, layout::kTipoFile, layout::kFrame2},
    {kFileSize, layout::kFileSize, layout::kFrame2},
    {kFileDate, layout::kFileDate, layout::kFrame2},
    {kConvPreview, layout::kConvPreview, layout::kFrame2},
};

constexpr std::pair<int, layout::Twips> kInfoPlaces[] = {
    {kButtInfoOk, layout::kButtInfoOk}, {kFennokIcon, layout::kFennokIcon},
    {kLabel1, layout::kLabel1},         {kLabel3, layout::kLabel3},
    {kLabel2, layout::kLabel2},         {kIstruzioni, layout::kIstruzioni},
    {kLabel4, layout::kLabel4},
};

struct Tip {
  int id;
  const char* text;
};
constexpr Tip kTips[] = {
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
constexpr LPARAM kOpenLine = 0x10000;

std::wstring LineText(HWND list, WPARAM index) {
  const auto length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(
      0, SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data())))));
  return text;
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

HICON LoadPicture(int id, int size) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

// Gives the window the outer size whose client area is width x height.
void SizeWindow(HWND hwnd, int width, int height, DWORD style, int dpi, bool centre) {
  RECT rect{0, 0, width, height};
  AdjustWindowRectExForDpi(&rect, style, FALSE, 0, static_cast<UINT>(dpi));
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  int x = 0, y = 0;
  if (centre) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    x = std::max(0L, work.left + (work.right - work.left - (rect.right - rect.left)) / 2);
    y = std::max(0L, work.top + (work.bottom - work.top - (rect.bottom - rect.top)) / 2);
  } else {
    flags |= SWP_NOMOVE;
  }
  SetWindowPos(hwnd, nullptr, x, y, rect.right - rect.left, rect.bottom - rect.top, flags);
}

// How far a frame's caption keeps from the frame's left and right edges.
int FrameInset(int dpi) {
  return MulDiv(10, dpi, 96);
}

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

// ---------------------------------------------------------------------------
// Creation

FormConverterWindow::FormConverterWindow(const Options& options)
    : own_boxes_(options.boxes != nullptr ? nullptr : std::make_unique<ItalianMessageBoxes>()),
      boxes_(options.boxes != nullptr ? options.boxes : own_boxes_.get()),
      quit_on_close_(options.quit_on_close),
      faces_(options.faces) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  static const bool registered = [instance] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.hInstance = instance;
    window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    // The program's icon at the sizes of the system's DPI: the icon file
    // holds 16 to 256 pixels, and the next larger one is scaled down where
    // none fits (LoadIconWithScaleDown at the system metrics).
    LoadIconMetric(instance, MAKEINTRESOURCEW(kIconWindow), LIM_LARGE, &window.hIcon);
    LoadIconMetric(instance, MAKEINTRESOURCEW(kIconWindow), LIM_SMALL, &window.hIconSm);
    window.lpszClassName = kMainClass;
    window.lpfnWndProc = Procedure;
    RegisterClassExW(&window);
    window.lpszClassName = kInfoClass;
    window.lpfnWndProc = InfoProcedure;
    RegisterClassExW(&window);
    return true;
  }();
  (void)registered;

  drive_icon_ = LoadPicture(kIconDrive, 16);
  folder_open_ = LoadPicture(kIconFolderOpen, 13);
  folder_closed_ = LoadPicture(kIconFolderClosed, 13);
  fennok_ = LoadPicture(kIconFennok, 32);

  CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, kMainClass,
                  Wide(texts::Caption()).c_str(), kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                  100, nullptr, nullptr, instance, this);
  dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
  CreateControls();
  ApplyFont();
  Layout();
  SizeWindow(hwnd_, Px(layout::kFormWidth), Px(layout::kFormHeight), kMainStyle, dpi_, true);

  std::vector<std::string> drives;
  for (const std::wstring& drive : options.drives)
    drives.push_back(Utf8(drive));
  form_ = std::make_unique<form::FormConverter>(static_cast<form::FormView&>(*this),
                                                UserNumberSettings(), drives);
  form_->Form_Load();
}

FormConverterWindow::~FormConverterWindow() {
  if (form_ != nullptr) form_->Form_Unload();  // the temporary file goes
  if (info_ != nullptr) DestroyWindow(info_);
  if (hwnd_ != nullptr) {
    quit_on_close_ = false;
    DestroyWindow(hwnd_);
  }
  if (font_ != nullptr) DeleteObject(font_);
  for (HICON icon : {drive_icon_, folder_open_, folder_closed_, fennok_})
    DestroyIcon(icon);
}

void FormConverterWindow::Show(int how) {
  ShowWindow(hwnd_, how);
  // Focus marks and access keys show from the start, not after a key.
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  SetFocus(Control(kDrive));
  UpdateWindow(hwnd_);
}

void FormConverterWindow::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto make = [&](int id, const wchar_t* kind, const char* text, DWORD style, DWORD ex = 0) {
    CreateWindowExW(ex, kind, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
                    0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                    nullptr);
  };
  const DWORD list = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                     LBS_NOINTEGRALHEIGHT;
  // Created in the order of the focus.  A list's text is not shown: it is
  // the name a screen reader gives it.  The name box's label comes just
  // before it, which names it for a screen reader.
  make(kDrive, WC_COMBOBOXW, "",
       WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
  make(kSourceDir, WC_LISTBOXW, texts::kSourceDirName, list, WS_EX_CLIENTEDGE);
  make(kSourceFileList, WC_LISTBOXW, texts::kSourceFileListName, list, WS_EX_CLIENTEDGE);
  make(kDestDir, WC_LISTBOXW, texts::kDestDirName, list, WS_EX_CLIENTEDGE);
  make(kLabel22, WC_STATICW, texts::kLabel22, SS_NOPREFIX | SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS);
  make(kDestFileName, WC_EDITW, "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
  make(kDestFileList, WC_LISTBOXW, texts::kDestFileListName, list, WS_EX_CLIENTEDGE);
  make(kConveSalva, WC_BUTTONW, texts::kConveSalva, WS_TABSTOP | BS_PUSHBUTTON);
  make(kInfo, WC_BUTTONW, texts::kInfo, WS_TABSTOP | BS_PUSHBUTTON);
  make(kExit, WC_BUTTONW, texts::kExit, WS_TABSTOP | BS_PUSHBUTTON);
  make(kFrame1, WC_BUTTONW, texts::kFrame1, BS_GROUPBOX);
  make(kFrame3, WC_BUTTONW, texts::kFrame3, BS_GROUPBOX);
  make(kFrame2, WC_BUTTONW, texts::kFrame2, BS_GROUPBOX);
  // A long name ends in "..." where it does not fit.
  const std::pair<int, const char*> labels[] = {{kSourceFile, texts::kSourceFile},
                                                {kTipoFile, texts::kTipoFile},
                                                {kFileSize, texts::kFileSize},
                                                {kFileDate, texts::kFileDate},
                                                {kConvPreview, texts::kConvPreview}};
  for (const auto& [id, text] : labels)
    make(id, WC_STATICW, text, SS_NOPREFIX | SS_ENDELLIPSIS);
  // The frames lie beneath the controls they frame.
  for (int id : {kFrame1, kFrame3, kFrame2})
    SetWindowPos(Control(id), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageW(Control(kDestFileName), EM_SETLIMITTEXT, 255, 0);
  AddTips();
}

void FormConverterWindow::AddTips() {
  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                              0, 0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (const Tip& tip : kTips) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    // Every tip is asked for when it shows: a list shows a name it cuts
    // short in place of its own tip.
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    if (tip.id == kFrame2) {
      // A frame lets the pointer through: its rectangle is the tool.
      tool.uFlags = 0;
      tool.uId = static_cast<UINT_PTR>(kFrame2);
    } else {
      tool.uFlags = TTF_IDISHWND;
      tool.uId = reinterpret_cast<UINT_PTR>(Control(tip.id));
    }
    SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void FormConverterWindow::ApplyFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                             static_cast<UINT>(dpi_));
  // The largest font, up to the system's dialog font, that shows every text
  // whole in its control: the classic face of such forms first, then the
  // system's, then narrow ones.  None fits: the system's face at the
  // smallest size, and the labels end in "...".
  std::vector<std::wstring> faces = faces_;
  if (faces.empty()) {
    faces = {L"Microsoft Sans Serif", metrics.lfMessageFont.lfFaceName, L"Tahoma", L"Arial Narrow",
             L"DejaVu Sans Condensed"};
  }
  const int largest = std::max<int>(std::abs(metrics.lfMessageFont.lfHeight), MulDiv(11, dpi_, 96));
  const int smallest = MulDiv(9, dpi_, 96);
  const HDC dc = GetDC(hwnd_);
  LOGFONTW chosen = metrics.lfMessageFont;
  chosen.lfHeight = -smallest;
  bool found = false;
  for (int height = largest; height >= smallest && !found; --height) {
    for (const std::wstring& face : faces) {
      LOGFONTW look = metrics.lfMessageFont;
      look.lfHeight = -height;
      look.lfWidth = 0;
      wcsncpy(look.lfFaceName, face.c_str(), LF_FACESIZE - 1);
      look.lfFaceName[LF_FACESIZE - 1] = L'\0';
      const HFONT font = CreateFontIndirectW(&look);
      const HGDIOBJ old = SelectObject(dc, font);
      const bool fits = FitsEverywhere(dc);
      SelectObject(dc, old);
      DeleteObject(font);
      if (fits) {
        chosen = look;
        found = true;
        break;
      }
    }
  }
  ReleaseDC(hwnd_, dc);
  const HFONT font = CreateFontIndirectW(&chosen);
  for (int id = kDrive; id < kIdEnd; ++id)
    SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(tooltips_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
}

// Whether the font selected in `dc` shows every fixed text whole in its
// control (a frame's caption within the frame's inset, a button's within
// its edges), the widest texts the labels show, a line of a label within
// its height, and each tooltip on one line.
bool FormConverterWindow::FitsEverywhere(HDC dc) const {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  if (metrics.tmHeight > Px(layout::kLabelHeight)) return false;
  // A button reads "&" as the mark of its access key; a label shows it.
  const auto width = [dc](const std::string& text, bool button) {
    const std::wstring wide = Wide(text);
    RECT rect{0, 0, 0, 0};
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect,
              DT_CALCRECT | DT_SINGLELINE | (button ? 0 : DT_NOPREFIX));
    return static_cast<int>(rect.right);
  };
  const int button_margin = MulDiv(12, dpi_, 96);  // its edge and focus mark, each side
  for (const layout::TightText& fit : layout::kTightestTexts) {
    if (width(fit.text, fit.button) + (fit.button ? button_margin : 0) > Px(fit.width_twips))
      return false;
  }
  const int inset = 2 * FrameInset(dpi_);
  const struct {
    std::string text;
    int width;  // pixels
    bool button;
  } fixed[] = {
      {texts::kFrame1, Px(layout::kFrame1.width) - inset, false},
      {texts::kFrame3, Px(layout::kFrame3.width) - inset, false},
      {texts::kFrame2, Px(layout::kFrame2.width) - inset, false},
      {texts::kLabel22, Px(layout::kLabel22.width), false},
      {texts::kConveSalva, Px(layout::kConveSalva.width) - button_margin, true},
      {texts::kInfo, Px(layout::kInfo.width) - button_margin, true},
      {texts::kExit, Px(layout::kExit.width) - button_margin, true},
      {texts::kButtInfoOk, Px(layout::kButtInfoOk.width) - button_margin, true},
      {texts::kFreeware, Px(layout::kLabel1.width), false},
      {texts::AuthorLine(), Px(layout::kLabel2.width), false},
      {texts::kEmail, Px(layout::kLabel3.width), false},
      {texts::kWeb, Px(layout::kLabel4.width), false},
  };
  for (const auto& fit : fixed) {
    if (width(fit.text, fit.button) > fit.width) return false;
  }
  for (const Tip& tip : kTips) {
    if (width(tip.text, false) > MaxTipWidth()) return false;
  }
  return true;
}

int FormConverterWindow::MaxTipWidth() const {
  // A tip breaks its text into lines only when it could not show it on the
  // screen.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return std::max<int>(Px(6000), work.right - work.left - MulDiv(16, dpi_, 96));
}

void FormConverterWindow::Layout() {
  for (const auto& [id, twips, frame] : kPlaces) {
    // A drop-down list's height is its open list's.
    const int height = id == kDrive ? Px(twips.height) * 8 : Px(twips.height);
    MoveWindow(Control(id), Px(frame.left + twips.left), Px(frame.top + twips.top), Px(twips.width),
               height, TRUE);
  }
  TEXTMETRICW metrics{};
  const HDC dc = GetDC(hwnd_);
  const HGDIOBJ old = SelectObject(dc, font_);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  // As high as the Qt window's lines, so both show as many.
  const int line = std::max<int>(metrics.tmHeight, Px(layout::kListLineHeight));
  for (int id : {kSourceDir, kSourceFileList, kDestDir, kDestFileList})
    SendMessageW(Control(id), LB_SETITEMHEIGHT, 0, line);
  // The closed drive list is as tall as its place.
  SendMessageW(Control(kDrive), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
               Px(layout::kDrive.height) -
                   2 * GetSystemMetricsForDpi(SM_CYEDGE, static_cast<UINT>(dpi_)) - 2);
  SendMessageW(Control(kDrive), CB_SETITEMHEIGHT, 0, line);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = static_cast<UINT_PTR>(kFrame2);
  const layout::Twips frame = layout::kFrame2;
  tool.rect = {Px(frame.left), Px(frame.top), Px(frame.left + frame.width),
               Px(frame.top + frame.height)};
  SendMessageW(tooltips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, MaxTipWidth());
}

// ---------------------------------------------------------------------------
// The lists

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

void FormConverterWindow::Open(const std::string& path) {
  form_->Open(path);
}

// ---------------------------------------------------------------------------
// The view of the form logic

void FormConverterWindow::SetLabel(Label label, const std::string& text) {
  int id = kSourceFile;
  switch (label) {
    case Label::kSourceFile:
      id = kSourceFile;
      break;
    case Label::kFileSize:
      id = kFileSize;
      break;
    case Label::kFileDate:
      id = kFileDate;
      break;
    case Label::kTipoFile:
      id = kTipoFile;
      break;
    case Label::kConvPreview:
      id = kConvPreview;
      break;
  }
  SetWindowTextW(Control(id), Wide(text).c_str());
  // A screen reader tells the user the analysis' outcome.
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Control(id), OBJID_CLIENT, CHILDID_SELF);
}

void FormConverterWindow::Repaint() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FormConverterWindow::SetEnabled(form::Control control, bool enabled) {
  switch (control) {
    case form::Control::kConveSalva: {
      const HWND button = Control(kConveSalva);
      // Focus leaves the button before it is disabled, or the keyboard is lost.
      if (!enabled && GetFocus() == button) SetFocus(Control(kInfo));
      EnableWindow(button, enabled);
      break;
    }
  }
}

void FormConverterWindow::SetWindowEnabled(bool enabled) {
  EnableWindow(hwnd_, enabled);
}

void FormConverterWindow::SetWaitCursor(bool waiting) {
  if (waiting) {
    if (waiting_++ == 0) cursor_before_wait_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else if (waiting_ > 0 && --waiting_ == 0) {
    SetCursor(cursor_before_wait_ != nullptr ? cursor_before_wait_
                                             : LoadCursorW(nullptr, IDC_ARROW));
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

std::string FormConverterWindow::DestFileNameText() const {
  return Utf8(WindowText(Control(kDestFileName)));
}

void FormConverterWindow::SetDestFileNameText(const std::string& name) {
  SetWindowTextW(Control(kDestFileName), Wide(name).c_str());
}

form::BoxAnswer FormConverterWindow::ShowBox(const form::Box& box) {
  return boxes_->Show(hwnd_, box);
}

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

void FormConverterWindow::CloseWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// ---------------------------------------------------------------------------
// Messages

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
