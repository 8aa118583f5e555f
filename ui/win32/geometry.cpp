// The Win32 window's geometry: every control placed from twips at the
// monitor's DPI, and the largest font that shows every text whole.
#include "window_parts.h"

#include <cstdlib>

#include "wide.h"

namespace tavrel::win32 {

using form::List;

namespace {

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

// How far a frame's caption keeps from the frame's left and right edges.
int FrameInset(int dpi) {
  return MulDiv(10, dpi, 96);
}

}  // namespace

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

}  // namespace tavrel::win32
