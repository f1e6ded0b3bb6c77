#include "lumora/ui/qt_controls.h"

#include <QAbstractButton>
#include <QAction>
#include <QCursor>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>
#include <type_traits>

#include "lumora/ui/list_view.h"
#include "lumora/ui/parts_bar.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

std::size_t slot(WindowId id) { return id == WindowId::main ? 0 : 1; }

struct NoResult {};

}  // namespace

QtControls::QtControls(QObject* parent) : QObject(parent) {}

QtControls::~QtControls() {
  // Calls still queued are dropped unrun; callers waiting get their empty values.
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (const Call& pending : queue_) {
    if (pending.finished) *pending.finished = true;
  }
  queue_.clear();
  finished_.notify_all();
  room_.notify_all();
}

void QtControls::attach(WindowId id, QWidget* window) { windows_[slot(id)] = window; }

QWidget* QtControls::window(WindowId id) const { return windows_[slot(id)]; }

template <class T>
T* QtControls::find(WindowId window, const QString& control) const {
  // Looked up when the call runs: the window may have gone while it waited
  // in the queue.
  QWidget* root = windows_[slot(window)];
  return root ? root->findChild<T*>(control) : nullptr;
}

template <class T, class R, class F>
R QtControls::read(WindowId window, ControlName control, R empty, F&& f) {
  auto run = [&]() -> R {
    T* target = find<T>(window, qstring_of_name(control));
    if (!target) return empty;
    if constexpr (std::is_same_v<R, NoResult>) {
      f(target);
      return empty;
    } else {
      return f(target);
    }
  };
  if (QThread::currentThread() == thread()) return run();
  R result = empty;
  run_waiting([&] { result = run(); });
  return result;
}

template <class T, class F>
void QtControls::write(WindowId window, ControlName control, F f) {
  auto run = [this, window, name = qstring_of_name(control), f = std::move(f)] {
    if (T* target = find<T>(window, name)) f(target);
  };
  if (QThread::currentThread() == thread()) {
    run();
    return;
  }
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return closed_ || queued_writes_ < kMaxQueuedWrites; });
  if (closed_) return;
  ++queued_writes_;
  enqueue({std::move(run), nullptr});
}

void QtControls::run_waiting(std::function<void()> call) {
  bool finished = false;
  std::unique_lock lock(mutex_);
  if (closed_) return;
  enqueue({std::move(call), &finished});
  finished_.wait(lock, [&] { return finished; });
}

void QtControls::enqueue(Call call) {
  queue_.push_back(std::move(call));
  // By name: the wake-up then carries nothing our instrumented code reads.
  QMetaObject::invokeMethod(this, "run_queued_calls", Qt::QueuedConnection);
}

void QtControls::run_queued_calls() {
  for (;;) {
    Call next;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      next = std::move(queue_.front());
      queue_.pop_front();
      if (!next.finished && queued_writes_-- == kMaxQueuedWrites) room_.notify_all();
    }
    next.run();
    if (next.finished) {
      std::lock_guard lock(mutex_);
      *next.finished = true;
      finished_.notify_all();
    }
  }
}

void QtControls::flush() {
  if (QThread::currentThread() != thread()) run_waiting([] {});
}

Text QtControls::text(WindowId window, ControlName control) {
  return read<QObject>(window, control, Text(), [](QObject* o) -> Text {
    if (auto* e = qobject_cast<QLineEdit*>(o)) return gbk_of_qstring(e->text());
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return gbk_of_qstring(b->text());
    if (auto* l = qobject_cast<QLabel*>(o)) return gbk_of_qstring(l->text());
    if (auto* a = qobject_cast<QAction*>(o)) return gbk_of_qstring(a->text());
    return {};
  });
}

void QtControls::set_text(WindowId window, ControlName control, std::string_view text) {
  write<QObject>(window, control, [s = qstring_of_gbk(text)](QObject* o) {
    if (auto* e = qobject_cast<QLineEdit*>(o)) e->setText(s);
    else if (auto* b = qobject_cast<QAbstractButton*>(o)) b->setText(s);
    else if (auto* l = qobject_cast<QLabel*>(o)) l->setText(s);
    else if (auto* a = qobject_cast<QAction*>(o)) a->setText(s);
  });
}

bool QtControls::is_enabled(WindowId window, ControlName control) {
  return read<QObject>(window, control, false, [](QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) return a->isEnabled();
    if (auto* w = qobject_cast<QWidget*>(o)) return w->isEnabled();
    return false;
  });
}

void QtControls::set_enabled(WindowId window, ControlName control, bool enabled) {
  write<QObject>(window, control, [enabled](QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) a->setEnabled(enabled);
    else if (auto* w = qobject_cast<QWidget*>(o)) w->setEnabled(enabled);
  });
}

int QtControls::current_row(WindowId window, ControlName list) {
  return read<ListView>(window, list, -1, [](ListView* l) { return l->current_row(); });
}

int QtControls::row_count(WindowId window, ControlName list) {
  return read<ListView>(window, list, 0, [](ListView* l) { return l->topLevelItemCount(); });
}

int QtControls::append_row(WindowId window, ControlName list) {
  return read<ListView>(window, list, -1, [](ListView* l) { return l->append_row(); });
}

void QtControls::append_row_in_view(WindowId window, ControlName list,
                                    std::initializer_list<std::string_view> cells) {
  QStringList texts;
  for (std::string_view cell : cells) texts << qstring_of_gbk(cell);
  write<ListView>(window, list, [texts = std::move(texts)](ListView* l) {
    l->scroll_to_row(l->append_row(texts));
  });
}

Text QtControls::cell(WindowId window, ControlName list, int row, int column) {
  return read<ListView>(window, list, Text(), [&](ListView* l) {
    return gbk_of_qstring(l->cell(row, column));
  });
}

void QtControls::set_cell(WindowId window, ControlName list, int row, int column,
                          std::string_view text) {
  write<ListView>(window, list, [row, column, s = qstring_of_gbk(text)](ListView* l) {
    l->set_cell(row, column, s);
  });
}

bool QtControls::is_checked(WindowId window, ControlName list, int row) {
  return read<ListView>(window, list, false, [&](ListView* l) { return l->checked(row); });
}

void QtControls::set_checked(WindowId window, ControlName list, int row, bool checked) {
  write<ListView>(window, list, [row, checked](ListView* l) { l->set_checked(row, checked); });
}

void QtControls::scroll_to_row(WindowId window, ControlName list, int row) {
  write<ListView>(window, list, [row](ListView* l) { l->scroll_to_row(row); });
}

Text QtControls::part_text(WindowId window, ControlName bar, int part) {
  return read<PartsBar>(window, bar, Text(), [&](PartsBar* b) {
    return gbk_of_qstring(b->part_text(part));
  });
}

void QtControls::set_part_text(WindowId window, ControlName bar, int part,
                               std::string_view text) {
  write<PartsBar>(window, bar, [part, s = qstring_of_gbk(text)](PartsBar* b) {
    b->set_part_text(part, s);
  });
}

void QtControls::popup_menu(WindowId window, ControlName menu) {
  read<QMenu>(window, menu, NoResult{}, [](QMenu* m) {
    // exec copes with the menu being deleted with its window while open.
    m->exec(QCursor::pos() + QPoint(3, 3));
  });
}

void QtControls::wait_pumping(int milliseconds) {
  if (QThread::currentThread() != thread()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace lumora
