#include "lumora/app/open_beside.h"

#include <QEvent>
#include <QPointer>
#include <QScreen>

#include "lumora/app/window_placement.h"

namespace lumora {
namespace {

// The frame of the last window placed, for the next one's first guess.
QMargins g_last_frame;

QMargins frame_of(const QWidget* w) {
  const QRect outer = w->frameGeometry();
  const QRect inner = w->geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(),
          outer.right() - inner.right(), outer.bottom() - inner.bottom()};
}

void place(QWidget* window, const QWidget* owner, const QMargins& frame) {
  const QScreen* screen = owner->screen();
  if (!screen) return;
  const QSize outer = window->size().grownBy(frame);
  const QPoint corner = place_beside(owner->frameGeometry(), outer, screen->availableGeometry());
  // move() places a top-level window's frame, not its client area.
  window->move(corner);
}

// Places the window again while its frame is not the one it was placed with.
class FrameWatch : public QObject {
 public:
  FrameWatch(QWidget* window, const QWidget* owner, QMargins assumed)
      : QObject(window), window_(window), owner_(owner), assumed_(assumed) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type t = event->type();
    if (t != QEvent::Move && t != QEvent::Resize && t != QEvent::Show) return false;
    const QMargins frame = frame_of(window_);
    if (frame == assumed_ || !owner_) return false;
    g_last_frame = frame;
    assumed_ = frame;
    place(window_, owner_, frame);
    return false;
  }

 private:
  QWidget* window_;
  QPointer<const QWidget> owner_;
  QMargins assumed_;
};

}  // namespace

void show_beside(QWidget* window, const QWidget* owner) {
  if (owner) {
    place(window, owner, g_last_frame);
    new FrameWatch(window, owner, g_last_frame);
  }
  window->show();
}

}  // namespace lumora
