// What the window tests share: a headless start, scripted message boxes,
// files in a scratch folder and clicks on list entries.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <vector>

#include "message_boxes.h"

namespace tavrel::ui::testing {

// Answers the boxes the window shows: OK boxes at once, Yes/No boxes with
// the answers a test queued.  Keeps every box it was shown.
class ScriptedBoxes : public MessageBoxes {
 public:
  BoxAnswer Show(QWidget* /*parent*/, const BoxRequest& request) override {
    shown.push_back(request);
    if (request.buttons == BoxButtons::kOk) return BoxAnswer::kOk;
    if (answers.empty()) {
      unexpected_question = true;
      return BoxAnswer::kNo;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<BoxRequest> shown;
  std::deque<BoxAnswer> answers;
  bool unexpected_question = false;
};

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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
