// The drive list: the volumes the form gives it, one of them selected.
#pragma once

#include <QComboBox>
#include <QStringList>

namespace tavrel::ui {

class DriveList : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(QWidget* parent = nullptr);

  // Shows these captions, none selected; raises nothing.
  void Show(const QStringList& captions);
  // Shows the drive as selected without raising Change.
  void Select(int drive);

 signals:
  // The user picked another volume.
  void Change();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int shown_ = -1;
};

}  // namespace tavrel::ui
