#include "io/WriteQueue.h"

#include "io/ThreadPriority.h"
#include "io/WriteAll.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

WriteQueue::WriteQueue(int fd, int directFd)
    : fd_(fd), aligned_(directFd >= 0), directFd_(directFd) {}

WriteQueue::~WriteQueue() {
  Stop();
}

void WriteQueue::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  queued_.notify_all();
  if (thread_.joinable())
    thread_.join();
}

std::shared_ptr<const WriteQueue::Ticket> WriteQueue::Queue(std::shared_ptr<const void> keep,
                                                            const char* data, std::size_t length) {
  auto ticket = std::make_shared<Ticket>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back({std::move(keep), data, length, ticket});
    if (!thread_.joinable())
      thread_ = std::thread([this] { Run(); });
  }
  queued_.notify_one();
  return ticket;
}

void WriteQueue::Wait(const Ticket& ticket) {
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [&ticket] { return ticket.done.load(std::memory_order_acquire); });
}

void WriteQueue::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return jobs_.empty() && !writing_; });
  }
  Stop();
}

int WriteQueue::Error() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void WriteQueue::Run() {
  RunBehindTheWindow();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_)
      return;
    std::vector<Job> batch = TakeBatch();
    writing_ = true;
    const int failed = error_;
    lock.unlock();
    const int error = failed != 0 ? failed
                      : aligned_  ? WriteAligned(batch)
                                  : WriteAll(fd_, batch.front().data, batch.front().length);
    uint64_t at = end_;
    for (Job& job : batch) {
      job.ticket->at = at;
      job.ticket->error = error;
      at += Stored(job.length);
      job.keep.reset();
    }
    if (error == 0)
      end_ = at;
    lock.lock();
    writing_ = false;
    if (error_ == 0)
      error_ = error;
    for (Job& job : batch)
      job.ticket->done.store(true, std::memory_order_release);
    finished_.notify_all();
  }
}

std::vector<WriteQueue::Job> WriteQueue::TakeBatch() {
  std::vector<Job> batch;
  std::size_t bytes = 0;
  do {
    bytes += Stored(jobs_.front().length);
    batch.push_back(std::move(jobs_.front()));
    jobs_.pop_front();
  } while (aligned_ && !jobs_.empty() && bytes + Stored(jobs_.front().length) <= kBatchBytes);
  return batch;
}

std::size_t WriteQueue::Stored(std::size_t length) const {
  return aligned_ ? (length + kDirectAlign - 1) / kDirectAlign * kDirectAlign : length;
}

int WriteQueue::WriteAligned(const std::vector<Job>& batch) {
  std::size_t bytes = 0;
  for (const Job& job : batch)
    bytes += Stored(job.length);
  if (bytes > stagingBytes_) {
    void* grown = nullptr;
    if (::posix_memalign(&grown, kDirectAlign, bytes) != 0)
      return ENOMEM;
    staging_.reset(static_cast<char*>(grown));
    stagingBytes_ = bytes;
  }
  char* out = staging_.get();
  for (const Job& job : batch) {
    std::memcpy(out, job.data, job.length);
    std::memset(out + job.length, 0, Stored(job.length) - job.length);
    out += Stored(job.length);
  }
  if (directFd_ >= 0) {
    const int error = WriteAllAt(directFd_, staging_.get(), bytes, end_);
    // Read back into the page cache by the disk, not copied there by this
    // thread: the file is as quick to read back as if written through it.
    if (error == 0)
      ::posix_fadvise(fd_, static_cast<off_t>(end_), static_cast<off_t>(bytes),
                      POSIX_FADV_WILLNEED);
    if (error != EINVAL)
      return error;
    // The file system takes no direct writes (of this size, or here): the
    // page cache then, with the blocks where they would have been.
    directFd_ = -1;
  }
  return WriteAllAt(fd_, staging_.get(), bytes, end_);
}
