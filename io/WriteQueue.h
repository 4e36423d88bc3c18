#pragma once
// Writes blocks to a descriptor in the order they are queued, on a thread
// of its own. A write can wait for the disk for hundreds of milliseconds
// once the system holds back dirty pages, and the thread that queues (the
// windows') must not. Once a write fails, nothing queued after it is
// written: a stream with a hole in it is worth nothing.
//
// A file that is only read back by this program (a spill file) may be
// written past the page cache, straight to the disk: each block then starts
// at a multiple of kDirectAlign, the blocks queued meanwhile go in one
// write, and the disk is asked to read what it took back into the page
// cache. Copying a pass's spilled text into new page cache took this thread
// more time than the rest of the pass's work on one core.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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
  // first block. `directFd`, when not -1: another descriptor of the same
  // file, open with O_DIRECT and also the caller's, to write through
  // instead. Should the file system refuse a direct write, `fd` writes the
  // same blocks in the same places.
  explicit WriteQueue(int fd, int directFd = -1);
  static constexpr std::size_t kDirectAlign = 4096;
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
  // The next write's jobs, under the lock: the first queued, and when
  // aligned those after it while they fit in kBatchBytes.
  std::vector<Job> TakeBatch();
  // Writes an aligned batch from `end_` on; 0 or the error number.
  int WriteAligned(const std::vector<Job>& batch);
  // The room a block of `length` bytes takes in the file.
  std::size_t Stored(std::size_t length) const;

  static constexpr std::size_t kBatchBytes = 4 << 20;
  const int fd_;
  const bool aligned_;
  int directFd_;
  // Where aligned blocks are gathered; aligned itself, as direct writes ask.
  std::unique_ptr<char, void (*)(void*)> staging_{nullptr, std::free};
  std::size_t stagingBytes_ = 0;
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
