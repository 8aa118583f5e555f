// The information window, the windows' pictures and the real message boxes.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <optional>

#include "form_converter_window.h"
#include "icons.h"
#include "info_window.h"
#include "look.h"
#include "names.h"
#include "texts.h"
#include "ui_test_support.h"

using namespace tavrel::ui;
using namespace tavrel::ui::testing;

Q_DECLARE_METATYPE(tavrel::ui::BoxButtons)
Q_DECLARE_METATYPE(tavrel::ui::BoxAnswer)

namespace {

int ColourCount(const QPixmap& pixmap) {
  const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) != 0) colours.insert(image.pixel(x, y));
    }
  }
  return static_cast<int>(colours.size());
}

InfoWindow* OpenInfoWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* info = qobject_cast<InfoWindow*>(widget); info != nullptr && info->isVisible())
      return info;
  }
  return nullptr;
}

}  // namespace

class InfoWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_.emplace();
    previous_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(scratch_->path()));
    form_ = new FormConverterWindow({&boxes_, {}});
    form_->setAttribute(Qt::WA_DeleteOnClose);
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }

  void cleanup() {
    delete form_;
    QTRY_COMPARE(OpenInfoWindow(), nullptr);
    QVERIFY(QDir::setCurrent(previous_));
  }

  void instructionsAre35LinesEndedByCrLfAndMatchTheCredits() {
    const QString text = QString::fromStdString(tavrel::form::texts::InstructionText());
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 35);
    QCOMPARE(text.count(u'\r'), 35);
    QCOMPARE(text.count(u'\n'), 35);
    QVERIFY(text.contains(QStringLiteral("(\"0=Bottom \r\nLeft\")")));
    QVERIFY(
        text.contains(QStringLiteral("\"AS IS\", ovvero \"così com'è\", pertanto non si \r\n")));

    InfoWindow window;
    QStringList lines;
    for (const std::string& line : tavrel::form::texts::InstructionLines())
      lines.append(QString::fromStdString(line));
    QCOMPARE(lines.size(), 35);
    QVERIFY(lines[28].contains(QStringLiteral("TAVREL")));
    QCOMPARE(lines[31], Label(window, "Label1"));
    QCOMPARE(lines[32], Label(window, "Label2"));
    QCOMPARE(lines[33], QStringLiteral("E-mail: ") + Label(window, "Label3"));
    QCOMPARE(lines[34], QStringLiteral("Web: ") + Label(window, "Label4"));
    QVERIFY(lines[31].contains(QStringLiteral("2003")));

    auto* box = window.findChild<QPlainTextEdit*>(QStringLiteral("Istruzioni"));
    QVERIFY(box != nullptr && box->isReadOnly());
    QCOMPARE(box->toPlainText(),
             QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(box->verticalScrollBar()->isVisible() && box->verticalScrollBar()->maximum() > 0);
    for (const QLabel* label : window.findChildren<QLabel*>()) {
      QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->text()));
    }
  }

  void picturesAreSmallSixteenColourIcons() {
    const QIcon icon = WindowIcon();
    for (const int size : {16, 32, 48, 64, 256})
      QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    // At 200 % a 32-pixel place takes the 64-pixel picture, not a blurred 32.
    QCOMPARE(icon.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
    for (const QSize& size : icon.availableSizes())
      QVERIFY(ColourCount(icon.pixmap(size)) <= 16);
    const QPixmap fennok = FennokPicture();
    QCOMPARE(fennok.size(), QSize(32, 32));
    QVERIFY(ColourCount(fennok) <= 16);
    QVERIFY(fennok.toImage() != icon.pixmap(QSize(32, 32)).toImage());
  }

  void desktopIconsAreTheWindowIconInWholePixels_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("picture");  // the window icon's size it is drawn from
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("32") << 32 << 32;
    QTest::newRow("48") << 48 << 16;
    QTest::newRow("256") << 256 << 32;
  }

  void desktopIconsAreTheWindowIconInWholePixels() {
    QFETCH(int, size);
    QFETCH(int, picture);
    const QImage icon = DesktopIcon(size);
    QCOMPARE(icon.size(), QSize(size, size));
    const QImage original = WindowIcon()
                                .pixmap(QSize(picture, picture))
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
    // Every pixel of the picture is a whole square of the icon.
    const int step = size / picture;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x)
        QCOMPARE(icon.pixel(x, y), original.pixel(x / step, y / step));
    }
    QVERIFY(DesktopIcon(20).isNull());
  }

  void infoWindowOpensAndClosesAgainAndAgain_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"Enter", "Esc", "OK", "Enter in the text", "title bar"})
      QTest::newRow(way) << QString::fromLatin1(way);
  }

  void infoWindowOpensAndClosesAgainAndAgain() {
    QFETCH(QString, way);
    for (int round = 0; round < 3; ++round) {
      QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("Info")), Qt::LeftButton);
      QPointer<InfoWindow> info = OpenInfoWindow();
      QVERIFY(info != nullptr);
      QVERIFY(!form_->isEnabled());
      QCOMPARE(info->windowTitle(), QStringLiteral("Informazioni"));
      QVERIFY(info->parentWidget() == nullptr);
      QVERIFY(QTest::qWaitForWindowActive(info));
      auto* ok = info->findChild<QPushButton*>(QStringLiteral("ButtInfoOk"));
      QTRY_COMPARE(QApplication::focusWidget(), ok);

      if (way == QStringLiteral("Enter")) {
        QTest::keyClick(ok, Qt::Key_Return);
      } else if (way == QStringLiteral("Esc")) {
        QTest::keyClick(ok, Qt::Key_Escape);
      } else if (way == QStringLiteral("OK")) {
        QTest::mouseClick(ok, Qt::LeftButton);
      } else if (way == QStringLiteral("Enter in the text")) {
        auto* text = info->findChild<QPlainTextEdit*>(QStringLiteral("Istruzioni"));
        text->setFocus();
        QTRY_VERIFY(text->hasFocus());
        QTest::keyClick(text, Qt::Key_Return);
      } else {
        info->close();
      }
      QTRY_VERIFY(info.isNull());  // discarded, made anew next time
      QVERIFY(form_->isEnabled());
    }
  }

  void theInfoWindowOpensCentredOnTheMainWindow() {
    form_->move(40, 30);
    QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("Info")), Qt::LeftButton);
    InfoWindow* info = OpenInfoWindow();
    QVERIFY(info != nullptr);
    const QPoint offset = info->frameGeometry().center() - form_->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
  }

  void theTitleBarsCloseWaitsForTheInfoWindow() {
    QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("Info")), Qt::LeftButton);
    QPointer<InfoWindow> info = OpenInfoWindow();
    QVERIFY(info != nullptr);
    QVERIFY(!form_->close());  // the main window does not react while it is disabled
    QVERIFY(form_ != nullptr && form_->isVisible() && info->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(info));
    QTest::keyClick(info, Qt::Key_Return);
    QTRY_VERIFY(info.isNull());
    QVERIFY(form_->close());
    QTRY_VERIFY(form_.isNull());
  }

  void theInstructionsTakeTheFocusAtTheirTopWithNothingSelected() {
    QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("Info")), Qt::LeftButton);
    InfoWindow* info = OpenInfoWindow();
    QVERIFY(info != nullptr);
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* text = info->findChild<QPlainTextEdit*>(QStringLiteral("Istruzioni"));
    QTRY_VERIFY(text->hasFocus());
    QVERIFY(!text->textCursor().hasSelection());
    QCOMPARE(text->textCursor().position(), 0);
    QCOMPARE(text->verticalScrollBar()->value(), 0);
  }

  void theInfoWindowComesBackOnTopOfTheMainWindow() {
    QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("Info")), Qt::LeftButton);
    QPointer<InfoWindow> info = OpenInfoWindow();
    QVERIFY(info != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(info));
    // A click on the main window's title bar brings it to the front.
    QSignalSpy focus(qApp, &QGuiApplication::focusWindowChanged);
    form_->activateWindow();
    QTRY_VERIFY(!focus.isEmpty() &&
                focus.front().front().value<QWindow*>() == form_->windowHandle());
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(info));
    QVERIFY(info->parentWidget() == nullptr);  // still a window of its own
    QTest::keyClick(info, Qt::Key_Return);
    QTRY_VERIFY(info.isNull());
    form_->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), form_.data());
  }

  void textBoxMenusAreItalian() {
    QVERIFY2(InstallQtItalian(), "Qt's Italian translation (qtbase_it) cannot be loaded");
    const auto texts = [](QMenu* menu) {
      QStringList found;
      for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) found.append(action->text().section(u'\t', 0, 0).remove(u'&'));
      }
      delete menu;
      return found;
    };
    const QStringList name_box = texts(
        form_->findChild<QLineEdit*>(QStringLiteral("DestFileName"))->createStandardContextMenu());
    QCOMPARE(name_box, (QStringList{"Annulla", "Rifai", "Taglia", "Copia", "Incolla", "Elimina",
                                    "Seleziona tutto"}));
    InfoWindow window;
    auto* instructions = window.findChild<QPlainTextEdit*>(QStringLiteral("Istruzioni"));
    const QStringList text_box = texts(instructions->createStandardContextMenu());
    QCOMPARE(text_box, (QStringList{"Copia", "Seleziona tutto"}));
  }

  void aBoxNamingALongFileStaysOnTheScreen() {
    const QString name = QString(300, u'x') + QStringLiteral(".PCB");
    QRect box_frame;
    QRect screen;
    QTimer answerer;
    answerer.setInterval(10);
    connect(&answerer, &QTimer::timeout, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      answerer.stop();
      box_frame = box->frameGeometry();
      screen = box->screen()->availableGeometry();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    answerer.start();
    QtMessageBoxes boxes;
    boxes.Show(form_, {"Attenzione!",
                       ToEngine(QStringLiteral("Il file %1 esiste già. Lo sovrascrivo?").arg(name)),
                       BoxIcon::kExclamation, BoxButtons::kYesNo, BoxAnswer::kYes});
    QVERIFY(!box_frame.isEmpty());
    QVERIFY2(screen.contains(box_frame),
             qPrintable(QStringLiteral("%1 wide").arg(box_frame.width())));
  }

  void realBoxesHaveItalianButtons_data() {
    QTest::addColumn<BoxButtons>("buttons");
    QTest::addColumn<BoxAnswer>("default_answer");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<BoxAnswer>("answer");
    const QStringList yes_no = {QStringLiteral("&Sì"), QStringLiteral("&No")};
    const int none = Qt::NoModifier, alt = Qt::AltModifier;
    const struct {
      const char* name;
      BoxButtons buttons;
      BoxAnswer default_answer;
      int key, modifiers;
      BoxAnswer answer;
    } rows[] = {
        {"OK", BoxButtons::kOk, BoxAnswer::kYes, Qt::Key_Return, none, BoxAnswer::kOk},
        {"Esc, OK", BoxButtons::kOk, BoxAnswer::kYes, Qt::Key_Escape, none, BoxAnswer::kOk},
        {"Enter, Yes default", BoxButtons::kYesNo, BoxAnswer::kYes, Qt::Key_Return, none,
         BoxAnswer::kYes},
        {"Enter, No default", BoxButtons::kYesNo, BoxAnswer::kNo, Qt::Key_Return, none,
         BoxAnswer::kNo},
        {"Esc", BoxButtons::kYesNo, BoxAnswer::kYes, Qt::Key_Escape, none, BoxAnswer::kNo},
        {"Alt+S", BoxButtons::kYesNo, BoxAnswer::kNo, Qt::Key_S, alt, BoxAnswer::kYes},
        {"Alt+N", BoxButtons::kYesNo, BoxAnswer::kYes, Qt::Key_N, alt, BoxAnswer::kNo},
    };
    for (const auto& row : rows) {
      QTest::newRow(row.name) << row.buttons << row.default_answer << row.key << row.modifiers
                              << (row.buttons == BoxButtons::kOk ? QStringList{"OK"} : yes_no)
                              << row.answer;
    }
  }

  void realBoxesHaveItalianButtons() {
    QFETCH(BoxButtons, buttons);
    QFETCH(BoxAnswer, default_answer);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QStringList, texts);
    QFETCH(BoxAnswer, answer);
    QStringList seen;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The box is modal: answer it from a timer once it is up.
    QTimer answerer;
    answerer.setInterval(10);
    connect(&answerer, &QTimer::timeout, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      answerer.stop();
      for (const QAbstractButton* button : box->buttons())
        seen.append(button->text());
      title = box->windowTitle();
      icon = box->icon();
      QTest::keyClick(box, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    });
    answerer.start();
    QtMessageBoxes boxes;
    const BoxAnswer got =
        boxes.Show(form_, {"Attenzione!", "Testo", BoxIcon::kExclamation, buttons, default_answer});
    QVERIFY(got == answer);
    seen.sort();
    texts.sort();
    QCOMPARE(seen, texts);
    QCOMPARE(title, QStringLiteral("Attenzione!"));
    QCOMPARE(icon, QMessageBox::Warning);
  }

 private:
  static QString Label(const QWidget& window, const char* name) {
    return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
  }

  std::optional<QTemporaryDir> scratch_;
  QString previous_;
  ScriptedBoxes boxes_;
  QPointer<FormConverterWindow> form_;
};

TAVREL_UI_TEST_MAIN(InfoWindowTest)
#include "tst_info_window.moc"
