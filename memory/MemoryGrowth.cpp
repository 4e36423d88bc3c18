#include "memory/MemoryGrowth.h"

#include "memory/MemoryHeadroom.h"

namespace {
// A text holds its bytes in chunks with an index beside them: an eighth
// more, and a chunk begun.
uint64_t Needed(uint64_t bytes) {
  return bytes + bytes / 8 + (uint64_t(64) << 10);
}
} // namespace

bool MemoryGrowth::Allows(uint64_t bytes) {
  if (bytes == 0)
    return true; // nothing more is held (text that goes to disk)
  const uint64_t need = Needed(bytes);
  if (!started_) {
    started_ = true;
    budget_ = left_ = MemoryHeadroom::Available();
  }
  if (need > budget_)
    return false;
  if (need > left_) {
    // What was taken since the last reading is in the new one, and so is
    // what other programs took meanwhile.
    left_ = MemoryHeadroom::Available();
    if (need > left_)
      return false;
  }
  budget_ -= need;
  left_ -= need;
  return true;
}
