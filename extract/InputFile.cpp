#include "extract/InputFile.h"

#include "extract/FileKind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Enough to tell a readable input from one that fails at its first read.
constexpr std::size_t kProbeSize = 64 << 10;
} // namespace

InputFile::~InputFile() {
  Close();
}

bool InputFile::Open(const std::string& path, Waiting waiting) {
  Close();
  error_ = 0;
  const int nonBlocking = waiting == Waiting::InSlices ? O_NONBLOCK : 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | nonBlocking);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error_ = errno;
    ::close(fd);
    return false;
  }
  // A directory opens for reading here but holds no bytes to read.
  if (S_ISDIR(st.st_mode)) {
    error_ = EISDIR;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  owned_ = true;
  waiting_ = waiting;
  regular_ = S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
#ifdef POSIX_FADV_SEQUENTIAL
  if (S_ISREG(st.st_mode))
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return true;
}

void InputFile::OpenDescriptor(int fd) {
  Close();
  error_ = 0;
  fd_ = fd;
  owned_ = false;
  waiting_ = Waiting::Block;
  struct stat st {};
  regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
}

void InputFile::OpenPart(const InputFile& whole, uint64_t start, uint64_t end, FindEnd findEnd) {
  Close();
  error_ = 0;
  fd_ = whole.fd_;
  owned_ = false;
  waiting_ = Waiting::Block;
  regular_ = true;
  part_ = true;
  partAt_ = start;
  partEnd_ = std::max(start, end);
  findEnd_ = std::move(findEnd);
  size_ = end == kToEnd ? (whole.size_ > start ? whole.size_ - start : 0) : partEnd_ - start;
}

int64_t InputFile::ReadAt(uint8_t* buffer, std::size_t capacity, uint64_t offset,
                          int* error) const {
  for (;;) {
    const ssize_t n = fd_ < 0 ? -1 : ::pread(fd_, buffer, capacity, static_cast<off_t>(offset));
    if (n >= 0)
      return n;
    if (fd_ >= 0 && errno == EINTR)
      continue;
    if (error != nullptr)
      *error = fd_ < 0 ? EBADF : errno;
    return -1;
  }
}

int64_t InputFile::Read(uint8_t* buffer, std::size_t capacity) {
  if (part_) {
    const auto wanted = static_cast<std::size_t>(std::min<uint64_t>(capacity, partEnd_ - partAt_));
    int64_t n = wanted == 0 ? 0 : ReadAt(buffer, wanted, partAt_, &error_);
    if (n > 0 && findEnd_) {
      const uint64_t end = findEnd_(buffer, static_cast<std::size_t>(n), partAt_);
      if (end != kToEnd) {
        partEnd_ = std::max(end, partAt_);
        n = std::min<int64_t>(n, static_cast<int64_t>(partEnd_ - partAt_));
        findEnd_ = nullptr;
      }
    }
    if (n > 0)
      partAt_ += static_cast<uint64_t>(n);
    return n;
  }
  if (probedAt_ < probed_.size()) {
    const std::size_t count = std::min(capacity, probed_.size() - probedAt_);
    std::memcpy(buffer, probed_.data() + probedAt_, count);
    probedAt_ += count;
    return static_cast<int64_t>(count);
  }
  if (probedEnd_)
    return 0;
  return ReadNow(buffer, capacity, SliceMs);
}

bool InputFile::Probe() {
  probed_.assign(kProbeSize, 0);
  probedAt_ = 0;
  const int64_t got = ReadNow(probed_.data(), probed_.size(), 0);
  probed_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  probedEnd_ = got == 0;
  return got >= 0 || got == NothingYet;
}

int64_t InputFile::ReadNow(uint8_t* buffer, std::size_t capacity, int sliceMs) {
  if (fd_ < 0)
    return -1;
  if (waiting_ == Waiting::InSlices && !regular_)
    return ReadWithin(buffer, capacity, sliceMs);
  for (;;) {
    ssize_t n = ::read(fd_, buffer, capacity);
    if (n >= 0)
      return n;
    if (errno == EINTR)
      continue;
    error_ = errno;
    return -1;
  }
}

int64_t InputFile::ReadWithin(uint8_t* buffer, std::size_t capacity, int sliceMs) {
  pollfd ready{fd_, POLLIN, 0};
  const int polled = ::poll(&ready, 1, sliceMs);
  if (polled < 0 && errno != EINTR) {
    error_ = errno;
    return -1;
  }
  // A FIFO whose writer has not come yet reads as empty but never polls
  // as ready (a hang-up is reported only once a writer has come and gone),
  // so it is waited for here, not taken for an empty file.
  if (polled <= 0)
    return NothingYet;
  const ssize_t n = ::read(fd_, buffer, capacity);
  if (n > 0)
    return n;
  if (n == 0)
    return 0;
  if (errno == EAGAIN || errno == EINTR)
    return NothingYet;
  error_ = errno;
  return -1;
}

void InputFile::Close() {
  if (fd_ >= 0 && owned_)
    ::close(fd_);
  fd_ = -1;
  owned_ = false;
  size_ = 0;
  regular_ = false;
  part_ = false;
  findEnd_ = nullptr;
  probed_.clear();
  probedAt_ = 0;
  probedEnd_ = false;
}

bool InputFile::IsSameFile(int fd) const {
  return fd_ >= 0 && IsSameRegularFile(fd_, fd);
}
