#include "ui/live_slider.h"

#include <QMouseEvent>

LiveSlider::LiveSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

void LiveSlider::keyPressEvent(QKeyEvent* event) {
  QSlider::keyPressEvent(event);
  emit SliderMoved(value());
}

void LiveSlider::mousePressEvent(QMouseEvent* event) {
  QSlider::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) {
    if (liveTracking_) dragging_ = true;
    emit SliderMoved(value());
  }
}

void LiveSlider::mouseMoveEvent(QMouseEvent* event) {
  QSlider::mouseMoveEvent(event);
  if (dragging_) emit SliderMoved(value());
}

void LiveSlider::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) dragging_ = false;
}
