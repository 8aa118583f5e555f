// The Win32 window under Wine, worked through its controls as a user works
// them: geometry from twips, the lists, the keyboard, the save with its
// questions answered through the boxes, the information window, F5, opening
// a file from outside and the exit.  What the form decides is tested once,
// without a window, in tests/form.
#include "form_converter_window.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "files.h"
#include "scripted_answers.h"
#include "tavrel.h"
#include "wide.h"

namespace tavrel::win32 {
namespace {

namespace fs = std::filesystem;
using form::BoxAnswer;
using form::BoxButtons;

// Records every box; a question takes the next queued answer.
class RecordingBoxes : public MessageBoxes, public testing::ScriptedAnswers {
 public:
  BoxAnswer Show(HWND, const form::Box& box) override { return Answer(box); }
};

std::string Text(HWND hwnd) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(hwnd, buffer, 1024);
  return Utf8(buffer);
}

std::vector<std::string> Lines(HWND list) {
  std::vector<std::string> lines;
  const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t line[512] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
    lines.push_back(Utf8(line));
  }
  return lines;
}

std::string Selected(HWND list) {
  const auto index = SendMessageW(list, LB_GETCURSEL, 0, 0);
  return index == LB_ERR ? std::string() : Lines(list)[static_cast<std::size_t>(index)];
}

// Runs the messages a key or a close left queued.
void Pump() {
  MSG pending;
  while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
    if (!FormConverterWindow::PreTranslate(pending)) DispatchMessageW(&pending);
  }
}

// A key as the message loop would give it to the window.
bool Key(HWND target, UINT message, WPARAM key) {
  MSG msg{target, message, key, 0, 0, {}};
  const bool taken = FormConverterWindow::PreTranslate(msg);
  if (!taken) DispatchMessageW(&msg);
  Pump();
  return taken;
}

class FormConverterWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = NewTemporaryFolder("tavrel_win32_");
    fs::create_directories(folder_ / "sub");
    fs::copy_file(fs::path(TAVREL_SAMPLES_DIR) / "BOARD40.PCB", folder_ / "BOARD40.PCB");
    fs::copy_file(fs::path(TAVREL_SAMPLES_DIR) / "NOTE.TXT", folder_ / "NOTE.TXT");
    std::ofstream(folder_ / L"łódź.sch", std::ios::binary) << "x";
    std::ofstream(folder_ / "hidden.pcb", std::ios::binary) << "x";
    SetFileAttributesW((folder_ / "hidden.pcb").c_str(), FILE_ATTRIBUTE_HIDDEN);
    previous_ = fs::current_path();
    fs::current_path(folder_);
    Start({});
  }
  void TearDown() override {
    window_.reset();
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    EXPECT_TRUE(temporary_.empty() || !fs::exists(temporary_)) << "temporary file left behind";
    EXPECT_FALSE(boxes_.unexpected_question) << "a question came that the test did not expect";
  }
  void Start(std::vector<std::wstring> drives, std::vector<std::wstring> faces = {}) {
    window_.reset();
    window_ = std::make_unique<FormConverterWindow>(
        FormConverterWindow::Options{&boxes_, false, std::move(drives), std::move(faces)});
    window_->Show(SW_SHOWNOACTIVATE);
    temporary_ = window_->TemporaryFile();
    ASSERT_FALSE(temporary_.empty());
  }
  HWND Control(int id) { return window_->Control(id); }
  // A pick in a list or the drive list, as the mouse makes it.
  void Pick(int id, int index) {
    const bool combo = id == kDrive;
    SendMessageW(Control(id), combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(window_->Window(), WM_COMMAND,
                 MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Control(id)));
  }
  void Press(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  std::string Here() const { return Utf8(folder_.wstring()); }

  RecordingBoxes boxes_;
  fs::path folder_, previous_;
  std::string temporary_;
  std::unique_ptr<FormConverterWindow> window_;
};

