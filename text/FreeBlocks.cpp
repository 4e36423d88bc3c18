#include "text/FreeBlocks.h"

#include <mutex>
#include <vector>

namespace {
// 64 MiB: a batch of chunks written to disk at the budget of a large text.
constexpr std::size_t kMostKept = 1024;

std::mutex mutex;
std::vector<std::unique_ptr<char[]>>& Blocks() {
  // Never destroyed: a block may be given back while the program ends.
  static auto* blocks = new std::vector<std::unique_ptr<char[]>>();
  return *blocks;
}
} // namespace

std::unique_ptr<char[]> FreeBlocks::Take() {
  std::lock_guard<std::mutex> lock(mutex);
  auto& blocks = Blocks();
  if (blocks.empty())
    return nullptr;
  std::unique_ptr<char[]> block = std::move(blocks.back());
  blocks.pop_back();
  return block;
}

void FreeBlocks::Give(std::unique_ptr<char[]> block) {
  std::unique_lock<std::mutex> lock(mutex);
  auto& blocks = Blocks();
  if (blocks.size() >= kMostKept)
    return; // freed as `block` goes, outside the lock
  blocks.push_back(std::move(block));
}
