#include "list_accessible.h"

#include <QHeaderView>
#include <algorithm>
#include <QWindow>

namespace lumora {
namespace {

constexpr int kTitleColumnOfChecks = 1;  // column 0 holds only the box

int title_column(const ListView* list) { return list->has_check_boxes() ? kTitleColumnOfChecks : 0; }

QRect on_screen(const ListView* list, QRect in_viewport) {
  if (in_viewport.isEmpty()) return {};
  return QRect(list->viewport()->mapToGlobal(in_viewport.topLeft()), in_viewport.size());
}

// What a row and a cell share: the list, the row, and being nobody's object.
class ItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  ItemAccessible(ListView* list, int row) : list_(list), row_(row) {}

  bool isValid() const override { return list_ && row_ < list_->topLevelItemCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return list_ && list_->window() ? list_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 protected:
  ListAccessible* list_interface() const {
    return static_cast<ListAccessible*>(QAccessible::queryAccessibleInterface(list_.data()));
  }
  QString title() const { return list_ ? list_->cell(row_, title_column(list_)) : QString(); }

  QPointer<ListView> list_;
  const int row_;
};

class CellAccessible : public ItemAccessible {
 public:
  CellAccessible(ListView* list, int row, int column) : ItemAccessible(list, row), column_(column) {}

  bool is_box() const { return list_ && list_->has_check_boxes() && column_ == 0; }
  QAccessibleInterface* parent() const override {
    ListAccessible* l = list_interface();
    return l ? l->child(row_) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  // Described by its column's header, which tells a status cell from a title.
  QString text(QAccessible::Text t) const override {
    if (!list_) return {};
    if (t == QAccessible::Description) return list_->headerItem()->text(column_);
    if (t != QAccessible::Name) return {};
    return is_box() ? title() : list_->cell(row_, column_);
  }
  QRect rect() const override {
    if (!isValid()) return {};
    return on_screen(list_, list_->visualItemRect(list_->topLevelItem(row_))
                                .intersected(column_rect()));
  }
  QAccessible::Role role() const override {
    return is_box() ? QAccessible::CheckBox : QAccessible::Cell;
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) return s;
    // A zero-width column holds data the list does not show.
    s.invisible = list_->header()->sectionSize(column_) == 0;
    if (is_box()) {
      s.checkable = true;
      s.checked = list_->checked(row_);
      s.focusable = true;
    }
    return s;
  }
  QStringList actionNames() const override {
    return is_box() ? QStringList{toggleAction()} : QStringList{};
  }
  void doAction(const QString& name) override {
    if (is_box() && name == toggleAction()) list_->toggle_as_user(row_);
  }

 private:
  QRect column_rect() const {
    const int x = list_->header()->sectionViewportPosition(column_);
    return QRect(x, 0, list_->header()->sectionSize(column_), list_->viewport()->height());
  }
  const int column_;
};

class RowAccessible : public ItemAccessible {
 public:
  using ItemAccessible::ItemAccessible;

  QAccessibleInterface* parent() const override { return list_interface(); }
  int childCount() const override { return list_ ? list_->columnCount() : 0; }
  QAccessibleInterface* child(int index) const override {
    ListAccessible* l = list_interface();
    return l ? l->cell(row_, index) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int c = 0; c < childCount(); ++c)
      if (this->child(c) == child) return c;
    return -1;
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? title() : QString();
  }
  QRect rect() const override {
    return isValid() ? on_screen(list_, list_->visualItemRect(list_->topLevelItem(row_))) : QRect();
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) return s;
    s.selectable = true;
    s.selected = list_->current_row() == row_;
    if (list_->has_check_boxes()) {
      s.checkable = true;
      s.checked = list_->checked(row_);
    }
    return s;
  }
  QStringList actionNames() const override {
    if (!list_) return {};
    return {list_->has_check_boxes() ? toggleAction() : pressAction()};
  }
  void doAction(const QString& name) override {
    if (!isValid()) return;
    if (list_->has_check_boxes() && name == toggleAction()) list_->toggle_as_user(row_);
    if (!list_->has_check_boxes() && name == pressAction()) list_->open_as_user(row_);
  }
};