// At the screen's DPI: 96 unless TAVREL_TEST_DPI says which the test run
// set (Wine's LogPixels).
TEST_F(FormConverterWindowTest, ClientAreaAndControlsComeFromTwipsAtTheScreensDpi) {
  const char* const set = std::getenv("TAVREL_TEST_DPI");
  const int dpi = set != nullptr ? std::atoi(set) : 96;
  ASSERT_EQ(GetDpiForWindow(window_->Window()), static_cast<UINT>(dpi));
  EXPECT_EQ(Text(window_->Window()), "Tavrel Converter 1.1 (21.11.2003)");
  // 7020 x 5595 twips.
  const std::map<int, SIZE> client_sizes{{96, {468, 373}}, {144, {702, 560}}};
  ASSERT_EQ(client_sizes.count(dpi), 1u) << dpi;
  RECT client{};
  GetClientRect(window_->Window(), &client);
  EXPECT_EQ(client.right, client_sizes.at(dpi).cx);
  EXPECT_EQ(client.bottom, client_sizes.at(dpi).cy);
  // At 96 DPI; a control in a frame sits at the frame's corner plus its own
  // place.
  const struct {
    int id, left, top, width, height;
  } expected[] = {{kSourceDir, 24, 56, 185, 81},      {kSourceFileList, 24, 144, 185, 71},
                  {kDestDir, 256, 32, 185, 81},       {kDestFileName, 256, 136, 185, 19},
                  {kDestFileList, 256, 168, 185, 58}, {kConveSalva, 360, 248, 97, 33},
                  {kExit, 360, 328, 97, 33},          {kConvPreview, 24, 336, 313, 17}};
  // Other DPIs scale the twips, not the rounded pixels: one pixel of
  // difference is the rounding.
  const auto close_to = [dpi](int pixels, int at96) {
    return std::abs(pixels - at96 * dpi / 96) <= 1;
  };
  for (const auto& want : expected) {
    RECT rect{};
    GetWindowRect(Control(want.id), &rect);
    MapWindowPoints(nullptr, window_->Window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_PRED2(close_to, rect.left, want.left) << want.id;
    EXPECT_PRED2(close_to, rect.top, want.top) << want.id;
    EXPECT_PRED2(close_to, rect.right - rect.left, want.width) << want.id;
    EXPECT_PRED2(close_to, rect.bottom - rect.top, want.height) << want.id;
  }
  // The font grows with the DPI.
  const auto font = reinterpret_cast<HFONT>(SendMessageW(Control(kLabel22), WM_GETFONT, 0, 0));
  LOGFONTW look{};
  ASSERT_NE(GetObjectW(font, sizeof look, &look), 0);
  EXPECT_GE(std::abs(look.lfHeight), 9 * dpi / 96);
}

TEST_F(FormConverterWindowTest, StartsInTheCurrentFolderWithItsFilesAndTabsInOrder) {
  EXPECT_FALSE(IsWindowEnabled(Control(kConveSalva)));
  EXPECT_EQ(Text(Control(kDestFileName)), "");
  EXPECT_EQ(Text(Control(kSourceFile)), "Nome: ");
  EXPECT_EQ(Text(Control(kConveSalva)), "&Converte && Salva");
  // Ordinary visible files only, sorted without regard to case, any Unicode
  // name; none selected.
  const std::vector<std::string> files{"BOARD40.PCB", "NOTE.TXT", "łódź.sch"};
  EXPECT_EQ(Lines(Control(kSourceFileList)), files);
  EXPECT_EQ(Lines(Control(kDestFileList)), files);
  EXPECT_EQ(Selected(Control(kSourceFileList)), "");
  // The folder list: the path from its root, then the subfolders.
  const std::vector<std::string> dirs = Lines(Control(kSourceDir));
  ASSERT_GE(dirs.size(), 3u);
  EXPECT_EQ(dirs.front(), "C:\\");
  EXPECT_EQ(dirs.back(), "sub");
  EXPECT_EQ(Selected(Control(kSourceDir)), folder_.filename().string());
  EXPECT_EQ(Lines(Control(kDestDir)), dirs);
  // Tab goes through the controls in order, past the disabled ConveSalva.
  const int order[] = {kDrive,        kSourceDir, kSourceFileList, kDestDir, kDestFileName,
                       kDestFileList, kInfo,      kExit,           kDrive};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    EXPECT_EQ(GetNextDlgTabItem(window_->Window(), Control(order[i]), FALSE), Control(order[i + 1]))
        << order[i];
  }
}

