#pragma once
// A file without a name that holds text the memory budget leaves no room
// for. It is unlinked as soon as it is open (or never named at all), so
// nothing is left behind, even after a crash; its space goes back to the
// system when the last chunk stored in it is gone. Read with pread, never
// mapped: a mapping of a file that shrinks ends the process with SIGBUS.
//
// Writes go through a thread of the file's own: a write can wait for the
// disk for hundreds of milliseconds once the system holds back dirty pages,
// and the thread of the windows must not. Any thread may read.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Thrown by a change that would need the disk to hold a text the memory
// budget leaves no room for, when the disk cannot take it.
struct SpillFailure : std::exception {
  const char* what() const noexcept override { return "no room on disk for the text"; }
};

class SpillFile {
public:
  // How a queued write went, once `done`: written at `at`, or failed (a
  // full disk, a file size limit) with `error`.
  struct Ticket {
    std::atomic<bool> done{false};
    bool ok = false;
    uint64_t at = 0;
    int error = 0;
  };

  // A new spill file in `directory`, or nullptr with `error` set to the
  // error number.
  static std::shared_ptr<SpillFile> Create(const std::string& directory, int& error);
  // Writes not yet made are dropped.
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Appends `length` bytes from `data` on the file's thread; `keep` holds
  // them until then. Writes are made in the order queued; once one fails,
  // those after it fail too.
  std::shared_ptr<const Ticket> Queue(std::shared_ptr<const void> keep, const char* data,
                                      std::size_t length);
  // Waits until `ticket` is done.
  void Wait(const Ticket& ticket);
  // Reads up to `length` bytes from `at` into `out`; the count read, short
  // only on a read error (ReadError() then says which).
  std::size_t Read(uint64_t at, std::size_t length, char* out) const;
  int ReadError() const { return readError_.load(std::memory_order_relaxed); }

private:
  struct Job {
    std::shared_ptr<const void> keep;
    const char* data;
    std::size_t length;
    std::shared_ptr<Ticket> ticket;
  };

  explicit SpillFile(int fd) : fd_(fd) {}
  void Run();
  // One write at the end of the file; 0 or the error number.
  int Append(const char* data, std::size_t length, uint64_t& at);

  const int fd_;
  mutable std::atomic<int> readError_{0};
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Job> jobs_;
  bool stop_ = false;
  // The writer's own: where the next write goes, and the first error.
  uint64_t end_ = 0;
  int writeError_ = 0;
  std::thread thread_; // started by the first Queue
};
