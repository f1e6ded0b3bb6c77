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
#include <initializer_list>
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
  void append_row_in_view(WindowId window, ControlName list,
                          std::initializer_list<std::string_view> cells) override;
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
  void flush() override;

 private:
  // Writes queued and not yet run; a writer finding this many waits, so a
  // worker cannot outrun the UI thread without bound.
  static constexpr std::size_t kMaxQueuedWrites = 4096;

  // UI thread: the named child of the window, cast to T, or null.
  template <class T>
  T* find(WindowId window, const QString& control) const;
  // Runs f(control) on the UI thread and returns its result, or `empty` when
  // the window or the control is missing.
  template <class T, class R, class F>
  R read(WindowId window, ControlName control, R empty, F&& f);
  // Runs f(control) on the UI thread, queued from another thread; f must own
  // what it uses.
  template <class T, class F>
  void write(WindowId window, ControlName control, F f);

  // The hand-over to the UI thread goes through our own mutex, both ways, so
  // that it is visible to ThreadSanitizer (Qt's own locks are not).
  struct Call {
    std::function<void()> run;
    bool* finished = nullptr;  // set once run, for a caller that waits
  };
  // With mutex_ held; the UI thread never takes it while calling into Qt.
  void enqueue(Call call);
  void run_waiting(std::function<void()> call);
  // UI thread: runs the queued calls in the order they came.
  Q_INVOKABLE void run_queued_calls();

  std::mutex mutex_;
  std::condition_variable finished_;
  std::condition_variable room_;
  std::deque<Call> queue_;
  std::size_t queued_writes_ = 0;
  bool closed_ = false;

  std::array<QPointer<QWidget>, 2> windows_;
};

}  // namespace lumora
