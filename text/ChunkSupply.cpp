#include "text/ChunkSupply.h"

#include "text/FreeBlocks.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace {
// Maps every page of [data, data + length) for writing. The kernel does it
// in one call where it can; otherwise a write to each page does.
void MapPages(char* data, std::size_t length) {
  static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<uintptr_t>(data);
  const uintptr_t first = (begin + page - 1) & ~(page - 1);
  const uintptr_t last = (begin + length) & ~(page - 1);
#ifdef MADV_POPULATE_WRITE
  // Only whole pages of the block: the edges are faulted by their first write.
  if (first < last &&
      ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) == 0)
    return;
#endif
  for (uintptr_t p = begin; p < begin + length; p = (p + page) & ~(page - 1))
    *reinterpret_cast<volatile char*>(p) = 0;
  (void)first;
  (void)last;
}
} // namespace

ChunkSupply::ChunkSupply(std::size_t blockBytes, std::size_t keepReady)
    : blockBytes_(blockBytes), keepReady_(keepReady), thread_([this] { Run(); }) {}

ChunkSupply::~ChunkSupply() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wanted_.notify_one();
  thread_.join();
  if (blockBytes_ == FreeBlocks::kBlockBytes)
    for (std::unique_ptr<char[]>& block : ready_)
      FreeBlocks::Give(std::move(block));
}

std::unique_ptr<char[]> ChunkSupply::Take() {
  std::unique_lock<std::mutex> lock(mutex_);
  // The thread is woken when half the blocks are gone, not at every take.
  const bool wake = ready_.size() <= keepReady_ / 2;
  std::unique_ptr<char[]> block;
  if (!ready_.empty()) {
    block = std::move(ready_.back());
    ready_.pop_back();
    ++taken_;
  }
  lock.unlock();
  if (wake)
    wanted_.notify_one();
  return block;
}

std::size_t ChunkSupply::Ready() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ready_.size();
}

std::size_t ChunkSupply::Taken() {
  std::lock_guard<std::mutex> lock(mutex_);
  return taken_;
}

void ChunkSupply::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wanted_.wait(lock, [this] { return stop_ || ready_.size() < keepReady_; });
    if (stop_)
      return;
    // Made outside the lock, so that a take never waits for a block's pages.
    lock.unlock();
    // A block given back has its pages mapped already.
    std::unique_ptr<char[]> block =
        blockBytes_ == FreeBlocks::kBlockBytes ? FreeBlocks::Take() : nullptr;
    if (!block) {
      block.reset(new (std::nothrow) char[blockBytes_]);
      // Out of memory: the takers make their own blocks, and learn of it
      // where they can say so.
      if (!block)
        return;
      MapPages(block.get(), blockBytes_);
    }
    lock.lock();
    ready_.push_back(std::move(block));
  }
}
