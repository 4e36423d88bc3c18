#include "text/SpillFile.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
int OpenUnnamed(const std::string& directory, int& error) {
#ifdef O_TMPFILE
  const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0)
    return fd;
    // Some file systems have no unnamed files: a named one, unlinked at once.
#endif
  std::string name = directory + "/siftwell-spill-XXXXXX";
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  const int named = ::mkostemp(path.data(), O_CLOEXEC);
  if (named < 0) {
    error = errno;
    return -1;
  }
  ::unlink(path.data());
  return named;
}
} // namespace

std::shared_ptr<SpillFile> SpillFile::Create(const std::string& directory, int& error) {
  error = 0;
  const int fd = OpenUnnamed(directory, error);
  if (fd < 0)
    return nullptr;
  return std::shared_ptr<SpillFile>(new SpillFile(fd));
}

SpillFile::~SpillFile() {
  queue_.Stop();
  // The last close gives the file's blocks back, which takes the file
  // system a while for a large file (250 ms for 2 GB): not on the thread of
  // the windows, which may be closing one.
  const int fd = fd_;
  try {
    std::thread([fd] { ::close(fd); }).detach();
  } catch (const std::system_error&) {
    ::close(fd);
  }
}

std::shared_ptr<const SpillFile::Ticket> SpillFile::Queue(std::shared_ptr<const void> keep,
                                                          const char* data, std::size_t length) {
  return queue_.Queue(std::move(keep), data, length);
}

std::size_t SpillFile::Read(uint64_t at, std::size_t length, char* out) const {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(at + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      readError_.store(n < 0 ? errno : EIO, std::memory_order_relaxed);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}
