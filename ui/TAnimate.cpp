#include "ui/TAnimate.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {
constexpr int kFrameMs = 60;
} // namespace

TAnimate::TAnimate(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(kFrameMs);
  connect(&timer_, &QTimer::timeout, this, &TAnimate::NextFrame);
}

void TAnimate::Play() {
  frame_ = 0;
  timer_.start();
  update();
}

void TAnimate::Stop() {
  timer_.stop();
  frame_ = 0;
  update();
}

void TAnimate::NextFrame() {
  frame_ = (frame_ + 1) % FrameCount;
  update();
}

void TAnimate::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal w = width();
  const qreal h = height();

  // Three pages, slightly offset, with text lines on the front one.
  const QRectF page(w * 0.12, h * 0.14, w * 0.56, h * 0.68);
  p.setPen(QPen(QColor(90, 90, 90), 1));
  for (int i = 2; i >= 0; --i) {
    p.setBrush(i == 0 ? QColor(255, 255, 255) : QColor(225, 225, 225));
    p.drawRect(page.translated(i * 3.0, -i * 3.0));
  }
  p.setPen(QPen(QColor(120, 120, 160), 1));
  for (int line = 0; line < 6; ++line) {
    const qreal y = page.top() + 6 + line * (page.height() - 10) / 6;
    const qreal right = page.right() - 4 - (line % 3) * 5;
    p.drawLine(QPointF(page.left() + 4, y), QPointF(right, y));
  }

  // The magnifier sweeps to and fro over the front page, one sweep per loop.
  const qreal phase = static_cast<qreal>(frame_) / FrameCount;
  const qreal sweep = 0.5 - 0.5 * qCos(phase * 2 * M_PI);
  const qreal radius = w * 0.16;
  const QPointF centre(page.left() + radius + sweep * (page.width() - radius),
                       page.top() + page.height() * (0.35 + 0.3 * qSin(phase * 2 * M_PI)));
  const QPointF handleStart = centre + QPointF(radius * 0.7, radius * 0.7);
  p.setPen(QPen(QColor(110, 70, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(handleStart, handleStart + QPointF(radius * 0.9, radius * 0.9));
  p.setPen(QPen(QColor(40, 40, 40), 2));
  p.setBrush(QColor(170, 210, 255, 140));
  p.drawEllipse(centre, radius, radius);
}
