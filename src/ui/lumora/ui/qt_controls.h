// Controls over Qt widgets: windows are registered by id, controls found by
// objectName inside them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "lumora/controls/controls.h"

namespace lumora {

class QtControls final : public QObject, public Controls {
  Q_OBJECT

 public:
  // Create on the UI thread; it must outlive every thread that calls it.
  explicit QtControls(QObject* parent = nullptr);
  ~QtControls() override;

  // UI thread. The window is watched, not owned: once it is destroyed the
  // calls on `id` do nothing.
  void attach(WindowId id, QWidget* window);
  QWidget* window(WindowId id) const;

  Text text(WindowId window, ControlName control) override;
  void set_text(WindowId window, ControlName control, std::string_view text) override;
  bool is_enabled(WindowId window, ControlName control) override;
  void set_enabled(WindowId window, ControlName control, bool enabled) override;
  int current_row(WindowId window, ControlName list) override;
  int row_count(WindowId window, ControlName list) override;
  int append_row(WindowId window, ControlName list) override;
  Text cell(WindowId window, ControlName list, int row, int column) override;
  void set_cell(WindowId window, ControlName list, int row, int column,
                std::string_view text) override;
  bool is_checked(WindowId window, ControlName list, int row) override;
  void set_checked(WindowId window, ControlName list, int row, bool checked) override;
  void scroll_to_row(WindowId window, ControlName list, int row) override;
  Text part_text(WindowId window, ControlName bar, int part) override;
  void set_part_text(WindowId window, ControlName bar, int part, std::string_view text) override;
  void popup_menu(WindowId window, ControlName menu) override;
  void wait_pumping(int milliseconds) override;

 private:
  // Runs f(control) on the UI thread with the named child of the window cast
  // to T; returns `empty` when the window or the control is missing.
  template <class T, class R, class F>
  R with(WindowId window, ControlName control, R empty, F&& f);
  // From another thread: queues `call` for the UI thread and waits until it
  // ran. The hand-over goes through our own mutex, both ways, so that it is
  // visible to ThreadSanitizer (Qt's own locks are not).
  void run_blocking_on_ui_thread(const std::function<void()>& call);
  // UI thread: runs the queued calls in the order they came.
  Q_INVOKABLE void run_queued_calls();

  struct Pending {
    const std::function<void()>* call = nullptr;
    bool finished = false;
  };
  std::mutex mutex_;
  std::condition_variable finished_;
  std::deque<std::shared_ptr<Pending>> queue_;

  std::array<QPointer<QWidget>, 2> windows_;
};

}  // namespace lumora
