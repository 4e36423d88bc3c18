#include "io/WriteQueue.h"

#include "io/ThreadPriority.h"
#include "io/WriteAll.h"

WriteQueue::WriteQueue(int fd) : fd_(fd) {}

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
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    writing_ = true;
    const int failed = error_;
    lock.unlock();
    const int error = failed != 0 ? failed : WriteAll(fd_, job.data, job.length);
    job.ticket->at = end_;
    job.ticket->error = error;
    if (error == 0)
      end_ += job.length;
    job.keep.reset();
    lock.lock();
    writing_ = false;
    if (error_ == 0)
      error_ = error;
    job.ticket->done.store(true, std::memory_order_release);
    finished_.notify_all();
  }
}
