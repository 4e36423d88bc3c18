#include "extract/BackgroundWriter.h"

#include <cerrno>
#include <unistd.h>

BackgroundWriter::BackgroundWriter(int fd) : fd_(fd), queue_(fd) {}

BackgroundWriter::~BackgroundWriter() {
  queue_.Stop();
  if (fd_ >= 0)
    ::close(fd_);
}

void BackgroundWriter::Close() {
  queue_.Finish();
  const int error = fd_ >= 0 && ::close(fd_) != 0 ? errno : 0;
  std::lock_guard<std::mutex> lock(mutex_);
  closeError_ = error;
  fd_ = -1;
}

void BackgroundWriter::Reclaim() {
  while (!inFlight_.empty() && inFlight_.front().ticket->done.load(std::memory_order_acquire)) {
    InFlight& done = inFlight_.front();
    if (done.buffer)
      spare_.push_back(std::move(done.buffer));
    inFlightBytes_ -= done.length;
    // A failed write never counts: nothing after it is written either.
    if (done.ticket->error == 0)
      written_ += done.length;
    inFlight_.pop_front();
    wroteAny_ = true;
  }
}

void BackgroundWriter::Push(std::unique_ptr<char[]> buffer, std::shared_ptr<const void> hold,
                            const char* data, std::size_t length) {
  inFlight_.push_back({std::move(buffer), queue_.Queue(std::move(hold), data, length), length});
  inFlightBytes_ += length;
}

void BackgroundWriter::WaitForFewer(std::size_t most) {
  for (;;) {
    std::shared_ptr<const WriteQueue::Ticket> oldest;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Reclaim();
      if (inFlightBytes_ < most * FileLineSink::kBufferSize)
        return;
      oldest = inFlight_.front().ticket;
    }
    queue_.Wait(*oldest);
  }
}

std::unique_ptr<char[]> BackgroundWriter::Take(std::unique_ptr<char[]> buffer, std::size_t used) {
  WaitForFewer(kMostQueued);
  if (queue_.Error() != 0)
    return nullptr;
  std::unique_lock<std::mutex> lock(mutex_);
  const char* data = buffer.get();
  Push(std::move(buffer), nullptr, data, used);
  if (!spare_.empty()) {
    std::unique_ptr<char[]> empty = std::move(spare_.back());
    spare_.pop_back();
    return empty;
  }
  lock.unlock();
  return std::unique_ptr<char[]>(new char[FileLineSink::kBufferSize]);
}

bool BackgroundWriter::TakeHeld(std::shared_ptr<const void> hold, const char* data,
                                std::size_t length) {
  WaitForFewer(kMostQueued);
  if (queue_.Error() != 0)
    return false;
  std::lock_guard<std::mutex> lock(mutex_);
  Push(nullptr, std::move(hold), data, length);
  return true;
}

bool BackgroundWriter::Behind() {
  std::lock_guard<std::mutex> lock(mutex_);
  Reclaim();
  return inFlightBytes_ >= kBehind * FileLineSink::kBufferSize ||
         (!wroteAny_ && !inFlight_.empty());
}

int BackgroundWriter::Error() {
  const int error = queue_.Error();
  if (error != 0)
    return error;
  std::lock_guard<std::mutex> lock(mutex_);
  return closeError_;
}

uint64_t BackgroundWriter::Written() {
  std::lock_guard<std::mutex> lock(mutex_);
  Reclaim();
  return written_;
}