TEST_F(FormConverterWindowTest, KeyboardSelectionAnalysesAndAltCSavesAfterAskingBeforeReplacing) {
  // Home on the list selects its first file, as a click would.
  SetFocus(Control(kSourceFileList));
  Key(Control(kSourceFileList), WM_KEYDOWN, VK_HOME);
  EXPECT_EQ(Text(Control(kDestFileName)), "3_BOARD4.PCB");
  EXPECT_EQ(Text(Control(kConvPreview)), "Conversione: Possibile!");
  ASSERT_TRUE(IsWindowEnabled(Control(kConveSalva)));
  const std::string converted = ReadFile(temporary_);
  EXPECT_EQ(converted, ReadFile(fs::path(TAVREL_GOLDEN_DIR) / "BOARD40.PCB.out"));

  std::ofstream(folder_ / "3_BOARD4.PCB", std::ios::binary) << "old";
  for (const BoxAnswer answer : {BoxAnswer::kNo, BoxAnswer::kYes}) {
    boxes_.shown.clear();
    boxes_.answers = {answer};
    EXPECT_TRUE(Key(Control(kSourceFileList), WM_SYSCHAR, 'c'));  // Alt+C
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].title, "Attenzione!");
    EXPECT_EQ(boxes_.shown[0].text, "Il file 3_BOARD4.PCB esiste già. Lo sovrascrivo?");
    EXPECT_EQ(boxes_.shown[0].default_answer, BoxAnswer::kYes);
  }
  EXPECT_EQ(ReadFile(folder_ / "3_BOARD4.PCB"), converted);
  EXPECT_FALSE(fs::exists(temporary_));
  EXPECT_FALSE(IsWindowEnabled(Control(kConveSalva)));
  EXPECT_NE(GetFocus(), Control(kConveSalva));
  // Both lists of the folder show the saved file; the selection stays.
  EXPECT_EQ(Lines(Control(kDestFileList)).size(), 4u);
  EXPECT_EQ(Selected(Control(kSourceFileList)), "BOARD40.PCB");
}

TEST_F(FormConverterWindowTest, FoldersOpenWithEnterAndTheDestinationListsFollow) {
  Pick(kDestFileList, 1);  // NOTE.TXT
  EXPECT_EQ(Text(Control(kDestFileName)), "3_NOTE.TXT");
  EXPECT_FALSE(IsWindowEnabled(Control(kConveSalva)));
  const HWND dirs = Control(kSourceDir);
  SendMessageW(dirs, LB_SETCURSEL, SendMessageW(dirs, LB_GETCOUNT, 0, 0) - 1, 0);  // "sub"
  EXPECT_TRUE(Key(dirs, WM_KEYDOWN, VK_RETURN));
  EXPECT_EQ(Selected(dirs), "sub");
  EXPECT_TRUE(Lines(Control(kSourceFileList)).empty());
  EXPECT_EQ(Lines(Control(kDestDir)), Lines(dirs));
  EXPECT_TRUE(Lines(Control(kDestFileList)).empty());
  // Back up by the line of the folder above.
  SendMessageW(dirs, LB_SETCURSEL, SendMessageW(dirs, LB_GETCOUNT, 0, 0) - 2, 0);
  Key(dirs, WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(Lines(Control(kSourceFileList)).size(), 3u);
  // A folder removed behind the list's back is said when opened.
  fs::remove(folder_ / "sub");
  SendMessageW(dirs, LB_SETCURSEL, SendMessageW(dirs, LB_GETCOUNT, 0, 0) - 1, 0);
  Key(dirs, WM_KEYDOWN, VK_RETURN);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text.rfind("Impossibile aprire la cartella " + Here() + "\\sub:", 0),
            0u)
      << boxes_.shown[0].text;
}

