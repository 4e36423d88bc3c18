#pragma once
// A file without a name that holds text the memory budget leaves no room
// for. It is unlinked as soon as it is open (or never named at all), so
// nothing is left behind, even after a crash; its space goes back to the
// system when the last chunk stored in it is gone. Read with pread, never
// mapped: a mapping of a file that shrinks ends the process with SIGBUS.
// Any thread may read; one writes at a time.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

// Thrown by a change that would need the disk to hold a text the memory
// budget leaves no room for, when the disk cannot take it.
struct SpillFailure : std::exception {
  const char* what() const noexcept override { return "no room on disk for the text"; }
};

class SpillFile {
public:
  // A new spill file in `directory`, or nullptr with `error` set to the
  // error number.
  static std::shared_ptr<SpillFile> Create(const std::string& directory, int& error);
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Appends `length` bytes; `at` is where they lie. False (and Error()) when
  // the file cannot take them: a full disk, a file size limit.
  bool Write(const char* data, std::size_t length, uint64_t& at);
  // Reads up to `length` bytes from `at` into `out`; the count read, short
  // only on a read error.
  std::size_t Read(uint64_t at, std::size_t length, char* out) const;
  // The error number of the last failed write or read, 0 when none failed.
  int Error() const { return error_.load(std::memory_order_relaxed); }

private:
  explicit SpillFile(int fd) : fd_(fd) {}

  const int fd_;
  uint64_t end_ = 0;
  mutable std::atomic<int> error_{0};
};
