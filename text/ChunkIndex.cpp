#include "text/ChunkIndex.h"

namespace {

std::size_t LowBit(std::size_t i) {
  return i & (~i + 1);
}

std::size_t HighestPowerOfTwoAtMost(std::size_t n) {
  std::size_t p = 1;
  while (p <= n / 2)
    p <<= 1;
  return p;
}

} // namespace

void ChunkIndex::Rebuild(std::vector<Totals> chunks) {
  chunks.insert(chunks.begin(), Totals());
  const std::size_t n = chunks.size() - 1;
  for (std::size_t i = 1; i <= n; ++i) {
    const std::size_t parent = i + LowBit(i);
    if (parent <= n) {
      chunks[parent].bytes += chunks[i].bytes;
      chunks[parent].breaks += chunks[i].breaks;
    }
  }
  tree_ = std::move(chunks);
}

void ChunkIndex::PushBack(Totals chunk) {
  const std::size_t i = tree_.size();
  // The new node covers (i - lowbit(i), i]: the chunk itself plus the nodes
  // that tile the rest of that range.
  for (std::size_t step = 1; step < LowBit(i); step <<= 1) {
    chunk.bytes += tree_[i - step].bytes;
    chunk.breaks += tree_[i - step].breaks;
  }
  tree_.push_back(chunk);
}

void ChunkIndex::Add(std::size_t i, int64_t bytes, int64_t breaks) {
  const std::size_t n = Count();
  for (std::size_t node = i + 1; node <= n; node += LowBit(node)) {
    tree_[node].bytes += static_cast<uint64_t>(bytes);
    tree_[node].breaks += static_cast<uint64_t>(breaks);
  }
}

ChunkIndex::Totals ChunkIndex::Before(std::size_t i) const {
  Totals sum;
  for (std::size_t node = i; node > 0; node -= LowBit(node)) {
    sum.bytes += tree_[node].bytes;
    sum.breaks += tree_[node].breaks;
  }
  return sum;
}

ChunkIndex::Hit ChunkIndex::FindByte(uint64_t offset) const {
  return Descend(offset, &Totals::bytes);
}

ChunkIndex::Hit ChunkIndex::FindBreak(uint64_t k) const {
  return Descend(k, &Totals::breaks);
}

// Down the tree from the largest power of two, keeping every node whose
// `count` still fits below `target`.
ChunkIndex::Hit ChunkIndex::Descend(uint64_t target, uint64_t Totals::*count) const {
  Hit hit;
  const std::size_t n = Count();
  if (n == 0)
    return hit;
  std::size_t node = 0;
  for (std::size_t step = HighestPowerOfTwoAtMost(n); step > 0; step >>= 1) {
    const std::size_t next = node + step;
    if (next <= n && hit.before.*count + tree_[next].*count <= target) {
      node = next;
      hit.before.bytes += tree_[next].bytes;
      hit.before.breaks += tree_[next].breaks;
    }
  }
  hit.chunk = node;
  hit.rest = target - hit.before.*count;
  return hit;
}