TEST_F(FormConverterWindowTest, AnUnreadyDriveIsSaidAndEachDriveKeepsItsFolder) {
  Start({L"C:\\", L"Q:\\", L"Z:\\"});  // Q: is not there
  const HWND drives = Control(kDrive);
  ASSERT_EQ(SendMessageW(drives, CB_GETCURSEL, 0, 0), 0);
  // In the open list the arrows only move; the pick is where it closes.
  SetFocus(drives);
  SendMessageW(drives, CB_SHOWDROPDOWN, TRUE, 0);
  Key(drives, WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(SendMessageW(drives, CB_GETCURSEL, 0, 0), 1);
  EXPECT_TRUE(boxes_.shown.empty());
  Key(drives, WM_KEYDOWN, VK_RETURN);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text,
            "Impossibile leggere l'unità Q:\\.\nVerificare che sia pronta e riprovare.");
  EXPECT_EQ(SendMessageW(drives, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Lines(Control(kSourceFileList)).size(), 3u);

  Pick(kDrive, 2);
  EXPECT_EQ(Lines(Control(kSourceDir)).front(), "Z:\\");
  EXPECT_EQ(Lines(Control(kDestDir)), Lines(Control(kSourceDir)));
  Pick(kDrive, 0);  // back where the user was on C:
  EXPECT_EQ(Selected(Control(kSourceDir)), folder_.filename().string());
  EXPECT_EQ(Lines(Control(kDestFileList)).size(), 3u);
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(FormConverterWindowTest, F5ShowsNewFilesAndKeepsTheSelection) {
  Pick(kSourceFileList, 1);  // NOTE.TXT: not convertible, still selected
  std::ofstream(folder_ / "A.SCH", std::ios::binary) << "x";
  fs::create_directory(folder_ / "new");
  EXPECT_TRUE(Key(Control(kSourceFileList), WM_KEYDOWN, VK_F5));
  EXPECT_EQ(Lines(Control(kSourceFileList)).front(), "A.SCH");
  EXPECT_EQ(Selected(Control(kSourceFileList)), "NOTE.TXT");
  EXPECT_EQ(Lines(Control(kDestFileList)).size(), 4u);
  EXPECT_EQ(Lines(Control(kDestDir)).back(), "sub");
  EXPECT_EQ(Lines(Control(kSourceDir)).end()[-2], "new");
}

// The tip a list gives for the point under the pointer.
std::string TipAt(HWND window, HWND list, int line) {
  RECT rect{};
  SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect));
  POINT point{rect.left + 4, (rect.top + rect.bottom) / 2};
  ClientToScreen(list, &point);
  SetCursorPos(point.x, point.y);
  NMTTDISPINFOW info{};
  info.hdr.hwndFrom = nullptr;
  info.hdr.idFrom = reinterpret_cast<UINT_PTR>(list);
  info.hdr.code = TTN_GETDISPINFOW;
  info.uFlags = TTF_IDISHWND;
  SendMessageW(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  return info.lpszText != nullptr ? Utf8(info.lpszText) : std::string();
}

TEST_F(FormConverterWindowTest, AListShowsANameItCutsShortWholeInItsTip) {
  const std::string long_name = "scheda madre del controllore di linea, revisione finale.pcb";
  std::ofstream(folder_ / long_name, std::ios::binary) << "x";
  Key(Control(kSourceFileList), WM_KEYDOWN, VK_F5);
  const HWND list = Control(kSourceFileList);
  ASSERT_EQ(Lines(list)[2], long_name);
  EXPECT_EQ(TipAt(window_->Window(), list, 2), long_name);
  EXPECT_EQ(TipAt(window_->Window(), list, 0), "Seleziona il file da convertire");
}

TEST_F(FormConverterWindowTest, OpeningFromOutsideDoesWhatAClickDoes) {
  window_->Open(Utf8((folder_ / "BOARD40.PCB").wstring()));
  EXPECT_EQ(Selected(Control(kSourceFileList)), "BOARD40.PCB");
  EXPECT_TRUE(IsWindowEnabled(Control(kConveSalva)));
  window_->Open(Utf8((folder_ / "hidden.pcb").wstring()));
  window_->Open(Utf8((folder_ / "missing.pcb").wstring()));
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[0].text.rfind("Il file " + Here() + "\\hidden.pcb non si può aprire", 0),
            0u)
      << boxes_.shown[0].text;
  EXPECT_EQ(boxes_.shown[1].text, "Il file " + Here() + "\\missing.pcb non esiste.");
}

