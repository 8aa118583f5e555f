// What the drive, folder and file lists share in their look: entries that
// show their bytes' text, are cut with an ellipsis where they do not fit and
// show their whole name in a tooltip, and a mark on the list that has the
// keyboard focus.
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;
class QWidget;

namespace tavrel::ui {

// How far an entry is shifted right: its depth in the folder tree.
inline constexpr int kDepthRole = Qt::UserRole + 1;

// Draws each entry within the list's width, shifted by its depth, and gives
// the whole text as the tooltip of an entry that had to be cut.
class ListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit ListDelegate(QAbstractItemView* view);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  QStyleOptionViewItem Placed(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  QAbstractItemView* view_;
};

// Draws the focus mark, a frame in the highlight colour, just inside
// `widget`'s edge.
void PaintFocusMark(QWidget* widget);

}  // namespace tavrel::ui
