// The main window FormConverter in Qt: the controls, their look and the
// Qt-only extras (F5, the command-line file, drag and drop).  What the window
// does lives in form::FormConverter (ui/form), which this window serves as
// its view and calls from the controls' events.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "form_converter.h"
#include "form_view.h"
#include "message_boxes.h"
#include "tavrel.h"

class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrel::ui {

class DriveList;
class FileList;
class FolderList;
class InfoWindow;

class FormConverterWindow : public QWidget, private form::FormView {
  Q_OBJECT

 public:
  struct Options {
    // Where the boxes go; null for real message boxes.
    MessageBoxes* boxes = nullptr;
    // The volumes' root folders; empty for the mounted volumes.
    std::vector<std::string> volumes;
  };

  FormConverterWindow();
  explicit FormConverterWindow(const Options& options);
  ~FormConverterWindow() override;

  // Opens a file or folder given from outside (the command line, a drop),
  // as form::FormConverter::Open does.
  void Open(const QString& path);
  // The folder a list shows.
  std::string Path(form::List list) const { return form_.Path(list); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ConnectEvents();
  void AcceptDroppedFiles();
  // Whether the event brings a file or folder; a drop opens it.
  bool TakeDrop(QDropEvent* event);
  FileList* FileListOf(form::List list) const;
  FolderList* FolderListOf(form::List list) const;

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
  form::FormConverter form_;
  QPointer<InfoWindow> info_window_;

  QGroupBox* Frame1;
  DriveList* Drive;
  FolderList* SourceDir;
  FileList* SourceFileList;
  QGroupBox* Frame3;
  FolderList* DestDir;
  QLabel* Label22;
  QLineEdit* DestFileName;
  FileList* DestFileList;
  QGroupBox* Frame2;
  QLabel* SourceFile;
  QLabel* TipoFile;
  QLabel* FileSize;
  QLabel* FileDate;
  QLabel* ConvPreview;
  QPushButton* ConveSalva;
  QPushButton* Info;
  QPushButton* Exit;
};

}  // namespace tavrel::ui