TEST_F(FormConverterWindowTest, InformationWindowDisablesTheMainWindowUntilClosed) {
  // Enter and Esc press its OK; its title bar closes it too.
  for (const UINT key : {UINT{VK_RETURN}, UINT{VK_ESCAPE}, UINT{0}}) {
    Press(kInfo);
    const HWND info = window_->InfoWindow();
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(IsWindowEnabled(window_->Window()));
    EXPECT_EQ(Text(info), "Informazioni");
    EXPECT_EQ(GetWindow(info, GW_OWNER), nullptr);
    RECT client{};
    GetClientRect(info, &client);
    EXPECT_EQ(client.right, 291);   // 4365 twips
    EXPECT_EQ(client.bottom, 242);  // 3630 twips
    EXPECT_EQ(GetFocus(), GetDlgItem(info, IDOK));
    // The disabled main window brought to the front brings it back on top.
    SetForegroundWindow(window_->Window());
    Pump();
    EXPECT_EQ(GetForegroundWindow(), info);
    if (key != 0) {
      EXPECT_TRUE(Key(GetFocus(), WM_KEYDOWN, key));
    } else {
      SendMessageW(info, WM_CLOSE, 0, 0);
    }
    Pump();
    EXPECT_EQ(window_->InfoWindow(), nullptr) << key;
    EXPECT_FALSE(IsWindow(info)) << key;
    EXPECT_TRUE(IsWindowEnabled(window_->Window())) << key;
  }
}

TEST_F(FormConverterWindowTest, ExitAndTheTitleBarDeleteTheTemporaryFileAndClose) {
  for (const bool title_bar : {false, true}) {
    Start({});
    Pick(kSourceFileList, 0);
    ASSERT_TRUE(fs::exists(temporary_));
    if (title_bar) {
      SendMessageW(window_->Window(), WM_CLOSE, 0, 0);
    } else {
      Press(kExit);
    }
    EXPECT_FALSE(fs::exists(temporary_)) << title_bar;
    EXPECT_TRUE(window_->Closed()) << title_bar;
    EXPECT_TRUE(boxes_.shown.empty()) << title_bar;
  }
}

