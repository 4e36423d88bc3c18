#include "extract/BackgroundWriter.h"

#include "extract/WriteAll.h"

#include <cerrno>
#include <unistd.h>

BackgroundWriter::BackgroundWriter(int fd) : fd_(fd), thread_([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter() {
  Stop();
  if (fd_ >= 0)
    ::close(fd_);
}

void BackgroundWriter::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  queued_.notify_all();
  if (thread_.joinable())
    thread_.join();
}

void BackgroundWriter::Close() {
  Drain();
  Stop();
  if (fd_ >= 0 && ::close(fd_) != 0 && error_ == 0)
    error_ = errno;
  fd_ = -1;
}

std::unique_ptr<char[]> BackgroundWriter::Take(std::unique_ptr<char[]> buffer, std::size_t used) {
  std::unique_lock<std::mutex> lock(mutex_);
  written_.wait(lock, [this] { return error_ != 0 || jobs_.size() < kMostQueued; });
  if (error_ != 0)
    return nullptr;
  jobs_.push_back({std::move(buffer), used});
  queued_.notify_one();
  if (!spare_.empty()) {
    std::unique_ptr<char[]> empty = std::move(spare_.back());
    spare_.pop_back();
    return empty;
  }
  lock.unlock();
  return std::unique_ptr<char[]>(new char[FileLineSink::kBufferSize]);
}

bool BackgroundWriter::Behind() {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_.size() >= kBehind || (!wroteAny_ && (writing_ || !jobs_.empty()));
}

void BackgroundWriter::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  written_.wait(lock, [this] { return jobs_.empty() && !writing_; });
}

int BackgroundWriter::Error() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void BackgroundWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_)
      return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    writing_ = true;
    lock.unlock();
    const int error = WriteAll(fd_, job.buffer.get(), job.used);
    lock.lock();
    writing_ = false;
    wroteAny_ = true;
    if (error != 0 && error_ == 0) {
      error_ = error;
      jobs_.clear(); // nothing after a failed write is written
    }
    spare_.push_back(std::move(job.buffer));
    written_.notify_all();
  }
}
