// The drive, folder and file lists on their own.
#include <sys/stat.h>

#include <QSignalSpy>
#include <optional>

#include "drive_list.h"
#include "file_list.h"
#include "folder_list.h"
#include "folders.h"
#include "ui_test_support.h"

using namespace tavrel::ui;
using namespace tavrel::ui::testing;

class ListsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_.emplace();
    QVERIFY(scratch_->isValid());
  }

  void fileListShowsOnlyVisibleOrdinaryFiles() {
    const QDir dir(scratch_->path());
    for (const char* name : {"c.pcb", "B.SCH", "a.txt", ".hidden"})
      QVERIFY(WriteFile(dir.filePath(QString::fromLatin1(name)), "x"));
    QVERIFY(dir.mkdir(QStringLiteral("folder")));
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("a.txt")), dir.filePath(QStringLiteral("link"))));
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("dead"))));
    // Reading a pipe would block the window: it is not an ordinary file.
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600), 0);

    FileList list;
    QSignalSpy clicks(&list, &FileList::Click);
    QVERIFY(list.SetPath(scratch_->path()));
    QCOMPARE(Entries(&list), (QStringList{"a.txt", "B.SCH", "c.pcb", "link"}));
    QCOMPARE(list.FileName(), QString());
    QCOMPARE(clicks.count(), 0);
  }

  void folderListShowsThePathFromTheTopThenSubfolders() {
    const QDir dir(scratch_->path());
    for (const char* name : {"zeta", "Alfa", ".nascosta"})
      QVERIFY(dir.mkdir(QString::fromLatin1(name)));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("file")), "x"));

    FolderList list;
    QSignalSpy changes(&list, &FolderList::Change);
    QVERIFY(list.SetPath(scratch_->path()));
    QCOMPARE(changes.count(), 1);  // raised before SetPath returned
    const QStringList parts = QDir::cleanPath(scratch_->path()).split(u'/', Qt::SkipEmptyParts);
    const QStringList expected =
        QStringList{QStringLiteral("/")} + parts + QStringList{"Alfa", "zeta"};
    QCOMPARE(Entries(&list), expected);
    QCOMPARE(list.currentRow(), static_cast<int>(parts.size()));
    QCOMPARE(list.FolderAt(0), QStringLiteral("/"));

    QVERIFY(list.SetPath(scratch_->path() + QStringLiteral("/")));  // the same folder
    QCOMPARE(changes.count(), 1);
    QVERIFY(!list.SetPath(dir.filePath(QStringLiteral("missing"))));
    QCOMPARE(list.Path(), QDir::cleanPath(scratch_->path()));
    QCOMPARE(Entries(&list), expected);
  }

  void driveListRemembersTheLastFolderOfEachVolume() {
    const QDir dir(scratch_->path());
    QVERIFY(dir.mkpath(QStringLiteral("a/work")));
    QVERIFY(dir.mkpath(QStringLiteral("a/nested/deep")));
    QVERIFY(dir.mkpath(QStringLiteral("b")));
    const QString a = dir.filePath(QStringLiteral("a"));
    const QString nested = dir.filePath(QStringLiteral("a/nested"));
    const QString b = dir.filePath(QStringLiteral("b"));
    const QString start = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.filePath(QStringLiteral("a/work"))));
    DriveList drives({a, nested, b});
    QVERIFY(QDir::setCurrent(start));
    QSignalSpy changes(&drives, &DriveList::Change);
    QCOMPARE(drives.Drive(), a);  // the volume of the current folder
    QCOMPARE(drives.FolderOf(a), dir.filePath(QStringLiteral("a/work")));
    QCOMPARE(drives.FolderOf(b), b);
    // The innermost volume holding a folder remembers it.
    drives.Remember(dir.filePath(QStringLiteral("a/nested/deep")));
    QCOMPARE(drives.Drive(), nested);
    QCOMPARE(drives.FolderOf(nested), dir.filePath(QStringLiteral("a/nested/deep")));
    QCOMPARE(drives.FolderOf(a), dir.filePath(QStringLiteral("a/work")));
    QCOMPARE(changes.count(), 0);
  }

  void namesKeepTheirBytesThroughTheLists() {
    const std::string cases[] = {
        "plain.pcb",
        "caf\xc3\xa9.pcb",  // UTF-8
        "caf\xe9.pcb",
        "\xff\xfe",
        "a\xc3",
        "\xc0\xaf",  // not UTF-8: lone, cut, overlong
        "\xed\xb2\x80",
        "\xf0\x9f\x98\x80\x80",  // a surrogate's bytes; a character then a lone byte
    };
    for (const std::string& bytes : cases) {
      const QString text = FromEngine(bytes);
      QCOMPARE(ToEngine(text), bytes);
      QCOMPARE(Shown(text), QString::fromUtf8(bytes.data(), std::ssize(bytes)));
    }
  }

  void mountedVolumesHoldTheRootAndTheCurrentFolder() {
    const QStringList roots = DriveList::MountedVolumes();
    QVERIFY(roots.contains(QStringLiteral("/")));
    DriveList drives;
    QVERIFY(FolderIsUnderRoot(QDir::currentPath(), drives.Drive()));
  }

 private:
  static bool FolderIsUnderRoot(const QString& folder, const QString& root) {
    return root == QStringLiteral("/") || folder == root || folder.startsWith(root + u'/');
  }

  std::optional<QTemporaryDir> scratch_;
};

TAVREL_UI_TEST_MAIN(ListsTest)
#include "tst_lists.moc"