TEST_F(FormConverterWindowTest, TheTitleBarsCloseWaitsWhileTheInformationWindowIsOpen) {
  Pick(kSourceFileList, 0);
  Press(kInfo);
  const HWND info = window_->InfoWindow();
  ASSERT_NE(info, nullptr);
  // From the task bar: the disabled main window does not react, and the
  // information window comes to the front.
  SendMessageW(window_->Window(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(window_->Closed());
  EXPECT_EQ(window_->InfoWindow(), info);
  EXPECT_EQ(GetForegroundWindow(), info);
  EXPECT_TRUE(fs::exists(temporary_));
  Key(GetDlgItem(info, IDOK), WM_KEYDOWN, VK_RETURN);
  SendMessageW(window_->Window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(window_->Closed());
  EXPECT_FALSE(fs::exists(temporary_));
}

TEST_F(FormConverterWindowTest, TheInformationWindowOpensCentredAndTabKeepsItsTextAtTheTop) {
  SetWindowPos(window_->Window(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Press(kInfo);
  const HWND info = window_->InfoWindow();
  ASSERT_NE(info, nullptr);
  RECT main{}, box{};
  GetWindowRect(window_->Window(), &main);
  GetWindowRect(info, &box);
  EXPECT_LE(std::abs((main.left + main.right) - (box.left + box.right)), 2);
  EXPECT_LE(std::abs((main.top + main.bottom) - (box.top + box.bottom)), 2);
  // Tab from OK into the instructions: the caret stays at the top, nothing
  // selected, as the Qt window does.
  const HWND text = GetDlgItem(info, 201);
  Key(GetFocus(), WM_KEYDOWN, VK_TAB);
  ASSERT_EQ(GetFocus(), text);
  DWORD start = 1, end = 1;
  SendMessageW(text, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
  EXPECT_EQ(SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  Key(GetFocus(), WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(window_->InfoWindow(), nullptr);
}

TEST_F(FormConverterWindowTest, ListsShowAsManyLinesAsTheQtWindowAndASavedRowStaysInSight) {
  // Whole lines of 240 twips (16 pixels) in each list.
  const std::pair<int, int> lines[] = {
      {kSourceDir, 4}, {kSourceFileList, 4}, {kDestDir, 4}, {kDestFileList, 3}};
  for (const auto& [id, expected] : lines) {
    RECT client{};
    GetClientRect(Control(id), &client);
    const auto height = SendMessageW(Control(id), LB_GETITEMHEIGHT, 0, 0);
    EXPECT_EQ(height, 16) << id;
    EXPECT_EQ(client.bottom / height, expected) << id;
  }
  // The fifth line, cut by the list's bottom, picked and saved: it is in
  // sight whole afterwards.
  for (const char* name : {"A1.SCH", "A2.SCH", "A3.SCH", "A4.SCH"})
    std::ofstream(folder_ / name, std::ios::binary) << "x";
  const HWND list = Control(kSourceFileList);
  Key(list, WM_KEYDOWN, VK_F5);
  ASSERT_EQ(Lines(list)[4], "BOARD40.PCB");
  Pick(kSourceFileList, 4);
  SendMessageW(list, LB_SETTOPINDEX, 0, 0);
  Press(kConveSalva);
  ASSERT_FALSE(IsWindowEnabled(Control(kConveSalva)));  // saved
  RECT row{}, client{};
  SendMessageW(list, LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&row));
  GetClientRect(list, &client);
  EXPECT_GE(row.top, 0);
  EXPECT_LE(row.bottom, client.bottom);
}

// Whether a font of that face is there.
bool FaceExists(const std::wstring& face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  bool found = false;
  const HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(
      dc, &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM flag) -> int {
        *reinterpret_cast<bool*>(flag) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

// The width `text` takes in the control's font.
int TextWidth(HWND control, const std::wstring& text, bool prefix) {
  const HDC dc = GetDC(control);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return rect.right;
}

TEST_F(FormConverterWindowTest, EveryTextFitsItsControlInEachFaceThereIs) {
  std::vector<std::wstring> faces;
  // The faces the window chooses from.
  for (const wchar_t* face : {L"Microsoft Sans Serif", L"MS Shell Dlg 2", L"Tahoma",
                              L"Arial Narrow", L"DejaVu Sans Condensed"}) {
    if (FaceExists(face)) faces.push_back(face);
  }
  ASSERT_FALSE(faces.empty());
  std::string tried;
  for (const std::wstring& face : faces)
    tried += (tried.empty() ? "" : ", ") + Utf8(face);
  RecordProperty("faces", tried);
  // The widest texts the result labels show, in the label's width.
  const std::vector<std::string> results = {"Conversione: Attendere... analisi del file in corso",
                                            "Conversione: Rapida (modifica intestazione)",
                                            "Formato: Libreria TAVREL 3.5 per Dos",
                                            "Data Creazione: 30/12/2003 23:59:59"};
  for (const std::wstring& face : faces) {
    SCOPED_TRACE(Utf8(face));
    Start({}, {face});
    LOGFONTW look{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(kLabel22), WM_GETFONT, 0, 0)),
               sizeof look, &look);
    EXPECT_EQ(std::wstring(look.lfFaceName), face);
    const int inset = 2 * 10;  // a frame's caption keeps off its edges
    const int button_edges = 2 * 4;
    Press(kInfo);
    const HWND info = window_->InfoWindow();
    ASSERT_NE(info, nullptr);
    std::vector<HWND> controls;
    for (HWND parent : {window_->Window(), info}) {
      for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
           child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    }
    for (const HWND control : controls) {
      wchar_t kind[32] = {};
      GetClassNameW(control, kind, 32);
      const LONG style = GetWindowLongW(control, GWL_STYLE);
      const bool button = _wcsicmp(kind, L"Button") == 0;
      const bool frame = button && (style & BS_TYPEMASK) == BS_GROUPBOX;
      if (!button && _wcsicmp(kind, L"Static") != 0) continue;
      const std::wstring text = Wide(Text(control));
      if (text.empty()) continue;
      RECT client{};
      GetClientRect(control, &client);
      const int room = client.right - (frame ? inset : button ? button_edges : 0);
      EXPECT_LE(TextWidth(control, text, button), room) << Utf8(text);
    }
    for (const std::string& text : results)
      EXPECT_LE(TextWidth(Control(kConvPreview), Wide(text), false), [&] {
        RECT client{};
        GetClientRect(Control(kConvPreview), &client);
        return static_cast<int>(client.right);
      }()) << text;
    Key(GetDlgItem(info, IDOK), WM_KEYDOWN, VK_RETURN);
  }
}

TEST_F(FormConverterWindowTest, AScreenReaderNamesEachControlAndHearsTheOutcome) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const auto name = [](HWND control) {
    IAccessible* accessible = nullptr;
    // __uuidof: oleacc's import library has no IID_IAccessible as data.
    if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))) ||
        accessible == nullptr)
      return std::string("(none)");
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    std::string found;
    if (accessible->get_accName(self, &text) == S_OK && text != nullptr) found = Utf8(text);
    SysFreeString(text);
    accessible->Release();
    return found;
  };
  const std::pair<int, const char*> names[] = {
      {kSourceDir, "Cartella del file sorgente"},
      {kSourceFileList, "File sorgente"},
      {kDestDir, "Cartella di destinazione"},
      {kDestFileName, "Nome File (formato Dos 8+3 caratteri):"},
      {kDestFileList, "File di destinazione"},
      {kConveSalva, "Converte & Salva"},
      {kInfo, "Informazioni"},
      {kExit, "Esci"},
      {kSourceFile, "Nome: "},
      {kTipoFile, "Formato: "},
      {kFileSize, "Dimensione: "},
      {kFileDate, "Data Creazione: "},
      {kConvPreview, "Conversione: "},
  };
  for (const auto& [id, expected] : names) {
    std::string got = name(Control(id));
    // Wine takes out only the first "&" of a caption; Windows reads "&&" as "&".
    if (const auto at = got.find("&&"); at != std::string::npos) got.erase(at, 1);
    EXPECT_EQ(got, expected) << id;
  }
  // The outcome of an analysis is announced.
  static std::vector<HWND> renamed;
  renamed.clear();
  const HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
      [](HWINEVENTHOOK, DWORD, HWND hwnd, LONG, LONG, DWORD, DWORD) { renamed.push_back(hwnd); },
      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  Pick(kSourceFileList, 0);
  Pump();
  UnhookWinEvent(hook);
  EXPECT_NE(std::find(renamed.begin(), renamed.end(), Control(kConvPreview)), renamed.end());
  EXPECT_EQ(name(Control(kConvPreview)), "Conversione: Possibile!");
  CoUninitialize();
}

// The real boxes, answered by keys sent once they are up.
TEST(ItalianMessageBoxesTest, EscAnswersNoAndTheAccessKeysAnswer) {
  struct Case {
    WPARAM key;
    bool alt;
    BoxAnswer default_answer, expected;
  };
  const Case cases[] = {
      {VK_ESCAPE, false, BoxAnswer::kYes, BoxAnswer::kNo},
      {'s', true, BoxAnswer::kNo, BoxAnswer::kYes},
      {'n', true, BoxAnswer::kYes, BoxAnswer::kNo},
      {VK_RETURN, false, BoxAnswer::kYes, BoxAnswer::kYes},
  };
  // The boxes are task dialogs of the common controls 6, as the program's
  // manifest asks for.
  ACTCTXW context{};
  context.cbSize = sizeof context;
  const std::wstring manifest = Wide(TAVREL_MANIFEST);
  context.lpSource = manifest.c_str();
  const HANDLE activation = CreateActCtxW(&context);
  ASSERT_NE(activation, INVALID_HANDLE_VALUE);
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(activation, &cookie));
  static const Case* current = nullptr;
  static int ticks = 0;
  for (const auto& c : cases) {
    current = &c;
    ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
      const HWND box = FindWindowW(nullptr, L"Attenzione!");
      if (box == nullptr || !IsWindowVisible(box)) return;
      if (++ticks > 40) {  // the keys did nothing: end it, and the test fails
        EndDialog(box, IDABORT);
        return;
      }
      HWND focus = GetFocus();
      if (focus == nullptr) focus = box;
      if (current->alt) {
        PostMessageW(focus, WM_SYSCHAR, current->key, 1 << 29);
      } else {
        PostMessageW(focus, WM_KEYDOWN, current->key, 0);
      }
    });
    ItalianMessageBoxes boxes;
    const BoxAnswer answer =
        boxes.Show(nullptr, {"Attenzione!", "Il file X esiste già. Lo sovrascrivo?",
                             form::BoxIcon::kExclamation, BoxButtons::kYesNo, c.default_answer});
    KillTimer(nullptr, timer);
    EXPECT_TRUE(answer == c.expected) << c.key;
    EXPECT_LE(ticks, 40) << c.key;
  }
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(activation);
}

