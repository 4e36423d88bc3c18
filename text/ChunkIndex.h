#pragma once
// Running totals over a sequence of chunks: bytes and line breaks before any
// chunk, and the chunk that holds a given byte or line break, each in
// O(log n). A Fenwick tree; adding a chunk at the end or changing the last
// one costs O(log n) and O(1), so a text that only grows at the end never
// needs a rebuild.

#include <cstddef>
#include <cstdint>
#include <vector>

class ChunkIndex {
public:
  struct Totals {
    uint64_t bytes = 0;
    uint64_t breaks = 0;
  };
  // Where a byte or line break lies: its chunk, what the chunks before it
  // hold, and its place inside the chunk (byte offset or break number).
  struct Hit {
    std::size_t chunk = 0;
    Totals before;
    uint64_t rest = 0;
  };

  std::size_t Count() const { return tree_.size() - 1; }
  void Clear() { tree_.assign(1, Totals()); }
  // Replaces the whole index with `chunks`, one entry per chunk, in O(n).
  void Rebuild(std::vector<Totals> chunks);
  void PushBack(Totals chunk);
  void PopBack() { tree_.pop_back(); }
  // Adds to chunk i's counts (negative to take away).
  void Add(std::size_t i, int64_t bytes, int64_t breaks);
  // What the first i chunks hold.
  Totals Before(std::size_t i) const;
  // The chunk holding byte `offset`; Count() when offset is past the end.
  // Chunks must not be empty.
  Hit FindByte(uint64_t offset) const;
  // The chunk holding line break number `k` (from 0); Count() when there are
  // not that many.
  Hit FindBreak(uint64_t k) const;

private:
  Hit Descend(uint64_t target, uint64_t Totals::*count) const;

  // 1-based: tree_[i] sums the chunks (i - lowbit(i), i]; tree_[0] is unused.
  std::vector<Totals> tree_ = std::vector<Totals>(1);
};
