#pragma once
// Writes the buffers of a FileLineSink to a descriptor on a thread of its
// own (a WriteQueue), in order, reusing the buffers written. The thread of
// the windows goes on and waits only when many buffers are behind.

#include "extract/FileLineSink.h"
#include "io/WriteQueue.h"

#include <cstddef>
#include <cstdint>
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
  // kMostQueued buffers' worth are behind. Null once a write has failed.
  std::unique_ptr<char[]> Take(std::unique_ptr<char[]> buffer, std::size_t used) override;
  // Queues `length` bytes from `data` that `hold` keeps as they are until
  // written: bytes held elsewhere (a text's chunks) are written from where
  // they lie instead of being copied into a buffer first. Waits, and gives
  // false once a write has failed, as Take does.
  bool TakeHeld(std::shared_ptr<const void> hold, const char* data, std::size_t length);
  // kBehind buffers' worth or more are waiting, or the first has not been
  // written yet: the caller should let them be written before it gives
  // more. A device that takes nothing (a full disk) is then known after one
  // buffer.
  bool Behind();
  // Writes what is queued, stops the thread and closes the descriptor: on
  // the caller's thread, as the last close of a file emptied and written
  // again makes the file system write it back, which takes a while.
  void Close();
  // The error number of the first failed write or of the close, or 0.
  int Error();
  // Bytes written so far, from the first buffer on: all of them reached
  // the file, in the order they were given.
  uint64_t Written();

  static constexpr std::size_t kMostQueued = 16;
  static constexpr std::size_t kBehind = 4;

private:
  struct InFlight {
    std::unique_ptr<char[]> buffer; // none for held bytes
    std::shared_ptr<const WriteQueue::Ticket> ticket;
    std::size_t length;
  };
  // Takes back the buffers written, oldest first; with mutex_ held.
  void Reclaim();
  // Waits until fewer than `most` buffers' worth of bytes are queued or
  // being written.
  void WaitForFewer(std::size_t most);
  // Queues an entry; with mutex_ held.
  void Push(std::unique_ptr<char[]> buffer, std::shared_ptr<const void> hold, const char* data,
            std::size_t length);

  int fd_;
  std::mutex mutex_;
  std::deque<InFlight> inFlight_;
  std::size_t inFlightBytes_ = 0;
  uint64_t written_ = 0;
  std::vector<std::unique_ptr<char[]>> spare_;
  bool wroteAny_ = false; // a write was made, or failed
  int closeError_ = 0;
  WriteQueue queue_; // last: gone first, before the buffers it writes
};
