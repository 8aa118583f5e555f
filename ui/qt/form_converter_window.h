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
    QStringList volumes;
  };

  FormConverterWindow();
  explicit FormConverterWindow(const Options& options);
  ~FormConverterWindow() override;

  // Opens a file or folder given from outside (the command line, a drop):
  // the lists are pointed at its drive and folder as if the user had opened
  // it, and a file is then clicked in SourceFileList.  A path that does not
  // exist is only reported.
  void Open(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls(const QStringList& volumes);
  void ConnectEvents();
  void AcceptDroppedFiles();
  bool OpenSourceFolder(const QString& folder);
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
  std::string DriveRoot() const override;
  std::string DriveFolder() const override;
  void RememberFolder(const std::string& folder) override;
  void UndoDrive() override;
  std::string Path(form::List list) const override;
  bool SetPath(form::List list, const std::string& folder) override;
  void Refresh(form::List list) override;
  std::string FileName(form::List list) const override;
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