QAccessible::Id made(QAccessible::Id& id, QAccessibleInterface* (*make)(ListView*, int, int),
                     ListView* list, int row, int column) {
  if (!id) id = QAccessible::registerAccessibleInterface(make(list, row, column));
  return id;
}

}  // namespace

ListAccessible::ListAccessible(ListView* list)
    : QAccessibleWidget(list, QAccessible::List), connections_(std::make_unique<QObject>()) {
  QAbstractItemModel* model = list->model();
  QObject::connect(model, &QAbstractItemModel::rowsInserted, connections_.get(),
                   [this](const QModelIndex&, int first, int last) { on_rows_inserted(first, last); });
  QObject::connect(model, &QAbstractItemModel::dataChanged, connections_.get(),
                   [this](const QModelIndex& top_left, const QModelIndex& bottom_right) {
                     on_data_changed(top_left.row(), bottom_right.row());
                   });
}

ListAccessible::~ListAccessible() {
  connections_.reset();
  for (const auto& row : cells_)
    for (QAccessible::Id id : row)
      if (id) QAccessible::deleteAccessibleInterface(id);
  for (QAccessible::Id id : rows_)
    if (id) QAccessible::deleteAccessibleInterface(id);
}

ListView* ListAccessible::list() const { return static_cast<ListView*>(widget()); }

int ListAccessible::childCount() const { return list()->topLevelItemCount(); }

QAccessibleInterface* ListAccessible::child(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  if (rows_.size() <= static_cast<std::size_t>(index)) rows_.resize(index + 1, 0);
  auto make = [](ListView* l, int r, int) -> QAccessibleInterface* { return new RowAccessible(l, r); };
  return QAccessible::accessibleInterface(made(rows_[index], make, list(), index, 0));
}

QAccessibleInterface* ListAccessible::cell(int row, int column) const {
  if (row < 0 || row >= childCount() || column < 0 || column >= list()->columnCount())
    return nullptr;
  if (cells_.size() <= static_cast<std::size_t>(row)) cells_.resize(row + 1);
  std::vector<QAccessible::Id>& ids = cells_[row];
  if (ids.empty()) ids.assign(list()->columnCount(), 0);
  auto make = [](ListView* l, int r, int c) -> QAccessibleInterface* {
    return new CellAccessible(l, r, c);
  };
  return QAccessible::accessibleInterface(made(ids[column], make, list(), row, column));
}

int ListAccessible::indexOfChild(const QAccessibleInterface* child) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i] && QAccessible::accessibleInterface(rows_[i]) == child) return static_cast<int>(i);
  return -1;
}

QAccessibleInterface* ListAccessible::childAt(int x, int y) const {
  const QPoint at = list()->viewport()->mapFromGlobal(QPoint(x, y));
  const QModelIndex index = list()->indexAt(at);
  return index.isValid() ? child(index.row()) : nullptr;
}

void ListAccessible::on_rows_inserted(int first, int last) {
  if (!QAccessible::isActive()) return;
  for (int row = first; row <= last; ++row) {
    QAccessibleEvent event(child(row), QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&event);
  }
}

void ListAccessible::on_data_changed(int first_row, int last_row) {
  if (!QAccessible::isActive()) return;
  auto name_changed = [](QAccessible::Id id) {
    QAccessibleEvent event(QAccessible::accessibleInterface(id), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
  };
  QAccessible::State checked;
  checked.checked = true;
  for (int row = std::max(0, first_row); row <= last_row; ++row) {
    if (row < static_cast<int>(rows_.size()) && rows_[row]) name_changed(rows_[row]);
    if (row >= static_cast<int>(cells_.size())) continue;
    for (QAccessible::Id id : cells_[row]) {
      if (!id) continue;
      name_changed(id);
      QAccessibleInterface* cell = QAccessible::accessibleInterface(id);
      if (cell->role() != QAccessible::CheckBox) continue;
      QAccessibleStateChangeEvent event(cell, checked);
      QAccessible::updateAccessibility(&event);
    }
  }
}

}  // namespace lumora
