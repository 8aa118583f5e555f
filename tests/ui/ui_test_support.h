// What the window tests share: a headless start, scripted message boxes,
// files in a scratch folder and clicks on list entries.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "files.h"
#include "message_boxes.h"
#include "names.h"
#include "scripted_answers.h"

namespace tavrel::ui::testing {

// Answers the boxes the window shows as the script says, and notes a box
// shown under the wait cursor.
class ScriptedBoxes : public MessageBoxes, public tavrel::testing::ScriptedAnswers {
 public:
  BoxAnswer Show(QWidget* /*parent*/, const Box& box) override {
    if (QApplication::overrideCursor() != nullptr) shown_under_wait_cursor = true;
    return Answer(box);
  }

  bool shown_under_wait_cursor = false;
};

inline QByteArray ReadAll(const QString& path) {
  return QByteArray::fromStdString(::ReadFile(ToEngine(path)));
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  return ::WriteFile(ToEngine(path), bytes.toStdString());
}

// Writes a file whose name is given as the file system's bytes.
inline bool WriteBytesNamed(const QString& folder, const std::string& name,
                            const QByteArray& bytes) {
  const std::string path = QFile::encodeName(folder).toStdString() + "/" + name;
  std::FILE* handle = std::fopen(path.c_str(), "wb");
  if (handle == nullptr) return false;
  const bool written = std::fwrite(bytes.constData(), 1, bytes.size(), handle) ==
                       static_cast<std::size_t>(bytes.size());
  return std::fclose(handle) == 0 && written;
}

// The whole ring of pixels along the image's edge is in `colour`.
inline bool EdgeIsAll(const QImage& image, QColor colour) {
  const QRgb wanted = colour.rgb();
  const int w = image.width(), h = image.height();
  for (int x = 0; x < w; ++x) {
    if (image.pixel(x, 0) != wanted || image.pixel(x, h - 1) != wanted) return false;
  }
  for (int y = 0; y < h; ++y) {
    if (image.pixel(0, y) != wanted || image.pixel(w - 1, y) != wanted) return false;
  }
  return true;
}

// The tooltip the widget shows when the pointer rests at `at`.
inline QString ToolTipAt(QWidget* widget, QPoint at) {
  QToolTip::hideText();
  QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &event);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

inline QStringList Entries(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i)
    texts.append(list->item(i)->text());
  return texts;
}

inline QPoint ItemCentre(QListWidget* list, const QString& text) {
  const auto items = list->findItems(text, Qt::MatchExactly);
  if (items.size() != 1) return {-1, -1};
  list->scrollToItem(items.front());
  return list->visualItemRect(items.front()).center();
}

// Clicks the entry of that text; false when the list has no such entry.
inline bool ClickItem(QListWidget* list, const QString& text) {
  const QPoint at = ItemCentre(list, text);
  if (at.x() < 0) return false;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  return true;
}

inline bool DoubleClickItem(QListWidget* list, const QString& text) {
  const QPoint at = ItemCentre(list, text);
  if (at.x() < 0) return false;
  // A widget's double click in Qt Test is the second press alone.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
  return true;
}

}  // namespace tavrel::ui::testing

// A Qt Test main that runs headless unless told otherwise.
#define TAVREL_UI_TEST_MAIN(TestClass)                                                          \
  int main(int argc, char** argv) {                                                             \
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))                                   \
      qputenv("QTEST_FUNCTION_TIMEOUT", "60000");                                               \
    QApplication application(argc, argv);                                                       \
    application.setStyle(QStringLiteral("Fusion"));                                             \
    TestClass test;                                                                             \
    return QTest::qExec(&test, argc, argv);                                                     \
  }
