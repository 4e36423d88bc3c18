#include "io/WriteAll.h"

#include <cerrno>
#include <unistd.h>

int WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return n < 0 ? errno : EIO;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return 0;
}
