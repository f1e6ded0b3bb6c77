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
  // Calls still queued are released unrun, with their empty values.
  std::lock_guard lock(mutex_);
  for (const auto& pending : queue_) pending->finished = true;
  queue_.clear();
  finished_.notify_all();
}

void QtControls::attach(WindowId id, QWidget* window) { windows_[slot(id)] = window; }

QWidget* QtControls::window(WindowId id) const { return windows_[slot(id)]; }

template <class T, class R, class F>
R QtControls::with(WindowId window, ControlName control, R empty, F&& f) {
  // Looked up on the UI thread at the moment of the call: the window may have
  // gone while the call waited in the queue.
  auto run = [&]() -> R {
    QWidget* root = windows_[slot(window)];
    if (!root) return empty;
    T* target = root->findChild<T*>(qstring_of_name(control));
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
  run_blocking_on_ui_thread([&] { result = run(); });
  return result;
}

void QtControls::run_blocking_on_ui_thread(const std::function<void()>& call) {
  auto pending = std::make_shared<Pending>();
  pending->call = &call;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(pending);
  }
  // By name: the wake-up then carries nothing our instrumented code reads.
  QMetaObject::invokeMethod(this, "run_queued_calls", Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return pending->finished; });
}

void QtControls::run_queued_calls() {
  for (;;) {
    std::shared_ptr<Pending> next;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      next = queue_.front();
      queue_.pop_front();
    }
    (*next->call)();
    {
      std::lock_guard lock(mutex_);
      next->finished = true;
    }
    finished_.notify_all();
  }
}

Text QtControls::text(WindowId window, ControlName control) {
  return with<QObject>(window, control, Text(), [](QObject* o) -> Text {
    if (auto* e = qobject_cast<QLineEdit*>(o)) return gbk_of_qstring(e->text());
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return gbk_of_qstring(b->text());
    if (auto* l = qobject_cast<QLabel*>(o)) return gbk_of_qstring(l->text());
    if (auto* a = qobject_cast<QAction*>(o)) return gbk_of_qstring(a->text());
    return {};
  });
}

void QtControls::set_text(WindowId window, ControlName control, std::string_view text) {
  with<QObject>(window, control, NoResult{}, [&](QObject* o) {
    const QString s = qstring_of_gbk(text);
    if (auto* e = qobject_cast<QLineEdit*>(o)) e->setText(s);
    else if (auto* b = qobject_cast<QAbstractButton*>(o)) b->setText(s);
    else if (auto* l = qobject_cast<QLabel*>(o)) l->setText(s);
    else if (auto* a = qobject_cast<QAction*>(o)) a->setText(s);
  });
}

bool QtControls::is_enabled(WindowId window, ControlName control) {
  return with<QObject>(window, control, false, [](QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) return a->isEnabled();
    if (auto* w = qobject_cast<QWidget*>(o)) return w->isEnabled();
    return false;
  });
}

void QtControls::set_enabled(WindowId window, ControlName control, bool enabled) {
  with<QObject>(window, control, NoResult{}, [&](QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) a->setEnabled(enabled);
    else if (auto* w = qobject_cast<QWidget*>(o)) w->setEnabled(enabled);
  });
}

int QtControls::current_row(WindowId window, ControlName list) {
  return with<ListView>(window, list, -1, [](ListView* l) { return l->current_row(); });
}

int QtControls::row_count(WindowId window, ControlName list) {
  return with<ListView>(window, list, 0, [](ListView* l) { return l->topLevelItemCount(); });
}

int QtControls::append_row(WindowId window, ControlName list) {
  return with<ListView>(window, list, -1, [](ListView* l) { return l->append_row(); });
}

Text QtControls::cell(WindowId window, ControlName list, int row, int column) {
  return with<ListView>(window, list, Text(), [&](ListView* l) {
    return gbk_of_qstring(l->cell(row, column));
  });
}

void QtControls::set_cell(WindowId window, ControlName list, int row, int column,
                          std::string_view text) {
  with<ListView>(window, list, NoResult{}, [&](ListView* l) {
    l->set_cell(row, column, qstring_of_gbk(text));
  });
}

bool QtControls::is_checked(WindowId window, ControlName list, int row) {
  return with<ListView>(window, list, false, [&](ListView* l) { return l->checked(row); });
}

void QtControls::set_checked(WindowId window, ControlName list, int row, bool checked) {
  with<ListView>(window, list, NoResult{}, [&](ListView* l) { l->set_checked(row, checked); });
}

void QtControls::scroll_to_row(WindowId window, ControlName list, int row) {
  with<ListView>(window, list, NoResult{}, [&](ListView* l) { l->scroll_to_row(row); });
}

Text QtControls::part_text(WindowId window, ControlName bar, int part) {
  return with<PartsBar>(window, bar, Text(), [&](PartsBar* b) {
    return gbk_of_qstring(b->part_text(part));
  });
}

void QtControls::set_part_text(WindowId window, ControlName bar, int part,
                               std::string_view text) {
  with<PartsBar>(window, bar, NoResult{}, [&](PartsBar* b) {
    b->set_part_text(part, qstring_of_gbk(text));
  });
}

void QtControls::popup_menu(WindowId window, ControlName menu) {
  with<QMenu>(window, menu, NoResult{}, [](QMenu* m) {
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
