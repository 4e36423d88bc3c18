#include "ui/PassQueue.h"

#include "ui/TRTFchild.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <utility>

namespace {
TRTFchild* running = nullptr;
std::deque<std::pair<QPointer<TRTFchild>, bool>> waiting;

void StartNext() {
  while (!running && !waiting.empty()) {
    auto [window, askOutput] = waiting.front();
    waiting.pop_front();
    if (window)
      window->ScanFile(askOutput);
  }
}
} // namespace

bool PassQueue::StartOrWait(TRTFchild* window, bool askOutput) {
  if (running) {
    waiting.emplace_back(window, askOutput);
    return false;
  }
  running = window;
  return true;
}

void PassQueue::Finish() {
  running = nullptr;
  if (!waiting.empty())
    QTimer::singleShot(0, QCoreApplication::instance(), &StartNext);
}

bool PassQueue::IsRunning(const TRTFchild* window) {
  return running == window;
}

bool PassQueue::IsWaiting(const TRTFchild* window) {
  return std::any_of(waiting.begin(), waiting.end(),
                     [window](const auto& entry) { return entry.first == window; });
}

bool PassQueue::AnyRunning() {
  return running != nullptr;
}

void PassQueue::Leave(const TRTFchild* window) {
  waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                               [window](const auto& entry) {
                                 return entry.first.isNull() || entry.first == window;
                               }),
                waiting.end());
}
