#pragma once
// Writes the buffers of a FileLineSink to a descriptor on a thread of its
// own, in order. A write to a file can wait for the disk for hundreds of
// milliseconds once the system holds back dirty pages; the thread of the
// windows then goes on and waits only when many buffers are behind.

#include "extract/FileLineSink.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class BackgroundWriter : public ChunkTaker {
public:
  // Buffers written to `fd`, which is the writer's and closed at the end.
  explicit BackgroundWriter(int fd);
  // Stops: what is still queued is not written.
  ~BackgroundWriter() override;
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Queues the buffer; gives back an empty one, waiting only while
  // kMostQueued are behind. Null once a write has failed.
  std::unique_ptr<char[]> Take(std::unique_ptr<char[]> buffer, std::size_t used) override;
  // kBehind buffers or more are waiting, or the first has not been written
  // yet: the caller should let them be written before it gives more. A
  // device that takes nothing (a full disk) is then known after one buffer.
  bool Behind();
  // Waits until everything queued is written.
  void Drain();
  // Drains, stops the thread and closes the descriptor: on the caller's
  // thread, as the last close of a file emptied and written again makes the
  // file system write it back, which takes a while.
  void Close();
  // The error number of the first failed write, or 0.
  int Error();

  static constexpr std::size_t kMostQueued = 16;
  static constexpr std::size_t kBehind = 4;

private:
  struct Job {
    std::unique_ptr<char[]> buffer;
    std::size_t used;
  };
  void Run();
  // Ends the thread; what is queued is not written.
  void Stop();

  int fd_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable written_;
  std::deque<Job> jobs_;
  std::vector<std::unique_ptr<char[]>> spare_;
  bool writing_ = false;
  bool wroteAny_ = false; // a write was made, or failed
  bool stop_ = false;
  int error_ = 0;
  std::thread thread_; // last: it starts once the rest exists
};
