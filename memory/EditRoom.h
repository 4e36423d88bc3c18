#pragma once
// Whether an edit of a document plainly has room: the memory left (as
// MemoryHeadroom reads it) is ample for it with a margin. Most edits are a
// key or a short paste, and most of the time memory is plentiful; they then
// need no copy of the text as it was to fall back on. The figure is read
// again once the edits since the last reading may have used up what it
// left, and when told to.

#include <cstdint>

class EditRoom {
public:
  // What an edit may need past its inserted bytes (chunks it splits or
  // copies, its index, its undo step), and then some.
  static constexpr uint64_t kMargin = uint64_t(16) << 20;

  // Reads the figure at once, so that the first key typed does not wait
  // for it.
  EditRoom();
  bool Ample(uint64_t insertedBytes);
  // Reads the figure again: after the program took much memory at once (a
  // pass filled a document), the last reading says too much.
  void Refresh();

private:
  uint64_t left_; // of the last reading, less what edits took since
};
