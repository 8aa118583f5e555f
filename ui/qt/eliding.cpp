#include "eliding.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

#include "names.h"

namespace tavrel::ui {

namespace {

// Shows `text` as the tooltip of a cut text; otherwise lets the event go to
// the control's own tooltip (or its frame's).
bool ShowWhole(QEvent* event, QWidget* widget, bool cut, const QString& text) {
  if (event->type() != QEvent::ToolTip || !cut) return false;
  QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, widget, widget->rect());
  return true;
}

}  // namespace

bool ElidingLabel::IsCut() const {
  return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

bool ElidingLabel::event(QEvent* event) {
  return ShowWhole(event, this, IsCut(), text()) || QLabel::event(event);
}

void ElidingLabel::paintEvent(QPaintEvent* event) {
  if (!IsCut()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  const QRect area = contentsRect();
  const QString cut = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(), cut, foregroundRole());
}

QRect ElidingLineEdit::TextArea() const {
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  // The box keeps 2 pixels beside its text and 1 above and below.
  return style()
      ->subElementRect(QStyle::SE_LineEditContents, &panel, this)
      .marginsRemoved(textMargins())
      .adjusted(2, 1, -2, -1);
}

bool ElidingLineEdit::IsCut() const {
  return fontMetrics().horizontalAdvance(Shown(text())) > TextArea().width();
}

bool ElidingLineEdit::event(QEvent* event) {
  return ShowWhole(event, this, IsCut(), Shown(text())) || QLineEdit::event(event);
}

void ElidingLineEdit::paintEvent(QPaintEvent* event) {
  if (hasFocus() || !IsCut()) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
  const QRect area = TextArea();
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(Shown(text()), Qt::ElideRight, area.width()));
}

}  // namespace tavrel::ui
