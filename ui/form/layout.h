// Where the two windows' controls sit, in twips (1440 to the inch, 15 to a
// pixel at 96 DPI), relative to their container: the window's client area, or
// for the controls of Frame3 and Frame2 that frame.  The layout is fixed.
#pragma once

#include "texts.h"

namespace tavrel::form::layout {

struct Twips {
  int left, top, width, height;
};

// The main window FormConverter: client area 7020 x 5595.
inline constexpr int kFormWidth = 7020;
inline constexpr int kFormHeight = 5595;
inline constexpr Twips kFrame1{120, 120, 3255, 3375};
inline constexpr Twips kDrive{360, 480, 2775, 315};
inline constexpr Twips kSourceDir{360, 840, 2775, 1215};
inline constexpr Twips kSourceFileList{360, 2160, 2775, 1065};
inline constexpr Twips kFrame3{3600, 120, 3255, 3375};
inline constexpr Twips kDestDir{240, 360, 2775, 1215};       // in Frame3
inline constexpr Twips kLabel22{240, 1680, 2775, 255};       // in Frame3
inline constexpr Twips kDestFileName{240, 1920, 2775, 285};  // in Frame3
inline constexpr Twips kDestFileList{240, 2400, 2775, 870};  // in Frame3
inline constexpr Twips kFrame2{120, 3720, 5055, 1695};
inline constexpr Twips kSourceFile{240, 360, 4695, 255};    // in Frame2
inline constexpr Twips kTipoFile{240, 600, 4695, 255};      // in Frame2
inline constexpr Twips kFileSize{240, 840, 4695, 255};      // in Frame2
inline constexpr Twips kFileDate{240, 1080, 4695, 255};     // in Frame2
inline constexpr Twips kConvPreview{240, 1320, 4695, 255};  // in Frame2
inline constexpr Twips kConveSalva{5400, 3720, 1455, 495};
inline constexpr Twips kInfo{5400, 4320, 1455, 495};
inline constexpr Twips kExit{5400, 4920, 1455, 495};

// The information window InfoWindow: client area 4365 x 3630.
inline constexpr int kInfoWidth = 4365;
inline constexpr int kInfoHeight = 3630;
inline constexpr Twips kButtInfoOk{3240, 2400, 780, 465};
inline constexpr Twips kFennokIcon{360, 2400, 480, 480};
inline constexpr Twips kLabel1{1320, 2280, 1335, 255};
inline constexpr Twips kLabel3{1200, 2880, 1575, 255};
inline constexpr Twips kLabel2{1320, 2520, 1335, 255};
inline constexpr Twips kIstruzioni{240, 240, 3855, 1695};
inline constexpr Twips kLabel4{1200, 3120, 1575, 255};
inline constexpr Twips kLine1{1080, 2760, 1800, 0};  // a horizontal rule

// The height of a line of the folder and file lists: every list shows as
// many whole lines in each window (at 96 DPI a line is 16 pixels, room for a
// folder's picture).
inline constexpr int kListLineHeight = 240;

// A window's place on the screen, in pixels.
struct Rect {
  int left, top, width, height;
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// A window `width` x `height` centred on the window `over`, moved as little as
// needed to lie within `screen` (its top-left corner on the screen when it is
// larger).
constexpr Rect CentredOn(const Rect& over, int width, int height, const Rect& screen) {
  int left = over.left + (over.width - width) / 2;
  int top = over.top + (over.height - height) / 2;
  if (left + width > screen.left + screen.width) left = screen.left + screen.width - width;
  if (top + height > screen.top + screen.height) top = screen.top + screen.height - height;
  if (left < screen.left) left = screen.left;
  if (top < screen.top) top = screen.top;
  return {left, top, width, height};
}

// The widest texts against the narrowest controls that show them: a window's
// font shows each of them whole (and "di " with the author's name in Label2).
struct TightText {
  const char* text;  // UTF-8; "&" marks an access key
  int width_twips;
  bool button;
};
inline constexpr TightText kTightestTexts[] = {
    {texts::kLabel22, kLabel22.width, false},
    {texts::kFrame3, kFrame3.width - 480, false},
    {"Conversione: Attendere... analisi del file in corso", kConvPreview.width, false},
    {"Conversione: Rapida (modifica intestazione)", kConvPreview.width, false},
    {"Formato: Libreria TAVREL 3.5 per Dos", kTipoFile.width, false},
    {"Data Creazione: 30/12/2003 23:59:59", kFileDate.width, false},
    {texts::kConveSalva, kConveSalva.width, true},
    {texts::kInfo, kInfo.width, true},
    {texts::kFreeware, kLabel1.width, false},
    {texts::kEmail, kLabel3.width, false},
    {texts::kWeb, kLabel4.width, false},
};
// The height of a one-line label.
inline constexpr int kLabelHeight = 255;

}  // namespace tavrel::form::layout
