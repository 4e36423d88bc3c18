#pragma once
// Keeps blocks of memory ready for a text that grows fast (the fill of an
// extraction pass), made on a thread of its own with their pages already
// mapped. Writing into new memory costs a page fault per 4 KiB, which took
// about as long as the rest of a pass into the window; the faults now fall
// on the other core. Taking a block never waits: when none is ready, the
// taker makes its own.

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class ChunkSupply {
public:
  // Blocks of `blockBytes`; up to `keepReady` of them are kept ready.
  ChunkSupply(std::size_t blockBytes, std::size_t keepReady);
  // Stops the thread; blocks not taken are freed.
  ~ChunkSupply();
  ChunkSupply(const ChunkSupply&) = delete;
  ChunkSupply& operator=(const ChunkSupply&) = delete;

  std::size_t BlockBytes() const { return blockBytes_; }
  // A block of BlockBytes() bytes, its pages mapped (contents unspecified),
  // or nullptr when none is ready. Any thread may take.
  std::unique_ptr<char[]> Take();
  // How many blocks are ready now, and how many were taken so far.
  std::size_t Ready();
  std::size_t Taken();

private:
  void Run();

  const std::size_t blockBytes_;
  const std::size_t keepReady_;
  std::mutex mutex_;
  std::condition_variable wanted_;
  std::vector<std::unique_ptr<char[]>> ready_;
  std::size_t taken_ = 0;
  bool stop_ = false;
  std::thread thread_; // last: it starts once the rest exists
};
