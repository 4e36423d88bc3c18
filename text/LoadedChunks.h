#pragma once
// The few chunks of a text last read back from its spill file, each kept
// while it is among the most recently used, so that reading a text on disk
// line by line (painting, a search, a save) reads each chunk once. A copy
// starts empty: each text reads for itself, on its own thread.

#include "text/ResidentBytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class LoadedChunks {
public:
  LoadedChunks() = default;
  LoadedChunks(const LoadedChunks&) {}
  LoadedChunks& operator=(const LoadedChunks&) { return *this; }

  // The bytes loaded for `key`, or nullptr.
  const char* Find(const void* key);
  // A block of `bytes` for `key`, which `owner` keeps alive (so that no
  // other chunk can take its address while it is here), in place of the
  // least recently used; fill it before the next call.
  char* Make(std::shared_ptr<const void> owner, std::size_t bytes);
  void Clear();

private:
  // Enough for a search whose match spans chunks and the chunk it started
  // in, and for a line drawn across a chunk's end.
  static constexpr std::size_t kSlots = 8;
  struct Slot {
    std::shared_ptr<const void> owner;
    ResidentBytes bytes;
    uint64_t used = 0;
  };
  std::array<Slot, kSlots> slots_;
  uint64_t clock_ = 0;
};
