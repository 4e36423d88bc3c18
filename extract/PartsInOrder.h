#pragma once
// Work in parts on several threads, its results taken in order: the parts
// of one file (FileCuts), or whole files. Workers claim the parts in order
// and hand each part's results over as they come; one consumer takes them
// part after part. Memory stays bounded: a part starts only while fewer
// than workers + 1 parts are in flight (started and not yet wholly taken),
// and a worker waits while `itemsAhead` results of its part wait.
//
// The consumer may cancel: no part starts after that, a waiting worker's
// hand-over is refused, and every thread is joined before Cancel returns.
// A part whose work throws (a worker short of memory) ends there, and the
// consumer hears of it at the part's place; the program goes on.
//
// The limits (PartLimits) may change during the work: a part reads them
// when it starts, and keeps them.

#include "extract/PartLimits.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

template <class Result> class PartsInOrder {
public:
  // One part, as its worker sees it.
  class Part {
  public:
    std::size_t Index() const { return index_; }
    const PartLimits& Limits() const { return limits_; }
    // Hands `item` over at the part's place, once there is room for it;
    // false when the consumer cancelled (the item is then dropped).
    bool Hand(Result&& item) { return owner_.Hand(index_, std::move(item)); }
    // The consumer cancelled: the part may end where it is.
    bool Cancelled() const { return owner_.cancelled_.load(); }

  private:
    friend class PartsInOrder;
    Part(PartsInOrder& owner, std::size_t index, PartLimits limits)
        : owner_(owner), index_(index), limits_(limits) {}
    PartsInOrder& owner_;
    const std::size_t index_;
    const PartLimits limits_;
  };
  using Job = std::function<void(Part& part)>;

  // Starts `workers` threads at once over parts 0 to count - 1.
  PartsInOrder(std::size_t count, unsigned workers, std::size_t itemsAhead, PartLimits limits,
               Job job)
      : count_(count), itemsAhead_(itemsAhead), job_(std::move(job)), slots_(workers + 1),
        limits_(limits.Packed()) {
    for (unsigned i = 0; i < workers; ++i)
      threads_.emplace_back([this] { Work(); });
  }
  ~PartsInOrder() { Cancel(); }
  PartsInOrder(const PartsInOrder&) = delete;
  PartsInOrder& operator=(const PartsInOrder&) = delete;

  std::size_t Count() const { return count_; }
  // The limits of the parts that start from now on.
  void SetLimits(PartLimits limits) { limits_.store(limits.Packed()); }

  // What Take gives: a result of the part, its end (the next part is then
  // due), its failure (it ended there), nothing within the time allowed,
  // or nothing as the work was cancelled.
  enum class Got { Item, End, Failed, None, Cancelled };
  // The next result of part `index`, which must be the first part not
  // wholly taken; waits `waitMs` milliseconds for it, or as long as it
  // takes when negative.
  Got Take(std::size_t index, Result& item, int waitMs = -1) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& slot = SlotOf(index);
    const auto ready = [&] {
      return cancelled_ || (slot.index == index && (!slot.items.empty() || slot.done));
    };
    if (waitMs < 0)
      changed_.wait(lock, ready);
    else if (!changed_.wait_for(lock, std::chrono::milliseconds(waitMs), ready))
      return Got::None;
    if (cancelled_)
      return Got::Cancelled;
    Got got = Got::Item;
    if (!slot.items.empty()) {
      item = std::move(slot.items.front());
      slot.items.pop_front();
    } else {
      got = slot.failed ? Got::Failed : Got::End;
      taken_ = index + 1;
      slot.index = kNone; // free for the part `slots_.size()` on
    }
    lock.unlock();
    changed_.notify_all(); // a worker may wait for room, or for a slot
    return got;
  }

  // Ends the work: see above. Safe to call more than once.
  void Cancel() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cancelled_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
      if (thread.joinable())
        thread.join();
    }
  }

private:
  static constexpr std::size_t kNone = ~std::size_t(0);
  struct Slot {
    std::size_t index = kNone;
    std::deque<Result> items;
    bool done = false;
    bool failed = false;
  };

  Slot& SlotOf(std::size_t index) { return slots_[index % slots_.size()]; }

  void Work() {
    std::size_t index = 0;
    while (Claim(index)) {
      Part part(*this, index, PartLimits::Unpacked(limits_.load()));
      bool failed = false;
      try {
        job_(part);
      } catch (...) {
        failed = true;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        SlotOf(index).done = true;
        SlotOf(index).failed = failed;
      }
      changed_.notify_all();
    }
  }

  // The next part to start; false when none is left or the work is over.
  bool Claim(std::size_t& index) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(
        lock, [this] { return cancelled_ || next_ >= count_ || next_ < taken_ + slots_.size(); });
    if (cancelled_ || next_ >= count_)
      return false;
    index = next_++;
    Slot& slot = SlotOf(index);
    slot = Slot();
    slot.index = index;
    return true;
  }

  bool Hand(std::size_t index, Result&& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::deque<Result>& items = SlotOf(index).items;
    changed_.wait(lock, [&] { return cancelled_ || items.size() < itemsAhead_; });
    if (cancelled_)
      return false;
    items.push_back(std::move(item));
    lock.unlock();
    changed_.notify_all();
    return true;
  }

  const std::size_t count_;
  const std::size_t itemsAhead_;
  const Job job_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_; // a ring of the parts in flight
  std::size_t next_ = 0;    // the next part to start
  std::size_t taken_ = 0;   // the parts before it are wholly taken
  std::atomic<bool> cancelled_{false};
  std::atomic<uint64_t> limits_;
  std::vector<std::thread> threads_;
};
