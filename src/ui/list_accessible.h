// The accessible tree of a ListView (see lumora/ui/accessible.h): the list,
// its rows and their cells. Internal to the ui module; UI thread only.
//
// Row and cell interfaces are made on first use and registered with Qt's
// accessibility cache, so that a client sees the same object each time; the
// list's interface owns them and unregisters them when it goes (with its
// widget). Rows are never removed from a ListView while it lives.
#pragma once

#include <QAccessibleWidget>
#include <QPointer>
#include <memory>
#include <vector>

#include "lumora/ui/list_view.h"

namespace lumora {

class ListAccessible : public QAccessibleWidget {
 public:
  explicit ListAccessible(ListView* list);
  ~ListAccessible() override;

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  // The interface of a cell, made when missing; nullptr out of range.
  QAccessibleInterface* cell(int row, int column) const;
  ListView* list() const;

 private:
  // Tells clients about new rows and changed cells they may have seen.
  void on_rows_inserted(int first, int last);
  void on_data_changed(int first_row, int last_row);

  mutable std::vector<QAccessible::Id> rows_;                // 0: not made yet
  mutable std::vector<std::vector<QAccessible::Id>> cells_;  // per row, per column
  std::unique_ptr<QObject> connections_;
};

}  // namespace lumora
