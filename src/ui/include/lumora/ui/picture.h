// Picture controls: a still or animated picture, and a button drawn from
// pictures (normal, pointer over, pressed).
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>

namespace lumora {

class Picture : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  // The left button went down on the picture itself, not on a child control.
  void leftPressed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  // An empty `pressed` picture falls back to `hover`.
  PictureButton(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPixmap normal_, hover_, pressed_;
  bool hovered_ = false;
};

}  // namespace lumora
