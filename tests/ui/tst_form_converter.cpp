// The main window driven as a user works it: lists, analysis, save, exit.
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <filesystem>
#include <functional>
#include <optional>

#include "drive_list.h"
#include "file_list.h"
#include "folder_list.h"
#include "form_converter_window.h"
#include "names.h"
#include "tavrel.h"
#include "ui_test_support.h"

using namespace tavrel::ui;
using namespace tavrel::ui::testing;
using tavrel::form::List;

namespace {

const QByteArray kH36 = QByteArray::fromStdString(kDataHeader36);
const QByteArray kH40 = QByteArray::fromStdString(kDataHeader40);
const QByteArray kLibrary = QByteArray::fromStdString(kLibraryHeader35);

// Calls `seen` for every paint event of the object it watches.
class PaintWatcher : public QObject {
 public:
  explicit PaintWatcher(std::function<void()> seen) : seen_(std::move(seen)) {}
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) seen_();
    return false;
  }

 private:
  std::function<void()> seen_;
};

}  // namespace

class FormConverterTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_.emplace();
    QVERIFY(scratch_->isValid());
    home_ = QDir::cleanPath(scratch_->path());
    previous_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home_));
    temp_ = QString::fromStdString(tavrel::TemporaryFilePath());
    QFile::remove(temp_);
    boxes_ = ScriptedBoxes();
  }

  void cleanup() {
    delete form_;
    QDir(temp_).removeRecursively();
    QFile::remove(temp_);
    QVERIFY(QDir::setCurrent(previous_));
    QVERIFY2(!boxes_.unexpected_question, "a question came that the test did not expect");
    QVERIFY2(!boxes_.shown_under_wait_cursor, "a box came up under the wait cursor");
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || !AnyWindowVisible());
  }

  void startsOnTheCurrentFolderWithNothingToSave() {
    QVERIFY(Write("b.pcb", kH36 + "\r\nA\r\n") && Write("a.sch", "x") && Write(".hidden", "x"));
    QVERIFY(QDir(home_).mkdir(QStringLiteral("sub")));
    Start();
    QCOMPARE(form_->windowTitle(), QStringLiteral("Tavrel Converter 1.1 (21.11.2003)"));
    QCOMPARE(form_->size(), QSize(468, 373));
    QCOMPARE(PathOf(List::kSourceDir), home_);
    QCOMPARE(PathOf(List::kDestDir), home_);
    for (const char* name : {"SourceFileList", "DestFileList"}) {
      QCOMPARE(Entries(Get<FileList>(name)), (QStringList{"a.sch", "b.pcb"}));
      QCOMPARE(Selected(Get<FileList>(name)), QString());
    }
    QCOMPARE(Text("DestFileName"), QString());
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: "));
    QCOMPARE(Text("ConvPreview"), QStringLiteral("Conversione: "));
    QVERIFY(!Button("ConveSalva")->isEnabled());
    QVERIFY(Button("Info")->isEnabled() && Button("Exit")->isEnabled());
    QTRY_COMPARE(QApplication::focusWidget(), Get<QWidget>("Drive"));

    PressAltC();
    QVERIFY(boxes_.shown.empty());
    QVERIFY(!QFile::exists(temp_));
    QVERIFY(form_->isVisible());
  }

  void controlsSitInTheirFramesAndTabInOrder() {
    QVERIFY(Write("b.pcb", kH36 + "\r\nA\r\n"));
    Start();
    const QRect frame1 = Get<QWidget>("Frame1")->geometry();
    for (const char* name : {"Drive", "SourceDir", "SourceFileList"}) {
      QCOMPARE(Get<QWidget>(name)->parentWidget(), form_.data());
      QVERIFY(frame1.contains(Get<QWidget>(name)->geometry()));
    }
    for (const char* name : {"DestDir", "Label22", "DestFileName", "DestFileList"})
      QCOMPARE(Get<QWidget>(name)->parentWidget(), Get<QWidget>("Frame3"));
    for (const char* name : {"SourceFile", "TipoFile", "FileSize", "FileDate", "ConvPreview"})
      QCOMPARE(Get<QWidget>(name)->parentWidget(), Get<QWidget>("Frame2"));

    const QStringList without = TabChain();
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("b.pcb")));
    QVERIFY(Button("ConveSalva")->isEnabled());
    const QStringList with = TabChain();
    const QStringList expected = {"SourceDir",    "SourceFileList", "DestDir",
                                  "DestFileName", "DestFileList",   "ConveSalva",
                                  "Info",         "Exit",           "Drive"};
    QCOMPARE(with, expected);
    QStringList skipping = expected;
    skipping.removeAll(QStringLiteral("ConveSalva"));  // a disabled button takes no focus
    QCOMPARE(without, skipping);
  }

  void everyTextFitsItsControl() {
    QVERIFY(Write("f36.pcb", kH36 + "\r\nA\r\n") && Write("lib.sch", kLibrary + "\r\n"));
    QVERIFY(Write("f40.pcb", kH40 + "\r\nA\r\n") && Write("none.txt", "x"));
    Start();
    for (const char* name : {"f36.pcb", "lib.sch", "f40.pcb", "none.txt"}) {
      QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QString::fromLatin1(name)));
      for (const QLabel* label : form_->findChildren<QLabel*>()) {
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text()));
      }
    }
    for (const QPushButton* button : form_->findChildren<QPushButton*>())
      QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
    for (const QGroupBox* frame : form_->findChildren<QGroupBox*>())
      QVERIFY(frame->minimumSizeHint().width() <= frame->width());
  }

  void arrowKeysAnalyseEveryFileTheyPass() {
    QByteArray big = kH40 + "\r\n";
    while (big.size() < 1232)
      big += "x";
    QVERIFY(Write("a.pcb", kH36 + "\r\nA\r\n") && Write("b.pcb", big + "\r\n"));
    Start();
    auto* list = Get<FileList>("SourceFileList");
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: a.pcb"));
    QCOMPARE(Text("DestFileName"), QStringLiteral("3_A.PCB"));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: b.pcb"));
    // The size is grouped by the user's thousands separator.
    QCOMPARE(Text("FileSize"), QStringLiteral("Dimensione: 1") +
                                   QLocale::system().groupSeparator() +
                                   QStringLiteral("234 bytes"));
  }

  void namesThatAreNotUtf8KeepTheirBytes() {
    // A Latin-1 file name, and a Latin-1 folder with a file inside.
    const std::string file = "caf\xe9.pcb";
    const std::string folder = "vecchi\xe0";
    QVERIFY(WriteBytesNamed(home_, file, kH36 + "\r\nA\r\n"));
    QVERIFY(QDir(home_).mkdir(QStringLiteral("tmp")) && Write("tmp/inner.pcb", kH36 + "\r\nB\r\n"));
    const std::string home = QFile::encodeName(home_).toStdString();
    QCOMPARE(std::rename((home + "/tmp").c_str(), (home + "/" + folder).c_str()), 0);
    const QString shown_file = QStringLiteral("caf\uFFFD.pcb");
    Start();
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), shown_file));
    QVERIFY(boxes_.shown.empty());
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: ") + shown_file);
    QCOMPARE(Text("ConvPreview"), QStringLiteral("Conversione: Rapida (modifica intestazione)"));
    QCOMPARE(ReadAll(temp_), "TAVREL Version 3.5 -- DATA FILE\r\nA\r\n");
    // The proposed name is one the DOS program can open: the byte becomes "_".
    QCOMPARE(Text("DestFileName"), QStringLiteral("3_CAF_.PCB"));
    QTest::mouseClick(Button("ConveSalva"), Qt::LeftButton);
    QVERIFY(!QFile::exists(temp_));
    const auto exists = [](const std::string& path) { return std::filesystem::exists(path); };
    QVERIFY(exists(home + "/3_CAF_.PCB"));

    QVERIFY(DoubleClickItem(Get<FolderList>("SourceDir"), QStringLiteral("vecchi\uFFFD")));
    QCOMPARE(Entries(Get<FileList>("SourceFileList")), QStringList{"inner.pcb"});
    QCOMPARE(Entries(Get<FileList>("DestFileList")), QStringList{"inner.pcb"});
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("inner.pcb")));
    QCOMPARE(Text("ConvPreview"), QStringLiteral("Conversione: Rapida (modifica intestazione)"));
    QTest::mouseClick(Button("ConveSalva"), Qt::LeftButton);
    QVERIFY(boxes_.shown.empty());
    QVERIFY(exists(home + "/" + folder + "/3_INNER.PCB"));

    // Given from outside as the system's bytes (the program's argument), the
    // file opens as the click opened it.
    form_->Open(FromEngine(home + "/" + file));
    QVERIFY(boxes_.shown.empty());
    QCOMPARE(PathOf(List::kSourceDir), home_);
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: ") + shown_file);
    QCOMPARE(ReadAll(temp_), "TAVREL Version 3.5 -- DATA FILE\r\nA\r\n");
  }

  void endAndPageDownMoveAsInAnyList() {
    for (int i = 0; i < 40; ++i)
      QVERIFY(Write(QStringLiteral("f%1.pcb").arg(i, 2, 10, QLatin1Char('0')), kH36 + "\r\nA\r\n"));
    Start();
    auto* list = Get<FileList>("SourceFileList");
    const auto tab_into_list = [&] {
      Get<QWidget>("SourceDir")->setFocus();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QTRY_VERIFY(list->hasFocus());
    };
    // Each selection analyses its file, as a click does.
    const auto analysed = [&] { return QStringLiteral("Nome: ") + Selected(list); };
    tab_into_list();
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(Selected(list), QStringLiteral("f39.pcb"));
    QCOMPARE(Text("SourceFile"), analysed());

    list->clearSelection();
    list->selectionModel()->clearCurrentIndex();
    tab_into_list();
    QTest::keyClick(list, Qt::Key_PageDown);
    const int from_nothing = list->currentRow();
    QVERIFY(from_nothing > 0);
    QCOMPARE(Text("SourceFile"), analysed());
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->currentRow(), 0);
    QTest::keyClick(list, Qt::Key_PageDown);  // the same page down from the first file
    QCOMPARE(list->currentRow(), from_nothing);
    QCOMPARE(Text("SourceFile"), analysed());
  }

  void f5ReadsTheFoldersAgain() {
    QVERIFY(Write("a.pcb", kH36 + "\r\nA\r\n") && Write("gone.pcb", "x"));
    Start();
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("a.pcb")));
    QVERIFY(QFile::remove(temp_));
    QVERIFY(Write("new.pcb", "x") &&
            QFile::remove(QDir(home_).filePath(QStringLiteral("gone.pcb"))));
    QVERIFY(QDir(home_).mkdir(QStringLiteral("newdir")));
    QTest::keyClick(Get<QWidget>("DestFileName"), Qt::Key_F5);
    for (const char* name : {"SourceFileList", "DestFileList"})
      QCOMPARE(Entries(Get<FileList>(name)), (QStringList{"a.pcb", "new.pcb"}));
    for (const char* name : {"SourceDir", "DestDir"})
      QVERIFY(Entries(Get<FolderList>(name)).endsWith(QStringLiteral("newdir")));
    // The selection stays, and nothing is analysed again.
    QCOMPARE(Selected(Get<FileList>("SourceFileList")), QStringLiteral("a.pcb"));
    QVERIFY(!QFile::exists(temp_));
    QVERIFY(Button("ConveSalva")->isEnabled());

    // The open folder removed meanwhile: the lists go to its parent.
    QVERIFY(DoubleClickItem(Get<FolderList>("SourceDir"), QStringLiteral("newdir")));
    QVERIFY(QDir(home_).rmdir(QStringLiteral("newdir")));
    QTest::keyClick(form_, Qt::Key_F5);
    QCOMPARE(PathOf(List::kSourceDir), home_);
    QCOMPARE(PathOf(List::kDestFileList), home_);
    QVERIFY(boxes_.shown.empty());
  }

  void theWaitCursorShowsWhileTheAnalysisRuns() {
    QVERIFY(Write("a.pcb", kH36 + "\r\nA\r\n"));
    Start();
    // The window is repainted once inside the analysis: the cursor then.
    QList<int> shapes;
    PaintWatcher watcher([&] {
      const QCursor* cursor = QApplication::overrideCursor();
      shapes.append(cursor != nullptr ? cursor->shape() : -1);
    });
    form_->installEventFilter(&watcher);
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("a.pcb")));
    form_->removeEventFilter(&watcher);
    QVERIFY(!shapes.isEmpty());
    QCOMPARE(shapes.front(), int(Qt::WaitCursor));
    QCOMPARE(QApplication::overrideCursor(), nullptr);  // and not after
  }

  void longNamesAreCutAndShownWholeInATooltip() {
    const QString name = QString(120, u'n') + QStringLiteral(".pcb");
    QVERIFY(Write(name, kH36 + "\r\nA\r\n") && Write("a.pcb", "x"));
    Start();
    auto* list = Get<FileList>("SourceFileList");
    QVERIFY(ClickItem(list, name));
    // Entries stay within the list; the cut one tells its whole name.
    for (int row = 0; row < list->count(); ++row)
      QVERIFY(list->visualItemRect(list->item(row)).right() < list->viewport()->width());
    const auto entry_tip = [&](const QString& text) {
      return ToolTipAt(list->viewport(), ItemCentre(list, text));
    };
    QCOMPARE(entry_tip(name), name);
    QCOMPARE(entry_tip(QStringLiteral("a.pcb")), QStringLiteral("Seleziona il file da convertire"));

    auto* label = Get<QLabel>("SourceFile");
    QCOMPARE(label->text(), QStringLiteral("Nome: ") + name);
    QCOMPARE(ToolTipAt(label, label->rect().center()), label->text());
    auto* size = Get<QLabel>("FileSize");
    QCOMPARE(ToolTipAt(size, size->rect().center()),
             QStringLiteral("Informazioni sul File selezionato e sull'esito della conversione"));

    auto* dest = Get<QLineEdit>("DestFileName");
    QCOMPARE(ToolTipAt(dest, dest->rect().center()),
             QStringLiteral("Inserire il nome del file di destinazione"));
    dest->setText(name.toUpper());
    QCOMPARE(ToolTipAt(dest, dest->rect().center()), name.toUpper());
  }

  void theListWithTheFocusIsMarked() {
    QVERIFY(Write("a.pcb", "x"));
    Start();
    const QColor mark = form_->palette().color(QPalette::Highlight);
    const auto surface = [](QWidget* list) {
      auto* view = qobject_cast<QAbstractScrollArea*>(list);
      return view != nullptr ? view->viewport() : list;
    };
    for (const char* name : {"Drive", "SourceDir", "SourceFileList", "DestDir", "DestFileList"}) {
      auto* list = Get<QWidget>(name);
      Button("Exit")->setFocus();
      QTRY_VERIFY(Button("Exit")->hasFocus());
      QVERIFY2(!EdgeIsAll(surface(list)->grab().toImage(), mark), name);
      list->setFocus(Qt::TabFocusReason);
      QTRY_VERIFY(list->hasFocus());
      QVERIFY2(EdgeIsAll(surface(list)->grab().toImage(), mark), name);
    }
  }

  void folderChangesMoveTheDestinationLists() {
    const QDir home(home_);
    QVERIFY(home.mkpath(QStringLiteral("sub/gone")));
    QVERIFY(Write("top.pcb", kH36 + "\r\nA\r\n") && Write("sub/inner.pcb", "x"));
    const QString sub = home.filePath(QStringLiteral("sub"));
    Start();
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("top.pcb")));

    QVERIFY(DoubleClickItem(Get<FolderList>("SourceDir"), QStringLiteral("sub")));
    QCOMPARE(PathOf(List::kSourceDir), sub);
    QCOMPARE(PathOf(List::kDestDir), sub);
    QCOMPARE(Entries(Get<FileList>("SourceFileList")), QStringList{"inner.pcb"});
    QCOMPARE(Entries(Get<FileList>("DestFileList")), QStringList{"inner.pcb"});
    // The last analysis stays on show and can still be saved.
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: top.pcb"));
    QCOMPARE(Text("DestFileName"), QStringLiteral("3_TOP.PCB"));
    QVERIFY(Button("ConveSalva")->isEnabled());

    // The destination side moves alone, here by keyboard: a line up, Enter.
    auto* dest_dir = Get<FolderList>("DestDir");
    dest_dir->setFocus();
    QTest::keyClick(dest_dir, Qt::Key_Up);
    QCOMPARE(PathOf(List::kDestDir), sub);  // pointing at a folder does not open it
    QTest::keyClick(dest_dir, Qt::Key_Return);
    QCOMPARE(PathOf(List::kDestDir), home_);
    QCOMPARE(Entries(Get<FileList>("DestFileList")), QStringList{"top.pcb"});
    QCOMPARE(PathOf(List::kSourceDir), sub);

    // A folder removed meanwhile: a message, and nothing moves.
    QVERIFY(QDir(sub).rmdir(QStringLiteral("gone")));
    QVERIFY(DoubleClickItem(Get<FolderList>("SourceDir"), QStringLiteral("gone")));
    QCOMPARE(boxes_.shown.size(), std::size_t{1});
    QVERIFY(boxes_.shown.front().text.starts_with("Impossibile aprire la cartella"));
    QCOMPARE(PathOf(List::kSourceDir), sub);
    QCOMPARE(PathOf(List::kDestDir), home_);
  }

  void aNewFolderStartsAtItsFirstFile() {
    const QDir home(home_);
    QVERIFY(home.mkdir(QStringLiteral("sub")));
    for (int i = 0; i < 12; ++i) {
      const QString name = QStringLiteral("f%1.pcb").arg(i, 2, 10, QLatin1Char('0'));
      QVERIFY(Write(name, "x") && Write(QStringLiteral("sub/") + name, "x"));
    }
    Start();
    for (const char* name : {"SourceFileList", "DestFileList"}) {
      // The tenth file clicked: the list scrolls down to it.
      QVERIFY(ClickItem(Get<FileList>(name), QStringLiteral("f09.pcb")));
      QVERIFY(Get<FileList>(name)->verticalScrollBar()->value() > 0);
    }
    QVERIFY(DoubleClickItem(Get<FolderList>("SourceDir"), QStringLiteral("sub")));
    for (const char* name : {"SourceFileList", "DestFileList"}) {
      FileList* list = Get<FileList>(name);
      QCOMPARE(PathOf(name == std::string("SourceFileList") ? List::kSourceFileList
                                                            : List::kDestFileList),
               home.filePath(QStringLiteral("sub")));
      QCOMPARE(list->indexAt(QPoint(2, 2)).row(), 0);
      QCOMPARE(list->verticalScrollBar()->value(), 0);
    }
  }

  void listsShowAsManyLinesAsTheWin32Window() {
    QVERIFY(Write("a.pcb", "x"));
    Start();
    // Whole lines of 240 twips (16 pixels) in each list.
    const std::pair<const char*, int> lines[] = {
        {"SourceDir", 4}, {"SourceFileList", 4}, {"DestDir", 4}, {"DestFileList", 3}};
    for (const auto& [name, expected] : lines) {
      QListWidget* list = Get<QListWidget>(name);
      QVERIFY(list->count() > 0);
      const int height = list->visualItemRect(list->item(0)).height();
      QCOMPARE(height, 16);
      QCOMPARE(list->viewport()->height() / height, expected);
    }
  }

  void controlsHaveAccessibleNamesThatReadTheirLabels() {
    QVERIFY(Write("b.pcb", kH36 + "\r\nA\r\n"));
    Start();
    const std::pair<const char*, const char*> names[] = {
        {"Drive", "Unità del file sorgente"},
        {"SourceDir", "Cartella del file sorgente"},
        {"SourceFileList", "File sorgente"},
        {"DestDir", "Cartella di destinazione"},
        {"DestFileName", "Nome File (formato Dos 8+3 caratteri):"},
        {"DestFileList", "File di destinazione"},
        {"ConveSalva", "Converte & Salva"},
        {"Info", "Informazioni"},
        {"Exit", "Esci"},
        {"SourceFile", "Nome: "},
        {"TipoFile", "Formato: "},
        {"FileSize", "Dimensione: "},
        {"FileDate", "Data Creazione: "},
        {"ConvPreview", "Conversione: "},
    };
    for (const auto& [control, name] : names) {
      QWidget* widget = Get<QWidget>(control);
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      QVERIFY2(accessible != nullptr, control);
      // On Linux a drop-down list's name is the item it shows; its own name
      // is told apart.
      QCOMPARE(qobject_cast<QComboBox*>(widget) != nullptr ? widget->accessibleName()
                                                           : accessible->text(QAccessible::Name),
               QString::fromUtf8(name));
    }
    // After an analysis a screen reader reads its outcome.  (The name
    // change the window announces reaches only an active assistive
    // technology, which the headless platform has not.)
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("b.pcb")));
    QCOMPARE(
        QAccessible::queryAccessibleInterface(Get<QWidget>("ConvPreview"))->text(QAccessible::Name),
        QStringLiteral("Conversione: Rapida (modifica intestazione)"));
  }

  void driveChangeMovesEveryListAndEachVolumeRemembersItsFolder() {
    const QDir home(home_);
    QVERIFY(home.mkpath(QStringLiteral("va/work")) && home.mkpath(QStringLiteral("vb/sub")));
    const QString va = home.filePath(QStringLiteral("va")),
                  vb = home.filePath(QStringLiteral("vb"));
    const QString missing = home.filePath(QStringLiteral("vmissing"));
    QVERIFY(QDir::setCurrent(home.filePath(QStringLiteral("va/work"))));
    Start({va, vb, missing});
    auto* drive = Get<DriveList>("Drive");
    const auto all_at = [this](const QString& folder) {
      return PathOf(List::kSourceDir) == folder && PathOf(List::kDestDir) == folder &&
             PathOf(List::kSourceFileList) == folder && PathOf(List::kDestFileList) == folder;
    };
    QVERIFY(all_at(va + QStringLiteral("/work")));
    QTest::keyClick(drive, Qt::Key_Down);
    QVERIFY(all_at(vb));  // first visit: the volume's root
    QVERIFY(DoubleClickItem(Get<FolderList>("SourceDir"), QStringLiteral("sub")));
    QTest::keyClick(drive, Qt::Key_Up);
    QVERIFY(all_at(va + QStringLiteral("/work")));
    QTest::keyClick(drive, Qt::Key_Down);
    QVERIFY(all_at(vb + QStringLiteral("/sub")));

    QTest::keyClick(drive, Qt::Key_Down);  // a volume that cannot be read
    QCOMPARE(boxes_.shown.size(), std::size_t{1});
    QVERIFY(boxes_.shown.front().text.starts_with("Impossibile leggere l'unità"));
    QCOMPARE(drive->currentText(), vb);
    QVERIFY(all_at(vb + QStringLiteral("/sub")));
  }

  // What the save does is the form logic's (tests/form); here: Alt+C works
  // the button, and the lists show the new file.
  void altCSavesAndTheListsShowTheNewFile() {
    QVERIFY(Write("board.pcb", kH36 + "\r\nA\r\nB\r\n"));
    Start();
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("board.pcb")));
    const QByteArray converted = ReadAll(temp_);
    QCOMPARE(converted, "TAVREL Version 3.5 -- DATA FILE\r\nA\r\nB\r\n");
    QTest::keyClick(form_, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!QFile::exists(temp_));  // the key presses the button a moment later
    QVERIFY(boxes_.shown.empty());
    QCOMPARE(ReadAll(QDir(home_).filePath(QStringLiteral("3_BOARD.PCB"))), converted);
    QVERIFY(!Button("ConveSalva")->isEnabled());
    QVERIFY(Entries(Get<FileList>("DestFileList")).contains(QStringLiteral("3_BOARD.PCB")));
    PressAltC();  // nothing left to save
    QVERIFY(boxes_.shown.empty());
  }

  // Exit's work is the form logic's (tests/form); here: the button and the
  // title bar's close both end the window through it.
  void exitDeletesTheTemporaryFileAndCloses_data() {
    QTest::addColumn<bool>("title_bar");
    QTest::newRow("Exit") << false;
    QTest::newRow("title bar") << true;
  }

  void exitDeletesTheTemporaryFileAndCloses() {
    QFETCH(bool, title_bar);
    QVERIFY(Write("board.pcb", kH36 + "\r\nA\r\n"));
    Start();
    QVERIFY(ClickItem(Get<FileList>("SourceFileList"), QStringLiteral("board.pcb")));
    QVERIFY(QFile::exists(temp_));
    if (title_bar) {
      form_->close();
    } else {
      QTest::mouseClick(Button("Exit"), Qt::LeftButton);
    }
    QTRY_VERIFY(form_.isNull());
    QVERIFY(!QFile::exists(temp_));
    QVERIFY(boxes_.shown.empty());
  }

  void openingAFileDoesWhatAClickOnItDoes_data() {
    QTest::addColumn<QString>("given");  // relative to the start folder
    QTest::addColumn<QString>("folder");
    QTest::newRow("another volume") << "../../vb/sub/board.pcb"
                                    << "vb/sub";
    QTest::newRow("the start folder") << "board.pcb"
                                      << "va/work";
    QTest::newRow("through a link") << "../../link.pcb"
                                    << ".";
  }

  void openingAFileDoesWhatAClickOnItDoes() {
    QFETCH(QString, given);
    QFETCH(QString, folder);
    const QDir home(home_);
    QVERIFY(home.mkpath(QStringLiteral("va/work")) && home.mkpath(QStringLiteral("vb/sub")));
    for (const char* name : {"va/work/board.pcb", "vb/sub/board.pcb"})
      QVERIFY(Write(name, kH36 + "\r\nA\r\n"));
    QVERIFY(QFile::link(home.filePath(QStringLiteral("vb/sub/board.pcb")),
                        home.filePath(QStringLiteral("link.pcb"))));
    QVERIFY(QDir::setCurrent(home.filePath(QStringLiteral("va/work"))));
    Start({home_, home.filePath(QStringLiteral("va")), home.filePath(QStringLiteral("vb"))});
    Get<QLineEdit>("DestFileName")->setText(QStringLiteral("TYPED.PCB"));

    form_->Open(given);
    const QString where = QDir::cleanPath(home.filePath(folder));
    const QString name = QFileInfo(given).fileName();
    for (List list : {List::kSourceFileList, List::kDestFileList})
      QCOMPARE(PathOf(list), where);
    QCOMPARE(PathOf(List::kSourceDir), where);
    QCOMPARE(PathOf(List::kDestDir), where);
    QVERIFY(where.startsWith(Get<DriveList>("Drive")->currentText()));
    QCOMPARE(Selected(Get<FileList>("SourceFileList")), name);
    QCOMPARE(Text("DestFileName"), FromEngine(tavrel::ProposedName(ToEngine(name))));
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: ") + name);
    QCOMPARE(Text("TipoFile"), QStringLiteral("Formato: TAVREL 3.6 per Dos"));
    QVERIFY(Button("ConveSalva")->isEnabled());
    QCOMPARE(ReadAll(temp_), "TAVREL Version 3.5 -- DATA FILE\r\nA\r\n");
    QVERIFY(boxes_.shown.empty());
  }

  void openingAFolderOnlyPointsTheLists() {
    QVERIFY(QDir(home_).mkpath(QStringLiteral("sub")) &&
            Write("sub/board.pcb", kH36 + "\r\nA\r\n"));
    Start();
    form_->Open(QStringLiteral("sub"));
    const QString sub = QDir(home_).filePath(QStringLiteral("sub"));
    QCOMPARE(PathOf(List::kSourceDir), sub);
    QCOMPARE(PathOf(List::kDestDir), sub);
    QCOMPARE(Entries(Get<FileList>("DestFileList")), QStringList{"board.pcb"});
    QCOMPARE(Selected(Get<FileList>("SourceFileList")), QString());
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: "));
    QVERIFY(!Button("ConveSalva")->isEnabled());
    QVERIFY(boxes_.shown.empty());
  }

  void droppingFilesOpensTheFirst() {
    const QDir home(home_);
    QVERIFY(home.mkpath(QStringLiteral("sub")) && home.mkpath(QStringLiteral("other")));
    QVERIFY(Write("sub/a.pcb", kH40 + "\r\nZ\r\n") && Write("sub/b.pcb", kH36 + "\r\nZ\r\n"));
    Start();
    const auto url = [&home](const char* name) {
      return QUrl::fromLocalFile(home.filePath(QString::fromLatin1(name)));
    };
    // Text alone is not for the window.
    QMimeData text;
    text.setText(QStringLiteral("sub/a.pcb"));
    QVERIFY(!Drag(form_, text));

    QMimeData files;
    files.setUrls({url("sub/a.pcb"), url("sub/b.pcb")});
    QVERIFY(Drop(form_, files));
    QTRY_COMPARE(Text("SourceFile"), QStringLiteral("Nome: a.pcb"));
    QCOMPARE(PathOf(List::kDestDir), home.filePath(QStringLiteral("sub")));
    QCOMPARE(Text("TipoFile"), QStringLiteral("Formato: TAVREL 4.0 per Windows"));
    QVERIFY(Button("ConveSalva")->isEnabled());

    // A folder, dropped on the name box, which would otherwise take its text.
    QMimeData folder;
    folder.setUrls({url("other")});
    folder.setText(url("other").toString());
    Get<QLineEdit>("DestFileName")->setText(QStringLiteral("3_A.PCB"));
    QVERIFY(Drop(Get<QLineEdit>("DestFileName"), folder));
    QTRY_COMPARE(PathOf(List::kSourceDir), home.filePath(QStringLiteral("other")));
    QCOMPARE(Text("DestFileName"), QStringLiteral("3_A.PCB"));
    QCOMPARE(Text("SourceFile"), QStringLiteral("Nome: a.pcb"));
    QVERIFY(boxes_.shown.empty());
  }

 private:
  // A drag over `target` as a file manager starts it; whether it is taken.
  static bool Drag(QWidget* target, const QMimeData& data) {
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    return enter.isAccepted();
  }
  static bool Drop(QWidget* target, const QMimeData& data) {
    if (!Drag(target, data)) return false;
    QDropEvent drop(target->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }

  void Start(const QStringList& volumes = {}) {
    std::vector<std::string> roots;
    for (const QString& volume : volumes)
      roots.push_back(ToEngine(volume));
    form_ = new FormConverterWindow({&boxes_, roots});
    form_->setAttribute(Qt::WA_DeleteOnClose);  // as the program does
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }

  // The save button's key; a button pressed by its key acts a moment later.
  void PressAltC() {
    QTest::keyClick(form_, Qt::Key_C, Qt::AltModifier);
    QTest::qWait(300);
  }

  template <typename Control>
  Control* Get(const char* name) const {
    auto* control = form_->findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) qFatal("no control %s", name);
    return control;
  }
  QPushButton* Button(const char* name) const { return Get<QPushButton>(name); }
  QString PathOf(List list) const { return FromEngine(form_->Path(list)); }
  // The selected file's name as the list shows it; empty when none.
  static QString Selected(const FileList* list) {
    const int row = list->Selected();
    return row < 0 ? QString() : list->item(row)->text();
  }
  QString Text(const char* name) const {
    if (auto* edit = form_->findChild<QLineEdit*>(QString::fromLatin1(name))) return edit->text();
    return Get<QLabel>(name)->text();
  }

  bool Write(const QString& name, const QByteArray& bytes) const {
    return WriteFile(QDir(home_).filePath(name), bytes);
  }
  bool Write(const char* name, const QByteArray& bytes) const {
    return Write(QString::fromLatin1(name), bytes);
  }

  // The controls Tab visits from Drive once round the window.
  QStringList TabChain() const {
    Get<QWidget>("Drive")->setFocus();
    QStringList chain;
    do {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      chain.append(QApplication::focusWidget()->objectName());
    } while (chain.back() != QStringLiteral("Drive") && chain.size() < 12);
    return chain;
  }

  static bool AnyWindowVisible() {
    for (const QWidget* widget : QApplication::topLevelWidgets())
      if (widget->isVisible()) return true;
    return false;
  }

  std::optional<QTemporaryDir> scratch_;
  QString home_;
  QString previous_;
  QString temp_;
  ScriptedBoxes boxes_;
  QPointer<FormConverterWindow> form_;
};

TAVREL_UI_TEST_MAIN(FormConverterTest)
#include "tst_form_converter.moc"
