// What the main window's form logic asks of a window: the toolkit-free side
// of FormConverter (see form_converter.h).  A window binding (ui/qt, ui/win32)
// implements it over its own controls; the tests implement it as a recording
// view that answers the questions.
//
// Texts are UTF-8; paths and file names are the file system's bytes as the
// engine takes them.  "\n" breaks a line in a message.  The view knows the
// file system only as far as its lists show it: which drives there are, which
// folders and files a list holds.
#pragma once

#include <string>

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

  // --- The drive list (Drive).
  // The selected drive as the user reads it (its root folder).
  virtual std::string DriveRoot() const = 0;
  // The folder to open on the selected drive: the one last opened there (at
  // first the current folder on its own drive, the root on the others), or
  // its nearest parent on that drive that can be read.  Empty when the drive
  // cannot be read at all.
  virtual std::string DriveFolder() const = 0;
  // The drive holding `folder` remembers it and is shown as selected,
  // without raising Drive_Change.
  virtual void RememberFolder(const std::string& folder) = 0;
  // Shows the drive selected before the user's last pick again, without
  // raising Drive_Change.
  virtual void UndoDrive() = 0;

  // --- The folder lists (SourceDir, DestDir) and file lists
  // (SourceFileList, DestFileList).
  virtual std::string Path(List list) const = 0;
  // Points the list at `folder`.  A folder list whose folder changes raises
  // its change event (SourceDir_Change, DestDir_Change) before this returns;
  // a file list shows the folder's files with none selected and raises
  // nothing.  False, and nothing changes, when the folder cannot be read.
  virtual bool SetPath(List list, const std::string& folder) = 0;
  // Reads the list's folder again, keeping the selection when it is still
  // there, raising nothing (a folder list whose folder is gone opens its
  // nearest readable parent, which raises its change event).
  virtual void Refresh(List list) = 0;
  // The file selected in a file list, without folder; empty when none.
  virtual std::string FileName(List list) const = 0;

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
