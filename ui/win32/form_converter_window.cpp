// The Win32 window's creation and the simple part of its view: labels,
// buttons, the name box, the boxes.
#include "window_parts.h"

#include <shellapi.h>

#include "resources.h"
#include "wide.h"

namespace tavrel::win32 {

using form::List;

namespace {

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

}  // namespace

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

std::string FormConverterWindow::DestFileNameText() const {
  return Utf8(WindowText(Control(kDestFileName)));
}

void FormConverterWindow::SetDestFileNameText(const std::string& name) {
  SetWindowTextW(Control(kDestFileName), Wide(name).c_str());
}

form::BoxAnswer FormConverterWindow::ShowBox(const form::Box& box) {
  return boxes_->Show(hwnd_, box);
}

void FormConverterWindow::CloseWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

}  // namespace tavrel::win32
