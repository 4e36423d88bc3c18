#include "extract/FileLineSink.h"

#include "io/FilesInUse.h"
#include "io/WriteAll.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

FileLineSink::~FileLineSink() {
  Close();
}

bool FileLineSink::Open(const std::string& path) {
  Close();
  error_ = 0;
  const int fd = OpenFile(path, error_);
  if (fd < 0)
    return false;
  Adopt(fd);
  return true;
}

namespace {
int OpenEmptied(const std::string& path, int& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  error = fd < 0 ? errno : 0;
  return fd;
}

// A new file in place of the one at `path` (after symbolic links), with its
// permissions; the old one lives on for those who read it.
int OpenInPlaceOf(const std::string& path, int& error) {
  char resolved[PATH_MAX];
  struct stat old {};
  if (!::realpath(path.c_str(), resolved) || ::stat(resolved, &old) != 0 ||
      ::unlink(resolved) != 0) {
    // Emptying it instead would take the bytes of a text that reads it.
    error = errno;
    return -1;
  }
  const int fd = OpenEmptied(resolved, error);
  if (fd >= 0)
    ::fchmod(fd, old.st_mode & 07777);
  return fd;
}
} // namespace

int FileLineSink::OpenFile(const std::string& path, int& error) {
  // A document may still read its text from this file (the output of an
  // earlier pass): it is never emptied under it.
  if (FilesInUse::Holds(path))
    return OpenInPlaceOf(path, error);
  return OpenEmptied(path, error);
}

void FileLineSink::Adopt(int fd) {
  Close();
  error_ = 0;
  fd_ = fd;
  owned_ = true;
  struct stat info {};
  regular_ = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

void FileLineSink::OpenDescriptor(int fd) {
  Close();
  error_ = 0;
  fd_ = fd;
  owned_ = false;
}

void FileLineSink::OpenChunks(ChunkTaker& taker) {
  Close();
  error_ = 0;
  taker_ = &taker;
}

void FileLineSink::Line(const char* data, std::size_t length) {
  if (!IsOpen() || error_ != 0)
    return;
  if (!buffer_)
    buffer_.reset(new char[kBufferSize]);
  if (used_ + length + 1 > kBufferSize) {
    if (!Flush())
      return;
    // A line larger than the buffer goes straight out.
    if (length + 1 > kBufferSize) {
      if (WriteOut(data, length))
        WriteOut("\n", 1);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, data, length);
  buffer_[used_ + length] = '\n';
  used_ += length + 1;
}

void FileLineSink::Write(const char* data, std::size_t length) {
  if (!IsOpen() || error_ != 0)
    return;
  if (!buffer_)
    buffer_.reset(new char[kBufferSize]);
  if (used_ + length > kBufferSize) {
    if (!Flush())
      return;
    if (length > kBufferSize) {
      WriteOut(data, length);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, data, length);
  used_ += length;
}

void FileLineSink::Piece(const char* data, std::size_t length, uint64_t) {
  pieceBytes_ += length;
  Write(data, length);
}

void FileLineSink::EndPieces() {
  pieceBytes_ = 0;
  Write("\n", 1);
}

void FileLineSink::DropPieces() {
  const uint64_t drop = pieceBytes_;
  pieceBytes_ = 0;
  if (drop <= used_) {
    used_ -= static_cast<std::size_t>(drop);
    return;
  }
  const auto written = static_cast<off_t>(drop - used_);
  used_ = 0;
  if (error_ != 0 || !regular_)
    return;
  // The sink only ever appends: where it writes next is the file's end.
  const off_t end = ::lseek(fd_, 0, SEEK_CUR);
  if (end < written || ::ftruncate(fd_, end - written) != 0 ||
      ::lseek(fd_, end - written, SEEK_SET) < 0)
    error_ = errno != 0 ? errno : EIO;
}

char* FileLineSink::ReserveAfterFlush(std::size_t length) {
  if (!IsOpen() || error_ != 0 || length > kBufferSize)
    return nullptr;
  if (!buffer_)
    buffer_.reset(new char[kBufferSize]);
  if (used_ + length > kBufferSize && !Flush())
    return nullptr;
  return buffer_.get() + used_;
}

bool FileLineSink::WriteOut(const char* data, std::size_t length) {
  if (taker_ != nullptr)
    return HandOut(data, length);
  error_ = WriteAll(fd_, data, length);
  return error_ == 0;
}

// The buffer itself goes to the taker; other bytes (a line larger than the
// buffer, written after a flush) are copied through it.
bool FileLineSink::HandOut(const char* data, std::size_t length) {
  if (data == buffer_.get())
    return HandBuffer(length);
  while (length > 0) {
    const std::size_t part = length < kBufferSize ? length : kBufferSize;
    std::memcpy(buffer_.get(), data, part);
    if (!HandBuffer(part))
      return false;
    data += part;
    length -= part;
  }
  return true;
}

bool FileLineSink::HandBuffer(std::size_t used) {
  buffer_ = taker_->Take(std::move(buffer_), used);
  if (buffer_)
    return true;
  error_ = ECANCELED;
  return false;
}

bool FileLineSink::Flush() {
  if (error_ == 0 && IsOpen() && used_ > 0)
    WriteOut(buffer_.get(), used_);
  used_ = 0;
  return error_ == 0;
}

bool FileLineSink::Close() {
  const int fd = Release();
  if (fd >= 0 && ::close(fd) != 0 && error_ == 0)
    error_ = errno;
  return error_ == 0;
}

int FileLineSink::Release() {
  if (!IsOpen())
    return -1;
  Flush();
  const int fd = owned_ ? fd_ : -1;
  fd_ = -1;
  taker_ = nullptr;
  owned_ = false;
  regular_ = false;
  pieceBytes_ = 0;
  buffer_.reset();
  return fd;
}
