// The report-view list of both windows: fixed columns with their own
// alignment, optional check boxes, and the user-only check-change signal.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <vector>

namespace lumora {

struct ListColumn {
  QString header;
  int width = 0;  // 0 hides the data without removing the column
  Qt::Alignment alignment = Qt::AlignLeft;
};

// UI thread only. Rows, cells and checks written through the functions below
// take effect in the model at once; the list shows them at the end of the
// current display frame, so rows arriving faster than the screen refreshes
// cost one repaint a frame, not one each.
class ListView : public QTreeWidget {
  Q_OBJECT

 public:
  // With `check_boxes`, every row carries a check box in column 0.
  ListView(const std::vector<ListColumn>& columns, bool check_boxes, QWidget* parent);

  // A new row at the end (unchecked when rows have check boxes) whose cells
  // hold `cells`, column 0 first; cells past the last column are dropped.
  int append_row(const QStringList& cells = {});
  QString cell(int row, int column) const;
  void set_cell(int row, int column, const QString& text);
  bool checked(int row) const;
  // Raises no userToggled: only the user's own toggles do.
  void set_checked(int row, bool checked);
  int current_row() const;
  bool has_check_boxes() const { return check_boxes_; }
  // What a user's toggle or double-click does, for inputs other than the
  // mouse and keyboard (an assistive technology): toggles the row's check
  // box and raises userToggled queued, as a click does; makes the row the
  // selected one and raises listDoubleClicked.
  void toggle_as_user(int row);
  void open_as_user(int row);
  // Brings the row into view; of several calls within a frame the last wins.
  void scroll_to_row(int row);
  // Milliseconds of one display frame of the list's screen.
  int frame_ms() const;

 signals:
  // After the user toggled a row's check box by mouse or Space; state 1 checked,
  // 0 unchecked. Delivered queued, behind the click or key.
  void userToggled(int row, int state);
  // A left double-click anywhere in the list, on a row or not.
  void listDoubleClicked();
  void rightClicked();

 public:
  // Geometry is asked of a laid-out list: these settle a layout still owed.
  QRect visualRect(const QModelIndex& index) const override;
  QModelIndex indexAt(const QPoint& point) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  // While a frame is held, new rows and changed cells only mark the layout
  // as owed: the view's own layout walks every row, which once a row would
  // make a long list's rows cost its length each.
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                   const QList<int>& roles = QList<int>()) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Stops painting until the frame ends; a no-op while a frame is held.
  void hold_frame();
  // Scrolls as last asked and paints everything held back.
  void end_frame();
  // Lays the rows out now if a held frame left that owed.
  void settle_layout() const;

  std::vector<Qt::Alignment> alignments_;
  bool check_boxes_;
  QTimer frame_;
  int scroll_row_ = -1;  // the row to bring into view at the frame's end
  mutable bool layout_owed_ = false;
};

}  // namespace lumora
