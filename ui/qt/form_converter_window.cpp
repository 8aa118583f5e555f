#include "form_converter_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <iterator>

#include "drive_list.h"
#include "eliding.h"
#include "file_list.h"
#include "folder_list.h"
#include "icons.h"
#include "info_window.h"
#include "layout.h"
#include "look.h"
#include "names.h"
#include "texts.h"
#include "twips.h"

namespace tavrel::ui {

namespace {

namespace layout = form::layout;
namespace texts = form::texts;
using form::List;

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  // A label that may show a long file name cuts it where it does not fit.
  auto* label = new ElidingLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);  // file names may hold '<'
  return label;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& title) {
  auto* frame = new QGroupBox(title, parent);
  frame->setObjectName(QString::fromLatin1(name));
  return frame;
}

template <typename Control>
Control* Named(Control* control, const char* name, const char* tooltip = nullptr) {
  control->setObjectName(QString::fromLatin1(name));
  if (tooltip != nullptr) control->setToolTip(QString::fromUtf8(tooltip));
  return control;
}

// The user's number settings, as the window's locale gives them.
NumberSettings LocaleNumbers() {
  const QLocale locale = QLocale::system();
  return {locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()};
}

// The first local file or folder a drag brings; empty when none.
QString DroppedPath(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  return !urls.isEmpty() && urls.front().isLocalFile() ? urls.front().toLocalFile() : QString();
}

}  // namespace

FormConverterWindow::FormConverterWindow() : FormConverterWindow(Options{}) {}

