#include "message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "names.h"
#include "texts.h"

namespace tavrel::ui {

namespace {

// A long name or path has no blank where the box could break its line:
// give it a place to break (an invisible zero-width space) every so many
// characters, so the box wraps within the screen instead of growing past it.
QString Breakable(const QString& text) {
  constexpr int kLongestRun = 40;
  QString broken;
  broken.reserve(text.size() + text.size() / kLongestRun);
  int run = 0;
  for (const QChar c : text) {
    if (c.isSpace()) {
      run = 0;
    } else if (++run > kLongestRun && !c.isLowSurrogate()) {
      broken += QChar(0x200B);
      run = 1;
    }
    broken += c;
  }
  return broken;
}

}  // namespace

BoxAnswer QtMessageBoxes::Show(QWidget* parent, const Box& request) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromStdString(request.title));
  box.setTextFormat(Qt::PlainText);  // names may hold '<' or '&'
  box.setText(Breakable(Shown(FromEngine(request.text))));
  box.setIcon(request.icon == BoxIcon::kCritical ? QMessageBox::Critical : QMessageBox::Warning);
  box.setWindowModality(Qt::ApplicationModal);
  if (request.buttons == BoxButtons::kOk) {
    QPushButton* ok = box.addButton(QString::fromUtf8(form::texts::kOk), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return BoxAnswer::kOk;
  }
  // Alt+S and Alt+N answer too.
  QPushButton* yes = box.addButton(QString::fromUtf8(form::texts::kYes), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QString::fromUtf8(form::texts::kNo), QMessageBox::NoRole);
  box.setDefaultButton(request.default_answer == BoxAnswer::kNo ? no : yes);
  box.setEscapeButton(request.cancel_answer == BoxAnswer::kYes ? yes : no);
  box.exec();
  return box.clickedButton() == yes ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace tavrel::ui
