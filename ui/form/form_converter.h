// The main window's form logic: what FormConverter does, written once and
// without any toolkit.
//
// Names: this class carries the window's name, FormConverter, and its event
// handlers carry the system's names (Form_Load, Drive_Change,
// SourceDir_Change, SourceFileList_Click, DestDir_Change,
// DestFileList_Click, ConveSalva_Click, Info_Click, ButtInfoOk_Click,
// Exit_Click, and Analizza behind the click on a source file).  A window
// binding owns the controls and implements FormView; it calls the handler
// of the same name when the user works a control.  The Qt binding is
// ui::FormConverterWindow (ui/qt), the Win32 binding ui/win32's window; the
// information window's controls belong to the binding's InfoWindow, its
// texts to texts.h, the geometry of both windows to layout.h.  A binding
// whose information window closes itself (Enter, Esc, its title bar) reports
// that with InfoWindow_Closed; one that leaves its OK button to the form
// calls ButtInfoOk_Click.
//
// Beyond the spoken behaviour of the handlers, the save step refuses what it
// cannot save sensibly (no name, a name a file cannot have, a folder gone,
// the temporary file itself, a folder or anything but a file at the
// destination) with a message, asks before it saves under a name that is
// not in the DOS 8+3 form, and says why a copy failed; the conversion is kept
// for another try.  Nothing here calls the operating system: the file
// system is reached through the engine (tavrel.h) and the view.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "folders.h"

#include "form_view.h"
#include "tavrel.h"

namespace tavrel::form {

class FormConverter {
 public:
  // `numbers` are the user's number settings, read by the binding once;
  // `drives` the drives' root folders, empty for the machine's.
  FormConverter(FormView& view, NumberSettings numbers,
                const std::vector<std::string>& drives = {});
  ~FormConverter();
  FormConverter(const FormConverter&) = delete;
  FormConverter& operator=(const FormConverter&) = delete;

  // The start-up handler, called once the controls exist: the drive list
  // filled, the source and destination lists on the current drive's folder,
  // ConveSalva disabled.
  void Form_Load();

  // The user picked another drive: every list moves to its folder.  A drive
  // that cannot be read is said in a message and the drive list shows the
  // drive it showed before.
  void Drive_Change();
  // SourceDir's folder changed: the drive remembers it, and SourceFileList,
  // DestDir and DestFileList move to it.
  void SourceDir_Change();
  // A file of SourceFileList was picked (mouse or keyboard), or picked again:
  // its proposed name goes to DestFileName and Analizza runs.
  void SourceFileList_Click();
  // DestDir's folder changed: DestFileList follows it.
  void DestDir_Change();
  // A file of DestFileList was picked: its proposed name goes to
  // DestFileName; nothing else changes.
  void DestFileList_Click();
  // Saves the waiting conversion at DestDir's folder under DestFileName's
  // name, asking before it replaces a file; then deletes the temporary file
  // and disables ConveSalva.  Does nothing while ConveSalva is disabled.
  void ConveSalva_Click();
  // Opens the information window and disables the main window.
  void Info_Click();
  // The information window's OK (Enter, Esc): enables the main window again
  // and closes the information window.
  void ButtInfoOk_Click();
  // The information window was closed some other way (its title bar): the
  // main window works again.
  void InfoWindow_Closed();
  // The main window's title bar (or the task bar) asks it to close.  While
  // the information window is open the main window does not react, as to
  // any other of its controls: false, nothing changes, and the binding
  // brings the information window to the front.  Otherwise Form_Unload
  // runs and the window may close: true.
  bool Form_QueryUnload();
  // The exit operation: Form_Unload, then the main window is closed.
  void Exit_Click();
  // The main window is closing, however that came (Exit, the title bar,
  // the error handler): the information window is closed and the temporary
  // file deleted.  Runs once; later calls do nothing.
  void Form_Unload();

  // A double click or Enter on a line of a folder list (SourceDir,
  // DestDir): that folder opens, raising the list's change event; one that
  // cannot be read is said in a message.
  void Folder_Open(List list);
  // Opens a file or folder given from outside (the command line, a drop):
  // the lists move to its folder as if the user had opened it, and a file is
  // then clicked in SourceFileList.  A path that does not exist, or a file
  // the list does not show, is only said.
  void Open(const std::string& path);
  // The lists read their folders again (F5), keeping the selections; a
  // folder list whose folder is gone opens its nearest readable parent.
  void Refresh();
  // Shows a message with the warning title and an OK button.
  void Say(const std::string& text, BoxIcon icon = BoxIcon::kExclamation);

  // The folder a list shows.
  const std::string& Path(List list) const { return State(list).path; }
  // Whether a complete conversion waits to be saved (ConveSalva enabled).
  bool ready() const { return ready_; }
  // Whether the information window is open (the main window disabled).
  bool info_window_open() const { return info_window_open_; }
  // This window's temporary file, held for its life; empty when there is no
  // place for it.
  std::string TemporaryFile();

 private:
  class Sink;

  class Batch;

  // A list's folder and what it shows.
  struct ListState {
    std::string path;
    std::vector<FolderLine> lines;   // a folder list's
    std::vector<std::string> files;  // a file list's
  };
  ListState& State(List list) { return lists_[static_cast<std::size_t>(list)]; }
  const ListState& State(List list) const { return lists_[static_cast<std::size_t>(list)]; }
  // The folder's listing, read once while a batch lives; null when it cannot
  // be read.
  const platform::FolderContents* ListingOf(const std::string& folder);
  // Whether a folder can be read, by its listing.
  ReadableTest Readable();
  // Points the list at `folder`, raising a folder list's change event when
  // its folder changes; false, and nothing changes, when it cannot be read.
  bool SetPath(List list, const std::string& folder);
  // Reads the list's folder again, keeping what the user stands on.
  void Refresh(List list);
  void RememberFolder(const std::string& folder);
  bool OpenSourceFolder(const std::string& folder);
  std::string FileName(List list) const;
  void FolderOpenFailed(const std::string& folder);

  void Analizza();
  void ShowAnalysisError(const RuntimeError& error);
  void SetReady(bool ready);
  // Whether `name` may be saved under; tells the user why not.
  bool AcceptDestinationName(const std::string& name);
  void DeleteTemporaryFile();
  BoxAnswer Ask(const std::string& text, BoxAnswer default_answer);
  // The temporary file's path; RuntimeError when there is no place for it.
  // Held from the start, so that another running copy takes another one.
  const std::string& TemporaryFileOrThrow();

  FormView& view_;
  NumberSettings numbers_;
  Drives drives_;
  int drive_ = -1;  // the drive shown last
  ListState lists_[4];
  int batch_ = 0;
  bool listed_ = false;  // listing_ holds listed_folder_'s entries
  std::string listed_folder_;
  platform::FolderContents listing_;
  std::unique_ptr<TemporaryFileLease> temporary_file_;
  bool ready_ = false;
  bool info_window_open_ = false;
  bool unloaded_ = false;
};

}  // namespace tavrel::form
