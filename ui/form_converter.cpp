#include "form_converter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "drive_list.h"
#include "eliding.h"
#include "file_list.h"
#include "folder_list.h"
#include "folders.h"
#include "icons.h"
#include "info_window.h"
#include "look.h"
#include "tavrel_version.h"
#include "twips.h"

namespace tavrel::ui {

namespace {

// The window's own texts.
const QString kCaption = QStringLiteral("Tavrel Converter %1 (%2)")
                             .arg(QLatin1String(kVersion), QLatin1String(kReleaseDate));
const QString kWarningTitle = QStringLiteral("Attenzione!");
const QString kErrorTitle = QStringLiteral("Errore!");
const QString kDriveUnreadable =
    QStringLiteral("Impossibile leggere l'unità %1.\nVerificare che sia pronta e riprovare.");
const QString kFolderUnreadable = QStringLiteral(
    "Impossibile aprire la cartella %1:\nla cartella non esiste più o non si può leggere.");
const QString kOverwrite = QStringLiteral("Il file %1 esiste già. Lo sovrascrivo?");
const QString kNameMissing = QStringLiteral("Inserire il nome del file di destinazione.");
const QString kNameInvalid = QStringLiteral(
    "\"%1\" non è un nome di file valido.\nUn nome di file non può contenere i caratteri "
    "\\ / : * ? \" < > | né caratteri di controllo, e non può essere \".\" o \"..\".");
const QString kNameNotDos = QStringLiteral(
    "Il nome %1 non è nel formato Dos 8+3 caratteri: Tavrel 3.52 per Dos potrebbe non "
    "riuscire ad aprire il file.\nSalvo comunque con questo nome?");
const QString kFolderMissing =
    QStringLiteral("La cartella di destinazione %1 non esiste più.\nScegliere un'altra cartella.");
const QString kTargetIsFolder =
    QStringLiteral("%1 è una cartella.\nScegliere un altro nome per il file di destinazione.");
const QString kTargetIsTemporary = QStringLiteral(
    "Il file di destinazione coincide con il file temporaneo della conversione.\n"
    "Scegliere un altro nome o un'altra cartella.");
const QString kTemporaryGone =
    QStringLiteral("Il file convertito non esiste più.\nSelezionare di nuovo il file sorgente.");
const QString kSaveFailed = QStringLiteral(
    "Impossibile salvare il file %1:\n%2 (errore %3).\n\nLa conversione non è andata persa: "
    "scegliere un'altra cartella o un altro nome, oppure liberare spazio, e riprovare.");
const QString kTemporaryKept = QStringLiteral(
    "Il file è stato salvato, ma non è stato possibile eliminare il file temporaneo %1:\n%2.");
const QString kTemporaryNotDeleted =
    QStringLiteral("Impossibile eliminare il file temporaneo %1:\n%2.\nEliminarlo a mano.");
const QString kOpenMissing = QStringLiteral("Il file %1 non esiste.");
const QString kOpenNotListed = QStringLiteral(
    "Il file %1 non si può aprire: l'elenco dei file non mostra i file nascosti né i file "
    "speciali.");

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

// The characters no file name can hold here or on the target system.
bool IsValidFileName(const QString& name) {
  static const QRegularExpression kForbidden(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f\\x7f]"));
  return name != QStringLiteral(".") && name != QStringLiteral("..") && !name.contains(kForbidden);
}

bool IsDosName(const QString& name) {
  static const QRegularExpression kDos(
      QStringLiteral("^[A-Za-z0-9!#$%&'()@^_`{}~-]{1,8}(\\.[A-Za-z0-9!#$%&'()@^_`{}~-]{1,3})?$"));
  return kDos.match(name).hasMatch();
}

QString Native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

// The first local file or folder a drag brings; empty when none.
QString DroppedPath(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  return !urls.isEmpty() && urls.front().isLocalFile() ? urls.front().toLocalFile() : QString();
}

}  // namespace

// Binds the analysis' results to the window's controls.  The analysis runs
// inside the click, so the wait cursor shows while the sink lives.
class FormConverter::LabelSink : public AnalysisSink {
 public:
  explicit LabelSink(FormConverter& form) : form_(form) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~LabelSink() override { RestoreCursor(); }
  LabelSink(const LabelSink&) = delete;
  LabelSink& operator=(const LabelSink&) = delete;

