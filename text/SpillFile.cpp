#include "text/SpillFile.h"

#include "io/FilesInUse.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

// A second descriptor of the spill file for its writes, which skip the
// page cache: the text is read back seldom, and a pass's writes filled
// gigabytes of new page cache; -1 where the system allows none.
int OpenDirect(int fd) {
#ifdef O_DIRECT
  return ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
#else
  (void)fd;
  return -1;
#endif
}
} // namespace

std::shared_ptr<SpillFile> SpillFile::Create(const std::string& directory, int& error) {
  error = 0;
  const int fd = OpenUnnamed(directory, error);
  if (fd < 0)
    return nullptr;
  return std::shared_ptr<SpillFile>(new SpillFile(fd, OpenDirect(fd)));
}

std::shared_ptr<SpillFile> SpillFile::Backing(int writtenFd, int& error) {
  // A descriptor of its own that cannot write: the user's file is never
  // written through it, whatever is asked of it.
  const std::string path = "/proc/self/fd/" + std::to_string(writtenFd);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = fd < 0 ? errno : EINVAL;
    if (fd >= 0)
      ::close(fd);
    return nullptr;
  }
  error = 0;
  std::shared_ptr<SpillFile> file(new SpillFile(fd, -1));
  file->device_ = info.st_dev;
  file->inode_ = info.st_ino;
  FilesInUse::Remember(info.st_dev, info.st_ino);
  return file;
}

SpillFile::~SpillFile() {
  queue_.Stop();
  if (directFd_ >= 0)
    ::close(directFd_);
  if (inode_ != 0)
    FilesInUse::Forget(device_, inode_);
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
  ReadAhead(at + length);
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

void SpillFile::ReadAhead(uint64_t end) const {
  // The file was written past the page cache: read in chunks alone, a
  // search over it waited for the disk at every chunk.
  const uint64_t asked = readAheadTo_.load(std::memory_order_relaxed);
  if (end + kReadAhead / 2 <= asked && asked <= end + kReadAhead)
    return;
  ::posix_fadvise(fd_, static_cast<off_t>(end), static_cast<off_t>(kReadAhead),
                  POSIX_FADV_WILLNEED);
  readAheadTo_.store(end + kReadAhead, std::memory_order_relaxed);
}