// Each line of `text`: no run without a blank over 40 characters, and the
// text itself when the line breaks are taken out.
TEST(BreakLongRunsTest, NoRunLongerThanABoxLineAndNothingLost) {
  const std::wstring folders = L"C:\\Disegni\\progetti_del_duemilatre\\schede_finite\\";
  const struct {
    std::wstring text;
    std::wstring first_line;  // up to the first break
  } cases[] = {
      {L"Il file 3_BOARD4.PCB esiste già. Lo sovrascrivo?", L""},
      {L"Il file " + folders + L"scheda_madre.pcb non esiste.",
       L"Il file C:\\Disegni\\progetti_del_duemilatre\\"},
      {std::wstring(100, L'x'), std::wstring(40, L'x')},
      // A character beyond the basic plane stays whole.
      {std::wstring(39, L'x') + L"\U0001F600" + L"yy", std::wstring(39, L'x') + L"\U0001F600"},
  };
  for (const auto& [text, first_line] : cases) {
    const std::wstring broken = BreakLongRuns(text);
    std::wstring joined;
    std::size_t run = 0, longest = 0;
    for (const wchar_t c : broken) {
      if (c == L'\n' && text.find(L'\n') == std::wstring::npos) {
        run = 0;
        continue;
      }
      joined += c;
      run = c == L' ' ? 0 : run + 1;
      longest = std::max(longest, run);
    }
    EXPECT_EQ(joined, text);
    EXPECT_LE(longest, 41u) << Utf8(broken);
    EXPECT_EQ(broken.substr(0, broken.find(L'\n')), first_line.empty() ? text : first_line)
        << Utf8(broken);
  }
}

}  // namespace
}  // namespace tavrel::win32
