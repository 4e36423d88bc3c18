#include "io/WriteAll.h"

#include <cerrno>
#include <sys/types.h>
#include <unistd.h>

namespace {
// `write(done)` writes from `done` bytes into the block on.
template <class Write> int WriteEach(std::size_t length, Write write) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = write(done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return n < 0 ? errno : EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}
} // namespace

int WriteAll(int fd, const char* data, std::size_t length) {
  return WriteEach(length,
                   [&](std::size_t done) { return ::write(fd, data + done, length - done); });
}

int WriteAllAt(int fd, const char* data, std::size_t length, uint64_t at) {
  return WriteEach(length, [&](std::size_t done) {
    return ::pwrite(fd, data + done, length - done, static_cast<off_t>(at + done));
  });
}
