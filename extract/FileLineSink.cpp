#include "extract/FileLineSink.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
} // namespace

FileLineSink::~FileLineSink() {
  Close();
}

bool FileLineSink::Open(const std::string& path) {
  Close();
  error_ = 0;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  fd_ = fd;
  owned_ = true;
  buffer_.reserve(kBufferSize);
  return true;
}

void FileLineSink::OpenDescriptor(int fd) {
  Close();
  error_ = 0;
  fd_ = fd;
  owned_ = false;
  buffer_.reserve(kBufferSize);
}

void FileLineSink::Line(const char* data, std::size_t length) {
  if (fd_ < 0 || error_ != 0)
    return;
  if (buffer_.size() + length + 1 > kBufferSize) {
    if (!Flush())
      return;
    // A line larger than the buffer goes straight out.
    if (length + 1 > kBufferSize) {
      buffer_.insert(buffer_.end(), data, data + length);
      buffer_.push_back('\n');
      Flush();
      return;
    }
  }
  buffer_.insert(buffer_.end(), data, data + length);
  buffer_.push_back('\n');
}

bool FileLineSink::Flush() {
  if (error_ != 0) {
    buffer_.clear();
    return false;
  }
  const char* p = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      error_ = errno;
      break;
    }
    if (n == 0) {
      error_ = EIO;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return error_ == 0;
}

bool FileLineSink::Close() {
  if (fd_ < 0)
    return error_ == 0;
  Flush();
  if (owned_ && ::close(fd_) != 0 && error_ == 0)
    error_ = errno;
  fd_ = -1;
  owned_ = false;
  std::vector<char>().swap(buffer_);
  return error_ == 0;
}
