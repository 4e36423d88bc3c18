#include "support/EventWatch.h"

#include <algorithm>

EventWatch::EventWatch(std::function<bool()> during, std::function<void()> onTick)
    : during_(std::move(during)), onTick_(std::move(onTick)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  timer_.start(0);
  clock_.start();
}

void EventWatch::Tick() {
  const qint64 gap = clock_.restart();
  if (!during_())
    return;
  if (ticks_ > 0)
    longest_ = std::max(longest_, gap);
  ++ticks_;
  onTick_();
}