  void SetLabel(Label label, const std::string& text) override {
    QLabel* target = nullptr;
    switch (label) {
      case Label::kSourceFile:
        target = form_.SourceFile;
        break;
      case Label::kFileSize:
        target = form_.FileSize;
        break;
      case Label::kFileDate:
        target = form_.FileDate;
        break;
      case Label::kTipoFile:
        target = form_.TipoFile;
        break;
      case Label::kConvPreview:
        target = form_.ConvPreview;
        break;
    }
    if (target != nullptr) target->setText(QString::fromUtf8(text.data(), std::ssize(text)));
  }
  void Repaint() override { form_.repaint(); }
  void SetReady(bool ready) override { form_.ConveSalva->setEnabled(ready); }
  void Failed(const RuntimeError& error, std::uint64_t /*line*/) override {
    RestoreCursor();  // the message waits for the user
    form_.ShowAnalysisError(error);
  }

 private:
  void RestoreCursor() {
    if (!waiting_) return;
    waiting_ = false;
    QApplication::restoreOverrideCursor();
  }

  FormConverter& form_;
  bool waiting_ = true;
};

FormConverter::FormConverter() : FormConverter(Options{}) {}

FormConverter::FormConverter(const Options& options)
    : own_boxes_(options.boxes != nullptr ? nullptr : std::make_unique<QtMessageBoxes>()),
      boxes_(options.boxes != nullptr ? options.boxes : own_boxes_.get()) {
  setObjectName(QStringLiteral("FormConverter"));
  setWindowTitle(kCaption);
  setWindowIcon(WindowIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  setFixedSize(Pixels(7020), Pixels(5595));

  const QLocale locale = QLocale::system();
  numbers_.decimal = locale.decimalPoint().toStdString();
  numbers_.thousands = locale.groupSeparator().toStdString();

  CreateControls(options.volumes);
  ConnectEvents();
  AcceptDroppedFiles();
  Form_Load();
}

FormConverter::~FormConverter() {
  delete info_window_;
}

void FormConverter::CreateControls(const QStringList& volumes) {
  const QString start = CurrentFolder();

  // Frame1 only frames the source lists, which belong to the window.
  Frame1 = MakeFrame(this, "Frame1", QStringLiteral("Selezione File Sorgente"));
  PlaceTwips(Frame1, 120, 120, 3255, 3375);
  Drive = Named(new DriveList(volumes, this), "Drive",
                "Seleziona l'unità dove si trova il file da convertire");
  PlaceTwips(Drive, 360, 480, 2775, 315);
  SourceDir = Named(new FolderList(this), "SourceDir",
                    "Seleziona la cartella dove si trova il file da convertire");
  PlaceTwips(SourceDir, 360, 840, 2775, 1215);
  SourceDir->SetPath(start);
  // Form_Load gives it its folder.
  SourceFileList = Named(new FileList(this), "SourceFileList", "Seleziona il file da convertire");
  PlaceTwips(SourceFileList, 360, 2160, 2775, 1065);

  Frame3 = MakeFrame(this, "Frame3", QStringLiteral("Selezione File Destinazione"));
  PlaceTwips(Frame3, 3600, 120, 3255, 3375);
  DestDir = Named(new FolderList(Frame3), "DestDir",
                  "Seleziona la cartella dove salvare il file convertito");
  PlaceTwips(DestDir, 240, 360, 2775, 1215);
  DestDir->SetPath(start);
  Label22 = MakeLabel(Frame3, "Label22", QStringLiteral("Nome File (formato Dos 8+3 caratteri):"));
  PlaceTwips(Label22, 240, 1680, 2775, 255);
  DestFileName = Named(new ElidingLineEdit(Frame3), "DestFileName",
                       "Inserire il nome del file di destinazione");
  PlaceTwips(DestFileName, 240, 1920, 2775, 285);
  DestFileList = Named(new FileList(Frame3), "DestFileList",
                       "Seleziona (eventualmente) il nome di un file esistente da sovrascrivere "
                       "con il file convertito");
  PlaceTwips(DestFileList, 240, 2400, 2775, 870);
  DestFileList->SetPath(start);

  Frame2 = MakeFrame(this, "Frame2", QStringLiteral("Informazioni File e Conversione"));
  Frame2->setToolTip(
      QStringLiteral("Informazioni sul File selezionato e sull'esito della conversione"));
  PlaceTwips(Frame2, 120, 3720, 5055, 1695);
  SourceFile = MakeLabel(Frame2, "SourceFile", QStringLiteral("Nome: "));
  PlaceTwips(SourceFile, 240, 360, 4695, 255);
  TipoFile = MakeLabel(Frame2, "TipoFile", QStringLiteral("Formato: "));
  PlaceTwips(TipoFile, 240, 600, 4695, 255);
  FileSize = MakeLabel(Frame2, "FileSize", QStringLiteral("Dimensione: "));
  PlaceTwips(FileSize, 240, 840, 4695, 255);
  FileDate = MakeLabel(Frame2, "FileDate", QStringLiteral("Data Creazione: "));
  PlaceTwips(FileDate, 240, 1080, 4695, 255);
  ConvPreview = MakeLabel(Frame2, "ConvPreview", QStringLiteral("Conversione: "));
  PlaceTwips(ConvPreview, 240, 1320, 4695, 255);

  ConveSalva = Named(new QPushButton(QStringLiteral("&Converte && Salva"), this), "ConveSalva",
                     "Converte il file sorgente dal formato 4.x al 3.x scrivendo il risultato "
                     "sul file di destinazione");
  PlaceTwips(ConveSalva, 5400, 3720, 1455, 495);
  Info = Named(new QPushButton(QStringLiteral("&Informazioni"), this), "Info",
               "Informazioni sul programma");
  PlaceTwips(Info, 5400, 4320, 1455, 495);
  Exit = Named(new QPushButton(QStringLiteral("&Esci"), this), "Exit",
               "Esce immediatamente dal programma");
  PlaceTwips(Exit, 5400, 4920, 1455, 495);

  QWidget* const order[] = {Drive,        SourceDir,  SourceFileList, DestDir, DestFileName,
                            DestFileList, ConveSalva, Info,           Exit};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
  Drive->setFocus();
}

void FormConverter::ConnectEvents() {
  connect(Drive, &DriveList::Change, this, &FormConverter::Drive_Change);
  connect(SourceDir, &FolderList::Change, this, &FormConverter::SourceDir_Change);
  connect(SourceDir, &FolderList::OpenFailed, this, &FormConverter::FolderOpenFailed);
  connect(SourceFileList, &FileList::Click, this, &FormConverter::SourceFileList_Click);
  connect(DestDir, &FolderList::Change, this, &FormConverter::DestDir_Change);
  connect(DestDir, &FolderList::OpenFailed, this, &FormConverter::FolderOpenFailed);
  connect(DestFileList, &FileList::Click, this, &FormConverter::DestFileList_Click);
  // DestFileName_Change has nothing to do: the name is read when saving.
  connect(ConveSalva, &QPushButton::clicked, this, &FormConverter::ConveSalva_Click);
  connect(Info, &QPushButton::clicked, this, &FormConverter::Info_Click);
  connect(Exit, &QPushButton::clicked, this, &FormConverter::Exit_Click);
  connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
          &FormConverter::Refresh);
}

void FormConverter::AcceptDroppedFiles() {
  setAcceptDrops(true);
  // The name box takes dropped text; a dropped file is for the window.
  DestFileName->installEventFilter(this);
}

void FormConverter::Form_Load() {
  SourceDir->SetPath(Drive->FolderOf(Drive->Drive()));
  SourceFileList->SetPath(SourceDir->Path());
  ConveSalva->setEnabled(false);
}

void FormConverter::Drive_Change() {
  const QString root = Drive->Drive();
  QString folder = Drive->FolderOf(root);
  // A folder removed since it was left: its nearest parent on the volume.
  while (!IsReadableFolder(folder) && folder != root && FolderIsUnder(folder, root)) {
    folder = CleanFolder(folder + QStringLiteral("/.."));
  }
  if (!IsReadableFolder(folder)) {
    Drive->Undo();
    Say(kDriveUnreadable.arg(Native(root)));
    return;
  }
  SourceDir->SetPath(folder);  // raises SourceDir_Change when the folder differs
  DestDir->SetPath(folder);    // raises DestDir_Change when the folder differs
  SourceDir_Change();
}

void FormConverter::SourceDir_Change() {
  const QString folder = SourceDir->Path();
  Drive->Remember(folder);
  SourceFileList->SetPath(folder);
  DestDir->SetPath(folder);  // raises DestDir_Change when the folder differs
  DestDir_Change();
}

void FormConverter::SourceFileList_Click() {
  const QString name = SourceFileList->FileName();
  if (name.isEmpty()) return;
  DestFileName->setText(FromEngine(ProposedName(ToEngine(name))));
  Analizza();
}

void FormConverter::DestDir_Change() {
  DestFileList->SetPath(DestDir->Path());
}

void FormConverter::DestFileList_Click() {
  const QString name = DestFileList->FileName();
  if (!name.isEmpty()) DestFileName->setText(FromEngine(ProposedName(ToEngine(name))));
}

void FormConverter::Open(const QString& path) {
  const QFileInfo target(path);
  if (!target.exists()) {
    Say(kOpenMissing.arg(Native(path)));
    return;
  }
  const QString file = target.isDir() ? QString() : target.fileName();
  if (!OpenSourceFolder(CleanFolder(file.isEmpty() ? path : target.absolutePath()))) return;
  if (!file.isEmpty() && !SourceFileList->Select(file))
    Say(kOpenNotListed.arg(Native(target.absoluteFilePath())));
}

bool FormConverter::OpenSourceFolder(const QString& folder) {
  // As the user opening it: the drive and the destination lists follow.
  if (folder == SourceDir->Path()) {
    SourceDir_Change();
    return true;
  }
  if (SourceDir->SetPath(folder)) return true;  // raised SourceDir_Change
  FolderOpenFailed(folder);
  return false;
}

bool FormConverter::TakeDrop(QDropEvent* event) {
  const QString path = DroppedPath(event->mimeData());
  if (path.isEmpty()) return false;
  event->acceptProposedAction();
  // Opened once the drop is over, so the file manager does not wait for
  // the analysis or for a message.
  if (event->type() == QEvent::Drop) QTimer::singleShot(0, this, [this, path] { Open(path); });
  return true;
}

void FormConverter::dragEnterEvent(QDragEnterEvent* event) {
  if (!TakeDrop(event)) event->ignore();
}

void FormConverter::dragMoveEvent(QDragMoveEvent* event) {
  if (!TakeDrop(event)) event->ignore();
}

void FormConverter::dropEvent(QDropEvent* event) {
  if (!TakeDrop(event)) event->ignore();
}

bool FormConverter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == DestFileName &&
      (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
      TakeDrop(static_cast<QDropEvent*>(event))) {
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void FormConverter::Analizza() {
  AnalysisRequest request;
  try {
    request.output_path = TemporaryFile();
  } catch (const RuntimeError& error) {
    ShowAnalysisError(error);
    return;
  }
  LabelSink sink(*this);
  // The folder the clicked name was listed from.
  request.folder = ToEngine(SourceFileList->Path());
  request.name = ToEngine(SourceFileList->FileName());
  request.numbers = numbers_;
  tavrel::Analizza(request, sink);
}

void FormConverter::ShowAnalysisError(const RuntimeError& error) {
  QString text = QString::fromUtf8(ComposeErrorMessage(error));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  boxes_->Show(this, {kErrorTitle, text, BoxIcon::kCritical, BoxButtons::kOk});
  Exit_Click();
}

void FormConverter::ConveSalva_Click() {
  const QString name = DestFileName->text().trimmed();
  if (!AcceptDestinationName(name)) return;
  const QString folder = DestDir->Path();
  if (!IsFolder(folder)) {
    Say(kFolderMissing.arg(Native(folder)));
    return;
  }
  const QString target = QDir(folder).absoluteFilePath(name);
  std::string temporary;
  try {
    temporary = TemporaryFile();
  } catch (const RuntimeError& error) {
    Say(kSaveFailed.arg(name, QString::fromUtf8(error.description())).arg(error.number()));
    return;
  }
  if (!FileExists(temporary)) {
    ConveSalva->setEnabled(false);
    Say(kTemporaryGone);
    return;
  }
  if (IsTemporaryFile(target)) {
    Say(kTargetIsTemporary);
    return;
  }
  if (IsFolder(target)) {
    Say(kTargetIsFolder.arg(Native(target)));
    return;
  }
  if (FileExists(ToEngine(target)) && Ask(kOverwrite.arg(name), BoxAnswer::kYes) != BoxAnswer::kYes)
    return;
  try {
    CopyFileReplacing(temporary, ToEngine(target));
  } catch (const RuntimeError& error) {
    Say(kSaveFailed.arg(Native(target), QString::fromUtf8(error.description()))
            .arg(error.number()));
    return;
  }
  try {
    DeleteFileIfExists(temporary);
  } catch (const RuntimeError& error) {
    Say(kTemporaryKept.arg(FromEngine(temporary), QString::fromUtf8(error.description())));
  }
  ConveSalva->setEnabled(false);
  // Show the new file without touching the selections.
  DestFileList->Refresh();
  if (SourceFileList->Path() == folder) SourceFileList->Refresh();
}

bool FormConverter::AcceptDestinationName(const QString& name) {
  if (name.isEmpty()) {
    Say(kNameMissing);
    return false;
  }
  if (!IsValidFileName(name)) {
    Say(kNameInvalid.arg(name));
    return false;
  }
  // The file is for a DOS program: a longer name is allowed, after a warning.
  return IsDosName(name) || Ask(kNameNotDos.arg(name), BoxAnswer::kNo) == BoxAnswer::kYes;
}

bool FormConverter::IsTemporaryFile(const QString& path) {
  namespace fs = std::filesystem;
  const fs::path target(ToEngine(path));
  const fs::path temporary(TemporaryFile());
  if (target.lexically_normal() == temporary.lexically_normal()) return true;
  std::error_code error;  // a missing file is no match
  return fs::equivalent(target, temporary, error) && !error;
}

void FormConverter::Info_Click() {
  setEnabled(false);
  // Not owned by this window: it is a window of its own.
  auto* window = new InfoWindow();
  window->setAttribute(Qt::WA_DeleteOnClose);
  // However it is closed, this window works again.
  connect(window, &QDialog::finished, this, [this] { setEnabled(true); });
  connect(window, &QObject::destroyed, this, [this] { setEnabled(true); });
  info_window_ = window;
  window->show();
}

void FormConverter::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // The information window is a window of its own: when the disabled main
  // window comes to the front (a click on its title bar), bring it back on
  // top, or the main window would look frozen.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && info_window_ != nullptr) {
    info_window_->raise();
    info_window_->activateWindow();
  }
}

