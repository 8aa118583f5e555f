// The main window: source and destination selection, the file information,
// the save step, the information window and the exit.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

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

class FormConverter : public QWidget {
  Q_OBJECT

 public:
  struct Options {
    // Where the boxes go; null for real message boxes.
    MessageBoxes* boxes = nullptr;
    // The volumes' root folders; empty for the mounted volumes.
    QStringList volumes;
  };

  FormConverter();
  explicit FormConverter(const Options& options);
  ~FormConverter() override;

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
  class LabelSink;

  void CreateControls(const QStringList& volumes);
  void ConnectEvents();

  void Form_Load();
  void Drive_Change();
  void SourceDir_Change();
  void SourceFileList_Click();
  void DestDir_Change();
  void DestFileList_Click();
  void ConveSalva_Click();
  void Info_Click();
  void Exit_Click();

  void AcceptDroppedFiles();
  bool OpenSourceFolder(const QString& folder);
  // Whether the event brings a file or folder; a drop opens it.
  bool TakeDrop(QDropEvent* event);

  void Analizza();
  // F5: the folder and file lists read their folders again.
  void Refresh();
  void ShowAnalysisError(const RuntimeError& error);
  // Whether the name in DestFileName may be saved under; tells the user why not.
  bool AcceptDestinationName(const QString& name);
  bool IsTemporaryFile(const QString& path);
  void DeleteTemporaryFile();
  void FolderOpenFailed(const QString& folder);
  BoxAnswer Say(const QString& text, BoxIcon icon = BoxIcon::kExclamation);
  BoxAnswer Ask(const QString& text, BoxAnswer default_answer);
  // The fixed path of the temporary file (RuntimeError when there is none).
  const std::string& TemporaryFile();

  std::unique_ptr<MessageBoxes> own_boxes_;
  MessageBoxes* boxes_;
  NumberSettings numbers_;
  std::optional<std::string> temporary_file_;
  QPointer<InfoWindow> info_window_;
  bool exiting_ = false;

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
