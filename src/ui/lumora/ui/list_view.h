// The report-view list of both windows: fixed columns with their own
// alignment, optional check boxes, and the user-only check-change signal.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <vector>

namespace lumora {

struct ListColumn {
  QString header;
  int width = 0;  // 0 hides the data without removing the column
  Qt::Alignment alignment = Qt::AlignLeft;
};

class ListView : public QTreeWidget {
  Q_OBJECT

 public:
  // With `check_boxes`, every row carries a check box in column 0.
  ListView(const std::vector<ListColumn>& columns, bool check_boxes, QWidget* parent);

  // A new empty row at the end (unchecked when rows have check boxes).
  int append_row();
  QString cell(int row, int column) const;
  void set_cell(int row, int column, const QString& text);
  bool checked(int row) const;
  // Raises no userToggled: only the user's own toggles do.
  void set_checked(int row, bool checked);
  int current_row() const;

 signals:
  // After the user toggled a row's check box by mouse or Space; state 1 checked,
  // 0 unchecked. Delivered queued, behind the click or key.
  void userToggled(int row, int state);
  // A left double-click anywhere in the list, on a row or not.
  void listDoubleClicked();
  void rightClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::vector<Qt::Alignment> alignments_;
  bool check_boxes_;
};

}  // namespace lumora
