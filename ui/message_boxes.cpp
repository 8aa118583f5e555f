#include "message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace tavrel::ui {

BoxAnswer QtMessageBoxes::Show(QWidget* parent, const BoxRequest& request) {
  QMessageBox box(parent);
  box.setWindowTitle(request.title);
  box.setTextFormat(Qt::PlainText);  // names may hold '<' or '&'
  box.setText(request.text);
  box.setIcon(request.icon == BoxIcon::kCritical ? QMessageBox::Critical : QMessageBox::Warning);
  box.setWindowModality(Qt::ApplicationModal);
  if (request.buttons == BoxButtons::kOk) {
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return BoxAnswer::kOk;
  }
  QPushButton* yes = box.addButton(QStringLiteral("Sì"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
  box.setDefaultButton(request.default_answer == BoxAnswer::kNo ? no : yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace tavrel::ui
