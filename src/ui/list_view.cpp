#include "lumora/ui/list_view.h"

#include <QHeaderView>
#include <QMouseEvent>

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
}

int ListView::append_row() {
  auto* item = new QTreeWidgetItem();
  for (int i = 0; i < columnCount(); ++i) item->setTextAlignment(i, alignments_[i]);
  if (check_boxes_) {
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
  } else {
    item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
  }
  addTopLevelItem(item);
  return topLevelItemCount() - 1;
}

QString ListView::cell(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item && column >= 0 && column < columnCount() ? item->text(column) : QString();
}

void ListView::set_cell(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (item && column >= 0 && column < columnCount()) item->setText(column, text);
}

bool ListView::checked(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return check_boxes_ && item && item->checkState(0) == Qt::Checked;
}

void ListView::set_checked(int row, bool checked) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (check_boxes_ && item) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

int ListView::current_row() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
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
