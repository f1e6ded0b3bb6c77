// Item delegate through which every user toggle of a check box passes (mouse
// on the box, Space on the current row); program writes never do.
#pragma once

#include <QStyledItemDelegate>

namespace lumora {

class CheckDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 signals:
  void toggled(int row, int state);

 protected:
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace lumora