FormConverterWindow::FormConverterWindow(const Options& options)
    : own_boxes_(options.boxes != nullptr ? nullptr : std::make_unique<QtMessageBoxes>()),
      boxes_(options.boxes != nullptr ? options.boxes : own_boxes_.get()),
      form_(*this, LocaleNumbers(), options.volumes) {
  setObjectName(QStringLiteral("FormConverter"));
  setWindowTitle(QString::fromStdString(texts::Caption()));
  setWindowIcon(WindowIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  setFixedSize(Pixels(layout::kFormWidth), Pixels(layout::kFormHeight));

  CreateControls();
  ConnectEvents();
  AcceptDroppedFiles();
  form_.Form_Load();
}

FormConverterWindow::~FormConverterWindow() {
  delete info_window_;
}

void FormConverterWindow::CreateControls() {
  // Frame1 only frames the source lists, which belong to the window.
  Frame1 = MakeFrame(this, "Frame1", Text(texts::kFrame1));
  PlaceTwips(Frame1, layout::kFrame1);
  Drive = Named(new DriveList(this), "Drive", texts::kDriveTip);
  PlaceTwips(Drive, layout::kDrive);
  SourceDir = Named(new FolderList(this), "SourceDir", texts::kSourceDirTip);
  PlaceTwips(SourceDir, layout::kSourceDir);
  // Form_Load fills the lists.
  SourceFileList = Named(new FileList(this), "SourceFileList", texts::kSourceFileListTip);
  PlaceTwips(SourceFileList, layout::kSourceFileList);

  Frame3 = MakeFrame(this, "Frame3", Text(texts::kFrame3));
  PlaceTwips(Frame3, layout::kFrame3);
  DestDir = Named(new FolderList(Frame3), "DestDir", texts::kDestDirTip);
  PlaceTwips(DestDir, layout::kDestDir);
  Label22 = MakeLabel(Frame3, "Label22", Text(texts::kLabel22));
  PlaceTwips(Label22, layout::kLabel22);
  DestFileName = Named(new ElidingLineEdit(Frame3), "DestFileName", texts::kDestFileNameTip);
  PlaceTwips(DestFileName, layout::kDestFileName);
  DestFileList = Named(new FileList(Frame3), "DestFileList", texts::kDestFileListTip);
  PlaceTwips(DestFileList, layout::kDestFileList);

  Frame2 = MakeFrame(this, "Frame2", Text(texts::kFrame2));
  Frame2->setToolTip(Text(texts::kFrame2Tip));
  PlaceTwips(Frame2, layout::kFrame2);
  SourceFile = MakeLabel(Frame2, "SourceFile", Text(texts::kSourceFile));
  PlaceTwips(SourceFile, layout::kSourceFile);
  TipoFile = MakeLabel(Frame2, "TipoFile", Text(texts::kTipoFile));
  PlaceTwips(TipoFile, layout::kTipoFile);
  FileSize = MakeLabel(Frame2, "FileSize", Text(texts::kFileSize));
  PlaceTwips(FileSize, layout::kFileSize);
  FileDate = MakeLabel(Frame2, "FileDate", Text(texts::kFileDate));
  PlaceTwips(FileDate, layout::kFileDate);
  ConvPreview = MakeLabel(Frame2, "ConvPreview", Text(texts::kConvPreview));
  PlaceTwips(ConvPreview, layout::kConvPreview);

  ConveSalva =
      Named(new QPushButton(Text(texts::kConveSalva), this), "ConveSalva", texts::kConveSalvaTip);
  PlaceTwips(ConveSalva, layout::kConveSalva);
  Info = Named(new QPushButton(Text(texts::kInfo), this), "Info", texts::kInfoTip);
  PlaceTwips(Info, layout::kInfo);
  Exit = Named(new QPushButton(Text(texts::kExit), this), "Exit", texts::kExitTip);
  PlaceTwips(Exit, layout::kExit);

  // What a screen reader says for each control: the lists' names, the name
  // box's label; the buttons and labels read their own texts.
  const std::pair<QWidget*, const char*> names[] = {{Drive, texts::kDriveName},
                                                    {SourceDir, texts::kSourceDirName},
                                                    {SourceFileList, texts::kSourceFileListName},
                                                    {DestDir, texts::kDestDirName},
                                                    {DestFileList, texts::kDestFileListName}};
  for (const auto& [control, name] : names)
    control->setAccessibleName(Text(name));
  Label22->setBuddy(DestFileName);

  QWidget* const order[] = {Drive,        SourceDir,  SourceFileList, DestDir, DestFileName,
                            DestFileList, ConveSalva, Info,           Exit};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
  Drive->setFocus();
}

void FormConverterWindow::ConnectEvents() {
  form::FormConverter* const form = &form_;
  connect(Drive, &DriveList::Change, this, [form] { form->Drive_Change(); });
  connect(SourceDir, &FolderList::Open, this, [form] { form->Folder_Open(List::kSourceDir); });
  connect(SourceFileList, &FileList::Click, this, [form] { form->SourceFileList_Click(); });
  connect(DestDir, &FolderList::Open, this, [form] { form->Folder_Open(List::kDestDir); });
  connect(DestFileList, &FileList::Click, this, [form] { form->DestFileList_Click(); });
  // DestFileName_Change has nothing to do: the name is read when saving.
  connect(ConveSalva, &QPushButton::clicked, this, [form] { form->ConveSalva_Click(); });
  connect(Info, &QPushButton::clicked, this, [form] { form->Info_Click(); });
  connect(Exit, &QPushButton::clicked, this, [form] { form->Exit_Click(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
          [form] { form->Refresh(); });
}

void FormConverterWindow::AcceptDroppedFiles() {
  setAcceptDrops(true);
  // The name box takes dropped text; a dropped file is for the window.
  DestFileName->installEventFilter(this);
}

void FormConverterWindow::Open(const QString& path) {
  // Looked up by its bytes, as a click's name is: a name that is not UTF-8
  // (its bytes kept, see FromEngine) is found as well.
  form_.Open(ToEngine(path));
}

bool FormConverterWindow::TakeDrop(QDropEvent* event) {
  const QString path = DroppedPath(event->mimeData());
  if (path.isEmpty()) return false;
  event->acceptProposedAction();
  // Opened once the drop is over, so the file manager does not wait for
  // the analysis or for a message.
  if (event->type() == QEvent::Drop) QTimer::singleShot(0, this, [this, path] { Open(path); });
  return true;
}

void FormConverterWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!TakeDrop(event)) event->ignore();
}

void FormConverterWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!TakeDrop(event)) event->ignore();
}

void FormConverterWindow::dropEvent(QDropEvent* event) {
  if (!TakeDrop(event)) event->ignore();
}

bool FormConverterWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == DestFileName &&
      (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
      TakeDrop(static_cast<QDropEvent*>(event))) {
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void FormConverterWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // The information window is a window of its own: when the disabled main
  // window comes to the front (a click on its title bar), bring it back on
  // top, or the main window would look frozen.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && info_window_ != nullptr) {
    info_window_->raise();
    info_window_->activateWindow();
  }
}

void FormConverterWindow::closeEvent(QCloseEvent* event) {
  // Exit and the title bar's close end the program alike; while the
  // information window is open the title bar's close brings it to the front
  // instead, as the Win32 window's disabled title bar does nothing.
  if (form_.Form_QueryUnload()) {
    event->accept();
    return;
  }
  event->ignore();
  if (info_window_ != nullptr) {
    info_window_->raise();
    info_window_->activateWindow();
  }
}

