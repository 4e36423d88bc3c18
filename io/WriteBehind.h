#pragma once
// Hands a file being written in one go (a save) to the disk as it grows,
// and lets go of the pages the disk has taken. Left to itself, the system
// keeps gigabytes of a new file in memory until the final sync, and only
// then writes them: the disk waits for the writer, then the writer for the
// disk, and every page of the file takes new memory. Here the disk writes
// beside the writer, and the next writes reuse the pages let go of.

#include <cstdint>

class WriteBehind {
public:
  // The file open as `fd` is written from `start` on.
  explicit WriteBehind(int fd, uint64_t start = 0) : fd_(fd), handed_(start), dropped_(start) {}

  // The file's bytes up to `end` are written (to the system). Every
  // kStepBytes, they go to the disk; the step before, on disk by then or
  // soon, is waited for and its pages let go of.
  void Wrote(uint64_t end);

  static constexpr uint64_t kStepBytes = 16 << 20;

private:
  int fd_;
  uint64_t handed_;  // bytes given to the disk
  uint64_t dropped_; // bytes whose pages were let go of
};
