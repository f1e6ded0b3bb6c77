#include "check_delegate.h"

#include <QKeyEvent>

namespace lumora {

bool CheckDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
  QModelIndex target = index;
  // Space toggles the row whichever cell of it is current; the box is in column 0.
  if (event->type() == QEvent::KeyPress) target = index.siblingAtColumn(0);
  const QVariant before = target.data(Qt::CheckStateRole);
  const bool handled = QStyledItemDelegate::editorEvent(event, model, option, target);
  const QVariant after = target.data(Qt::CheckStateRole);
  if (before.isValid() && after != before)
    emit toggled(target.row(), after.toInt() == Qt::Checked ? 1 : 0);
  return handled;
}

}  // namespace lumora