void FormConverter::Refresh() {
  SourceDir->Refresh();  // a folder gone: its parent opens, and the lists follow
  DestDir->Refresh();
  SourceFileList->Refresh();
  DestFileList->Refresh();
}

void FormConverter::Exit_Click() {
  close();
}

void FormConverter::closeEvent(QCloseEvent* event) {
  // Exit and the title bar's close end the program alike.
  if (!exiting_) {
    exiting_ = true;
    if (info_window_ != nullptr) info_window_->close();
    DeleteTemporaryFile();
  }
  event->accept();
}

void FormConverter::DeleteTemporaryFile() {
  std::string path;
  try {
    path = TemporaryFile();
  } catch (const RuntimeError&) {
    return;  // no place for it, so no file
  }
  try {
    DeleteFileIfExists(path);
  } catch (const RuntimeError& error) {
    Say(kTemporaryNotDeleted.arg(FromEngine(path), QString::fromUtf8(error.description())));
  }
}

void FormConverter::FolderOpenFailed(const QString& folder) {
  Say(kFolderUnreadable.arg(Native(folder)));
}

BoxAnswer FormConverter::Say(const QString& text, BoxIcon icon) {
  return boxes_->Show(this, {kWarningTitle, text, icon, BoxButtons::kOk});
}

BoxAnswer FormConverter::Ask(const QString& text, BoxAnswer default_answer) {
  return boxes_->Show(
      this, {kWarningTitle, text, BoxIcon::kExclamation, BoxButtons::kYesNo, default_answer});
}

const std::string& FormConverter::TemporaryFile() {
  if (!temporary_file_) temporary_file_ = TemporaryFilePath();
  return *temporary_file_;
}

}  // namespace tavrel::ui
