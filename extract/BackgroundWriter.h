#pragma once
// Writes the buffers of a FileLineSink to a descriptor on a thread of its
// own (a WriteQueue), in order, reusing the buffers written. The thread of
// the windows goes on and waits only when many buffers are behind.

#include "extract/FileLineSink.h"
#include "io/WriteQueue.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
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
  // Writes what is queued, stops the thread and closes the descriptor: on
  // the caller's thread, as the last close of a file emptied and written
  // again makes the file system write it back, which takes a while.
  void Close();
  // The error number of the first failed write or of the close, or 0.
  int Error();

  static constexpr std::size_t kMostQueued = 16;
  static constexpr std::size_t kBehind = 4;

private:
  struct InFlight {
    std::unique_ptr<char[]> buffer;
    std::shared_ptr<const WriteQueue::Ticket> ticket;
  };
  // Takes back the buffers written, oldest first; with mutex_ held.
  void Reclaim();
  // Waits until fewer than `most` buffers are queued or being written.
  void WaitForFewer(std::size_t most);

  int fd_;
  std::mutex mutex_;
  std::deque<InFlight> inFlight_;
  std::vector<std::unique_ptr<char[]>> spare_;
  bool wroteAny_ = false; // a write was made, or failed
  int closeError_ = 0;
  WriteQueue queue_; // last: gone first, before the buffers it writes
};
