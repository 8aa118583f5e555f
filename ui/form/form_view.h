// What the main window's form logic asks of a window: the toolkit-free side
// of FormConverter (see form_converter.h).  A window binding (ui/qt, ui/win32)
// implements it over its own controls; the tests implement it as a recording
// view that answers the questions.
//
// Texts are UTF-8; paths and file names are the file system's bytes as the
// engine takes them.  "\n" breaks a line in a message.  The view does not
// know the file system: the form tells each list what to show.
#pragma once

#include <string>
#include <vector>

#include "folders.h"
#include "tavrel.h"

namespace tavrel::form {

// The main window's controls that the form logic enables and disables.
enum class Control { kConveSalva };

// The folder and file lists of the main window.
enum class List { kSourceDir, kSourceFileList, kDestDir, kDestFileList };

enum class BoxIcon { kCritical, kExclamation };
enum class BoxButtons { kOk, kYesNo };
enum class BoxAnswer { kOk, kYes, kNo };

// A message box: an OK box tells, a Yes/No box asks.
struct Box {
  std::string title;
  std::string text;
  BoxIcon icon = BoxIcon::kExclamation;
  BoxButtons buttons = BoxButtons::kOk;
  BoxAnswer default_answer = BoxAnswer::kYes;  // for Yes and No
  // What Esc and the box's own close answer to Yes and No.
  BoxAnswer cancel_answer = BoxAnswer::kNo;
};

class FormView {
 public:
  virtual ~FormView() = default;

  // --- The information labels (SourceFile, TipoFile, FileSize, FileDate,
  // ConvPreview) and the one repaint the analysis asks for.
  virtual void SetLabel(Label label, const std::string& text) = 0;
  virtual void Repaint() = 0;

  // --- Controls and the window as a whole.
  virtual void SetEnabled(Control control, bool enabled) = 0;
  // The whole main window: disabled while the information window is open.
  virtual void SetWindowEnabled(bool enabled) = 0;
  // The wait cursor over the whole program while an analysis runs.
  virtual void SetWaitCursor(bool waiting) = 0;

  // --- The drive list (Drive): the form fills it and keeps each drive's
  // folder; none of these raises Drive_Change.
  virtual void ShowDrives(const std::vector<std::string>& captions) = 0;
  virtual void SelectDrive(int drive) = 0;
  // The drive the user picked (its index in ShowDrives); -1 when none.
  virtual int SelectedDrive() const = 0;

  // --- The folder lists (SourceDir, DestDir) and file lists
  // (SourceFileList, DestFileList): the form gives them their lines, sorted,
  // and raises the change events itself; none of these raises anything.
  // A folder list shows `lines`, with the line `current` current and in
  // sight.
  virtual void ShowFolders(List list, const std::vector<FolderLine>& lines, int current) = 0;
  // The line the user stands on in a folder list; -1 when none.
  virtual int CurrentLine(List list) const = 0;
  // A file list shows `names` with the file `selected` selected (-1: none);
  // `keep_place`: the list keeps its scrolling (the same folder read again),
  // else it starts at its first file.
  virtual void ShowFiles(List list, const std::vector<std::string>& names, int selected,
                         bool keep_place) = 0;
  // The file selected in a file list; -1 when none.
  virtual int SelectedFile(List list) const = 0;
  // Selects a file and brings it into sight.
  virtual void SelectFile(List list, int file) = 0;

  // --- The destination name (DestFileName).
  virtual std::string DestFileNameText() const = 0;
  virtual void SetDestFileNameText(const std::string& name) = 0;

  // --- Message boxes: shown over the main window, application-modal, with
  // the buttons texts::kYes, kNo and kOk (access keys S and N); Esc answers
  // the box's cancel_answer.  Returns the answer.
  virtual BoxAnswer ShowBox(const Box& box) = 0;

  // --- The information window (InfoWindow) and the main window's end.
  // Creates and shows the information window, not modal, with no owner,
  // centred on the main window (layout::CentredOn).
  virtual void ShowInfoWindow() = 0;
  // Closes and discards the information window when it is open.
  virtual void CloseInfoWindow() = 0;
  // Closes and discards the main window, which ends the program.
  virtual void CloseWindow() = 0;
};

}  // namespace tavrel::form
