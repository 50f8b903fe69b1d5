#pragma once
// A slider that reports every key press, every left-button press and every drag step at once,
// so that the value it controls can follow the hand without waiting for the release.
#include <QSlider>

class LiveSlider : public QSlider {
  Q_OBJECT
 public:
  explicit LiveSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
  bool dragging() const { return dragging_; }
  bool liveTracking() const { return liveTracking_; }

 signals:
  void SliderMoved(int position);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool dragging_ = false;
  bool liveTracking_ = true;
};
