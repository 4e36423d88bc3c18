#pragma once
// A small looping activity picture: a magnifier passing over a stack of
// pages. It plays from a timer and shows its first frame when stopped.

#include <QTimer>
#include <QWidget>

class TAnimate : public QWidget {
  Q_OBJECT
public:
  static constexpr int FrameCount = 24;

  explicit TAnimate(QWidget* parent = nullptr);

  // Plays from the first frame to the last, repeating without end.
  void Play();
  // Stops and shows the first frame again.
  void Stop();
  bool Active() const { return timer_.isActive(); }
  int Frame() const { return frame_; }

  QSize sizeHint() const override { return QSize(48, 50); }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void NextFrame();

  QTimer timer_;
  int frame_ = 0;
};
