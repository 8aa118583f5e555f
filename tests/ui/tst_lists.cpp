// The drive, folder and file lists on their own: what the form gives them
// they show, and a user's action raises their signal.  Which entries a list
// holds and in which order is the form's (tests/form).
#include <QScrollBar>
#include <QSignalSpy>
#include <string>
#include <vector>

#include "drive_list.h"
#include "file_list.h"
#include "folder_list.h"
#include "list_look.h"
#include "names.h"
#include "ui_test_support.h"

using namespace tavrel::ui;
using namespace tavrel::ui::testing;

class ListsTest : public QObject {
  Q_OBJECT

 private slots:
  void fileListShowsNamesAndRaisesClickOnlyForTheUser() {
    std::vector<std::string> names = {"a.txt", "caf\xe9.pcb"};
    for (int i = 0; i < 30; ++i)
      names.push_back("f" + std::to_string(100 + i) + ".pcb");
    FileList list;
    list.resize(200, 100);
    list.show();
    QSignalSpy clicks(&list, &FileList::Click);
    list.Show(names, -1, false);
    QCOMPARE(list.count(), static_cast<int>(names.size()));
    QCOMPARE(list.item(1)->text(), QStringLiteral("caf\uFFFD.pcb"));
    QCOMPARE(list.Selected(), -1);

    list.Select(20);  // the form's pick: raises nothing, brought into sight
    QCOMPARE(list.Selected(), 20);
    QVERIFY(list.verticalScrollBar()->value() > 0);
    const int top = list.verticalScrollBar()->value();
    list.Show(names, 20, true);  // read again in place
    QCOMPARE(list.Selected(), 20);
    QCOMPARE(list.verticalScrollBar()->value(), top);
    list.Show(names, -1, false);  // another folder starts at the top
    QCOMPARE(list.verticalScrollBar()->value(), 0);
    QCOMPARE(clicks.count(), 0);

    QVERIFY(ClickItem(&list, QStringLiteral("a.txt")));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(list.Selected(), 0);
    QVERIFY(ClickItem(&list, QStringLiteral("a.txt")));  // picked again
    QCOMPARE(clicks.count(), 2);
  }

  void folderListIndentsByDepthAndRaisesOpen() {
    const std::vector<tavrel::form::FolderLine> lines = {
        {"/", "/", 0, true}, {"home", "/home", 1, true}, {"a\xff", "/home/a\xff", 2, false}};
    FolderList list;
    list.show();
    QSignalSpy opens(&list, &FolderList::Open);
    list.Show(lines, 1);
    QCOMPARE(Entries(&list), (QStringList{"/", "home", "a\uFFFD"}));
    QCOMPARE(list.currentRow(), 1);
    for (int row = 0; row < 3; ++row)
      QCOMPARE(list.item(row)->data(kDepthRole).toInt(), row);
    QCOMPARE(opens.count(), 0);
    QVERIFY(DoubleClickItem(&list, QStringLiteral("a\uFFFD")));
    QCOMPARE(opens.count(), 1);
    QCOMPARE(list.currentRow(), 2);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Up);
    QCOMPARE(opens.count(), 1);  // pointing at a folder does not open it
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(opens.count(), 2);
  }

  void driveListRaisesChangeOnlyForTheUsersPick() {
    DriveList drives;
    drives.show();
    QSignalSpy changes(&drives, &DriveList::Change);
    drives.Show({QStringLiteral("/"), QStringLiteral("/media/a [DISCO]")});
    drives.Select(0);
    QCOMPARE(drives.currentText(), QStringLiteral("/"));
    QCOMPARE(changes.count(), 0);
    drives.setFocus();
    QTest::keyClick(&drives, Qt::Key_Down);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(drives.currentIndex(), 1);
    drives.Select(0);  // the form puts the drive back
    QCOMPARE(changes.count(), 1);
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
};

TAVREL_UI_TEST_MAIN(ListsTest)
#include "tst_lists.moc"
