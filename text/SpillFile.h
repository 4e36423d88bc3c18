#pragma once
// A file without a name that holds text the memory budget leaves no room
// for. It is unlinked as soon as it is open (or never named at all), so
// nothing is left behind, even after a crash; its space goes back to the
// system when the last chunk stored in it is gone. Read with pread, never
// mapped: a mapping of a file that shrinks ends the process with SIGBUS.
//
// Writes go through a thread of the file's own (a WriteQueue), so that the
// thread of the windows never waits for the disk. Any thread may read.

#include "io/WriteQueue.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <sys/types.h>

// Thrown by a change that would need the disk to hold a text the memory
// budget leaves no room for, when the disk cannot take it.
struct SpillFailure : std::exception {
  const char* what() const noexcept override { return "no room on disk for the text"; }
};

class SpillFile {
public:
  // How a queued write went, once `done`: written at `at`, or failed (a
  // full disk, a file size limit) with `error`.
  using Ticket = WriteQueue::Ticket;

  // A new spill file in `directory`, or nullptr with `error` set to the
  // error number.
  static std::shared_ptr<SpillFile> Create(const std::string& directory, int& error);
  // The file open read-only as `writtenFd` (another descriptor of it) is
  // written, by others, with text that is then read back from it: the
  // output file of a pass, whose bytes need no second copy on disk. It
  // counts as in use (FilesInUse) while this lives. nullptr, with `error`,
  // when it cannot be opened or is not a regular file.
  static std::shared_ptr<SpillFile> Backing(int writtenFd, int& error);
  // Writes not yet made are dropped; the file is closed on a thread of its
  // own, soon after.
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Appends `length` bytes from `data` on the file's thread; `keep` holds
  // them until then. Writes are made in the order queued; once one fails,
  // those after it fail too.
  std::shared_ptr<const Ticket> Queue(std::shared_ptr<const void> keep, const char* data,
                                      std::size_t length);
  // Waits until `ticket` is done.
  void Wait(const Ticket& ticket) { queue_.Wait(ticket); }
  // Reads up to `length` bytes from `at` into `out`; the count read, short
  // only on a read error (ReadError() then says which).
  std::size_t Read(uint64_t at, std::size_t length, char* out) const;
  int ReadError() const { return readError_.load(std::memory_order_relaxed); }

  // How far ahead of a read going on from the last the disk is asked for
  // what comes next.
  static constexpr uint64_t kReadAhead = 8 << 20;

private:
  SpillFile(int fd, int directFd) : fd_(fd), directFd_(directFd), queue_(fd, directFd) {}

  const int fd_;
  const int directFd_; // the same file for writes past the page cache, or -1
  // A backing file's, for FilesInUse; 0 for a spill file.
  dev_t device_ = 0;
  ino_t inode_ = 0;
  // Asks the disk for the stretch after a read that has gone past the
  // middle of the last one asked for.
  void ReadAhead(uint64_t end) const;

  mutable std::atomic<int> readError_{0};
  mutable std::atomic<uint64_t> readAheadTo_{0};
  WriteQueue queue_; // last: gone first, before the descriptor is closed
};
