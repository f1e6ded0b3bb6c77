#include "lumora/ui/picture.h"

#include <QMouseEvent>
#include <QPainter>

namespace lumora {

void Picture::mousePressEvent(QMouseEvent* event) {
  // A press on a child that ignores it arrives here too; it is not ours.
  if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint())) {
    event->accept();
    emit leftPressed();
    return;
  }
  QLabel::mousePressEvent(event);
}

PictureButton::PictureButton(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                             QWidget* parent)
    : QAbstractButton(parent), normal_(normal), hover_(hover),
      pressed_(pressed.isNull() ? hover : pressed) {
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::NoFocus);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPixmap& p = isDown() ? pressed_ : hovered_ ? hover_ : normal_;
  painter.drawPixmap(rect(), p);
}

void PictureButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace lumora
