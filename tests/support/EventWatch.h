#pragma once
// How a test sees that a long job keeps the program answering: a
// zero-interval timer fires each time events run.

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Runs `onTick` each time events run while `during` holds, and measures the
// longest time between two such firings.
class EventWatch {
public:
  EventWatch(std::function<bool()> during, std::function<void()> onTick);
  int Ticks() const { return ticks_; }
  qint64 LongestGapMs() const { return longest_; }

private:
  void Tick();

  std::function<bool()> during_;
  std::function<void()> onTick_;
  QTimer timer_;
  QElapsedTimer clock_;
  int ticks_ = 0;
  qint64 longest_ = 0;
};
