// The main window FormConverter as a native Win32 window: its controls,
// placed in twips by the monitor's DPI, the drive, folder and file lists in
// UTF-16, the information window, the keyboard.  What the window does lives
// in form::FormConverter (ui/form), which this window serves as its view and
// calls from the controls' notifications.  Its methods are written by seam:
// creation and the simple view here, the placing and the font in
// geometry.cpp, the lists in lists.cpp, the information window in
// info_window.cpp, the messages in messages.cpp.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "form_converter.h"
#include "form_view.h"
#include "message_boxes.h"

namespace tavrel::win32 {

// The controls, by their identifiers; the first nine take the focus in this
// order.
enum Id : int {
  kDrive = 101,
  kSourceDir,
  kSourceFileList,
  kDestDir,
  kDestFileName,
  kDestFileList,
  kConveSalva,
  kInfo,
  kExit,
  kFrame1,
  kFrame3,
  kLabel22,
  kFrame2,
  kSourceFile,
  kTipoFile,
  kFileSize,
  kFileDate,
  kConvPreview,
  kIdEnd
};

class FormConverterWindow : private form::FormView {
 public:
  struct Options {
    MessageBoxes* boxes = nullptr;  // null: ItalianMessageBoxes
    bool quit_on_close = true;      // the program ends with the window
    // The drives' root folders ("C:\"); empty for the machine's drives.
    std::vector<std::wstring> drives;
    // The faces the window's font is chosen from, in order; empty for the
    // usual ones (see ApplyFont).
    std::vector<std::wstring> faces;
  };

  explicit FormConverterWindow(const Options& options);
  ~FormConverterWindow() override;
  FormConverterWindow(const FormConverterWindow&) = delete;
  FormConverterWindow& operator=(const FormConverterWindow&) = delete;

  HWND Window() const { return hwnd_; }
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  // The information window while it is open, else null.
  HWND InfoWindow() const { return info_; }
  bool Closed() const { return hwnd_ == nullptr; }
  void Show(int how);
  // This window's temporary file (PEMBLIX.TMP, or PEMBLIXn.TMP beside
  // another running copy); empty when there is no place for it.
  std::string TemporaryFile() { return form_->TemporaryFile(); }

  // Opens a file or folder given from outside (the command line, a file
  // dropped on the window): the lists move to its folder as if the user had
  // opened it, and a file is then picked in SourceFileList (UTF-8).
  void Open(const std::string& path);

  // The keyboard's way into the windows: Tab, access keys, Enter, Esc, F5.
  // True when the message was handled.
  static bool PreTranslate(MSG& msg);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK InfoProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleInfo(UINT message, WPARAM wparam, LPARAM lparam);
  void Command(int id, int code);

  void CreateControls();
  void AddTips();
  void Layout();
  void LayoutInfo();
  void ApplyFont();
  bool FitsEverywhere(HDC dc) const;
  int MaxTipWidth() const;
  // Scrolls the list as little as needed to show its line `index` whole.
  void ScrollIntoView(HWND list, int index) const;
  int Px(int twips) const { return MulDiv(twips, dpi_, 1440); }

  HWND ListControl(form::List list) const;
  void DrawLine(const DRAWITEMSTRUCT& item);
  void ListTip(NMTTDISPINFOW& info);

  // form::FormView
  void SetLabel(Label label, const std::string& text) override;
  void Repaint() override;
  void SetEnabled(form::Control control, bool enabled) override;
  void SetWindowEnabled(bool enabled) override;
  void SetWaitCursor(bool waiting) override;
  void ShowDrives(const std::vector<std::string>& captions) override;
  void SelectDrive(int drive) override;
  int SelectedDrive() const override;
  void ShowFolders(form::List list, const std::vector<form::FolderLine>& lines,
                   int current) override;
  int CurrentLine(form::List list) const override;
  void ShowFiles(form::List list, const std::vector<std::string>& names, int selected,
                 bool keep_place) override;
  int SelectedFile(form::List list) const override;
  void SelectFile(form::List list, int file) override;
  std::string DestFileNameText() const override;
  void SetDestFileNameText(const std::string& name) override;
  form::BoxAnswer ShowBox(const form::Box& box) override;
  void ShowInfoWindow() override;
  void CloseInfoWindow() override;
  void CloseWindow() override;

  std::unique_ptr<MessageBoxes> own_boxes_;
  MessageBoxes* boxes_;
  bool quit_on_close_;
  HWND hwnd_ = nullptr;
  HWND info_ = nullptr;
  HWND tooltips_ = nullptr;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HICON drive_icon_ = nullptr, folder_open_ = nullptr, folder_closed_ = nullptr;
  HICON fennok_ = nullptr;
  HCURSOR cursor_before_wait_ = nullptr;
  int waiting_ = 0;

  std::vector<std::wstring> faces_;  // the fonts' faces to choose from
  std::wstring tip_text_;            // a list's tip being shown

  // Last: it starts the window's lists, so everything above exists.
  std::unique_ptr<form::FormConverter> form_;
};

}  // namespace tavrel::win32
