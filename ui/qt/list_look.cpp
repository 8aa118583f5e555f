#include "list_look.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "layout.h"
#include "twips.h"

namespace tavrel::ui {

namespace {

constexpr int kIndentPixels = 7;

}  // namespace

ListDelegate::ListDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), view_(view) {}

QStyleOptionViewItem ListDelegate::Placed(const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  QStyleOptionViewItem placed(option);
  placed.rect.setLeft(option.rect.left() + kIndentPixels * index.data(kDepthRole).toInt());
  // Never wider than the list: the style cuts the text with an ellipsis.
  placed.rect.setRight(std::min(placed.rect.right(), view_->viewport()->width() - 1));
  placed.textElideMode = Qt::ElideRight;
  return placed;
}

void ListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, Placed(option, index), index);
}

QSize ListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // The list never scrolls sideways; its lines are as high as the Win32
  // window's, so both show as many.
  const QSize natural = QStyledItemDelegate::sizeHint(option, index);
  return {std::min(natural.width(), view_->viewport()->width()),
          std::max(natural.height(), Pixels(form::layout::kListLineHeight))};
}

bool ListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                             const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() == QEvent::ToolTip && index.isValid()) {
    QStyleOptionViewItem placed = Placed(option, index);
    initStyleOption(&placed, index);
    const QWidget* widget = placed.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &placed, widget);
    // The style keeps a margin on either side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    if (placed.fontMetrics.horizontalAdvance(placed.text) > text.width() - 2 * margin) {
      QToolTip::showText(event->globalPos(), placed.text, view, text);
      return true;
    }
  }
  // An entry that fits: the list's own tooltip.
  event->ignore();
  return false;
}

void PaintFocusMark(QWidget* widget) {
  QPainter painter(widget);
  painter.setPen(QPen(widget->palette().color(QPalette::Highlight), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(widget->rect().adjusted(0, 0, -1, -1));
}

}  // namespace tavrel::ui
