#include "lumora/ui/list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "check_delegate.h"

namespace lumora {

ListView::ListView(const std::vector<ListColumn>& columns, bool check_boxes, QWidget* parent)
    : QTreeWidget(parent), check_boxes_(check_boxes) {
  setColumnCount(static_cast<int>(columns.size()));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // A stretched last section would give a zero-width column its width back.
  header()->setStretchLastSection(false);
  header()->setMinimumSectionSize(0);
  QStringList headers;
  for (const ListColumn& c : columns) headers << c.header;
  setHeaderLabels(headers);
  for (int i = 0; i < columnCount(); ++i) {
    const ListColumn& c = columns[static_cast<std::size_t>(i)];
    headerItem()->setTextAlignment(i, c.alignment | Qt::AlignVCenter);
    header()->resizeSection(i, c.width);
    alignments_.push_back(c.alignment | Qt::AlignVCenter);
  }
  auto* delegate = new CheckDelegate(this);
  setItemDelegate(delegate);
  connect(delegate, &CheckDelegate::toggled, this, &ListView::userToggled, Qt::QueuedConnection);
  frame_.setSingleShot(true);
  frame_.setTimerType(Qt::PreciseTimer);
  connect(&frame_, &QTimer::timeout, this, &ListView::end_frame);
}

int ListView::frame_ms() const {
  const QScreen* s = screen();
  const double rate = s && s->refreshRate() >= 1 ? s->refreshRate() : 60.0;
  return std::max(1, static_cast<int>(std::lround(1000.0 / rate)));
}

void ListView::hold_frame() {
  if (frame_.isActive()) return;
  // Children (viewport, header, scroll bars) follow; enabling again repaints.
  setUpdatesEnabled(false);
  frame_.start(frame_ms());
}

void ListView::settle_layout() const {
  if (!layout_owed_) return;
  layout_owed_ = false;
  const_cast<ListView*>(this)->doItemsLayout();
}

void ListView::end_frame() {
  settle_layout();
  if (scroll_row_ >= 0) {
    if (QTreeWidgetItem* item = topLevelItem(scroll_row_)) scrollToItem(item);
    scroll_row_ = -1;
  }
  setUpdatesEnabled(true);
}

int ListView::append_row(const QStringList& cells) {
  auto* item = new QTreeWidgetItem();
  for (int i = 0; i < columnCount(); ++i) {
    item->setTextAlignment(i, alignments_[i]);
    if (i < cells.size()) item->setText(i, cells[i]);
  }
  if (check_boxes_) {
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
  } else {
    item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
  }
  hold_frame();
  addTopLevelItem(item);
  return topLevelItemCount() - 1;
}

QString ListView::cell(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item && column >= 0 && column < columnCount() ? item->text(column) : QString();
}

void ListView::set_cell(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item || column < 0 || column >= columnCount()) return;
  hold_frame();
  item->setText(column, text);
}

bool ListView::checked(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return check_boxes_ && item && item->checkState(0) == Qt::Checked;
}

void ListView::set_checked(int row, bool checked) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!check_boxes_ || !item) return;
  hold_frame();
  item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

int ListView::current_row() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
}

void ListView::toggle_as_user(int row) {
  if (!check_boxes_ || !topLevelItem(row)) return;
  const bool now = !checked(row);
  set_checked(row, now);
  QMetaObject::invokeMethod(
      this, [this, row, now] { emit userToggled(row, now ? 1 : 0); }, Qt::QueuedConnection);
}

void ListView::open_as_user(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  setCurrentItem(item);
  emit listDoubleClicked();
}

QRect ListView::visualRect(const QModelIndex& index) const {
  settle_layout();
  return QTreeWidget::visualRect(index);
}

QModelIndex ListView::indexAt(const QPoint& point) const {
  settle_layout();
  return QTreeWidget::indexAt(point);
}

void ListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  settle_layout();
  QTreeWidget::scrollTo(index, hint);
}

void ListView::rowsInserted(const QModelIndex& parent, int start, int end) {
  if (!frame_.isActive()) {
    QTreeWidget::rowsInserted(parent, start, end);
    return;
  }
  layout_owed_ = true;
  QAbstractItemView::rowsInserted(parent, start, end);
}

void ListView::dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                           const QList<int>& roles) {
  // A held frame repaints the whole list at its end.
  if (!frame_.isActive()) QTreeWidget::dataChanged(top_left, bottom_right, roles);
}

void ListView::scroll_to_row(int row) {
  if (row < 0 || row >= topLevelItemCount()) return;
  hold_frame();
  scroll_row_ = row;
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit listDoubleClicked();
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::RightButton) emit rightClicked();
}

}  // namespace lumora