// --- The view of the form logic.

FileList* FormConverterWindow::FileListOf(List list) const {
  return list == List::kSourceFileList ? SourceFileList
         : list == List::kDestFileList ? DestFileList
                                       : nullptr;
}

FolderList* FormConverterWindow::FolderListOf(List list) const {
  return list == List::kSourceDir ? SourceDir : list == List::kDestDir ? DestDir : nullptr;
}

void FormConverterWindow::SetLabel(Label label, const std::string& text) {
  QLabel* target = nullptr;
  switch (label) {
    case Label::kSourceFile:
      target = SourceFile;
      break;
    case Label::kFileSize:
      target = FileSize;
      break;
    case Label::kFileDate:
      target = FileDate;
      break;
    case Label::kTipoFile:
      target = TipoFile;
      break;
    case Label::kConvPreview:
      target = ConvPreview;
      break;
  }
  if (target == nullptr) return;
  target->setText(QString::fromUtf8(text.data(), std::ssize(text)));
  // A screen reader tells the user the analysis' outcome.
  QAccessibleEvent changed(target, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
}

void FormConverterWindow::Repaint() {
  repaint();
}

void FormConverterWindow::SetEnabled(form::Control control, bool enabled) {
  switch (control) {
    case form::Control::kConveSalva:
      ConveSalva->setEnabled(enabled);
      break;
  }
}

void FormConverterWindow::SetWindowEnabled(bool enabled) {
  setEnabled(enabled);
}

void FormConverterWindow::SetWaitCursor(bool waiting) {
  if (waiting) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void FormConverterWindow::ShowDrives(const std::vector<std::string>& captions) {
  QStringList shown;
  for (const std::string& caption : captions)
    shown.append(Shown(FromEngine(caption)));
  Drive->Show(shown);
}

void FormConverterWindow::SelectDrive(int drive) {
  Drive->Select(drive);
}

int FormConverterWindow::SelectedDrive() const {
  return Drive->currentIndex();
}

void FormConverterWindow::ShowFolders(List list, const std::vector<form::FolderLine>& lines,
                                      int current) {
  FolderListOf(list)->Show(lines, current);
}

int FormConverterWindow::CurrentLine(List list) const {
  return FolderListOf(list)->currentRow();
}

void FormConverterWindow::ShowFiles(List list, const std::vector<std::string>& names, int selected,
                                    bool keep_place) {
  FileListOf(list)->Show(names, selected, keep_place);
}

int FormConverterWindow::SelectedFile(List list) const {
  return FileListOf(list)->Selected();
}

void FormConverterWindow::SelectFile(List list, int file) {
  FileListOf(list)->Select(file);
}

std::string FormConverterWindow::DestFileNameText() const {
  return ToEngine(DestFileName->text());
}

void FormConverterWindow::SetDestFileNameText(const std::string& name) {
  DestFileName->setText(FromEngine(name));
}

form::BoxAnswer FormConverterWindow::ShowBox(const form::Box& box) {
  return boxes_->Show(this, box);
}

void FormConverterWindow::ShowInfoWindow() {
  // Not owned by this window: it is a window of its own.
  auto* window = new InfoWindow();
  window->setAttribute(Qt::WA_DeleteOnClose);
  // However it is closed, this window works again.
  form::FormConverter* const form = &form_;
  connect(window, &QDialog::finished, this, [form] { form->InfoWindow_Closed(); });
  connect(window, &QObject::destroyed, this, [form] { form->InfoWindow_Closed(); });
  info_window_ = window;
  // Centred on this window, on the screen.
  const QRect main = frameGeometry();
  const QRect screen = this->screen()->availableGeometry();
  // Its frame is not there before it is shown: the same as this one's.
  const QRect inner = geometry();
  const QSize outer =
      window->size().grownBy({inner.left() - main.left(), inner.top() - main.top(),
                              main.right() - inner.right(), main.bottom() - inner.bottom()});
  const layout::Rect place =
      layout::CentredOn({main.x(), main.y(), main.width(), main.height()}, outer.width(),
                        outer.height(), {screen.x(), screen.y(), screen.width(), screen.height()});
  window->move(place.left, place.top);
  window->show();
}

void FormConverterWindow::CloseInfoWindow() {
  if (info_window_ != nullptr) info_window_->close();
}

void FormConverterWindow::CloseWindow() {
  close();
}

}  // namespace tavrel::ui
