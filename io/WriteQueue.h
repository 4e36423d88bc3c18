#pragma once
// Writes blocks to a descriptor in the order they are queued, on a thread
// of its own. A write can wait for the disk for hundreds of milliseconds
// once the system holds back dirty pages, and the thread that queues (the
// windows') must not. Once a write fails, nothing queued after it is
// written: a stream with a hole in it is worth nothing.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class WriteQueue {
public:
  // How one queued block went, once `done`: written from `at` bytes after
  // the first block's start, or failed with the error number `error`.
  struct Ticket {
    std::atomic<bool> done{false};
    uint64_t at = 0;
    int error = 0;
  };

  // Writes to `fd`, which stays the caller's; the thread starts with the
  // first block.
  explicit WriteQueue(int fd);
  // Stops: blocks not yet written are dropped and their tickets never done.
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  // Queues `length` bytes from `data`; `keep` holds them until they are
  // written (or may be null when the caller holds them until the ticket is
  // done).
  std::shared_ptr<const Ticket> Queue(std::shared_ptr<const void> keep, const char* data,
                                      std::size_t length);
  // Waits until `ticket` is done.
  void Wait(const Ticket& ticket);
  // Waits until everything queued is done, then ends the thread.
  void Finish();
  // The error number of the first failed write, or 0.
  int Error();
  // Ends the thread; blocks not yet written are dropped. Before the
  // descriptor is closed.
  void Stop();

private:
  struct Job {
    std::shared_ptr<const void> keep;
    const char* data;
    std::size_t length;
    std::shared_ptr<Ticket> ticket;
  };
  void Run();

  const int fd_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Job> jobs_;
  bool writing_ = false;
  bool stop_ = false;
  int error_ = 0;
  uint64_t end_ = 0; // the writer's own: where the next block starts
  std::thread thread_;
};
