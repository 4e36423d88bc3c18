#include "text/SpillFile.h"

#include <cerrno>
#include <fcntl.h>
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  queued_.notify_all();
  if (thread_.joinable())
    thread_.join();
  ::close(fd_);
}

std::shared_ptr<const SpillFile::Ticket> SpillFile::Queue(std::shared_ptr<const void> keep,
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

void SpillFile::Wait(const Ticket& ticket) {
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [&ticket] { return ticket.done.load(std::memory_order_acquire); });
}

void SpillFile::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_)
      return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    if (writeError_ == 0)
      writeError_ = Append(job.data, job.length, job.ticket->at);
    job.ticket->ok = writeError_ == 0;
    job.ticket->error = writeError_;
    job.keep.reset();
    lock.lock();
    job.ticket->done.store(true, std::memory_order_release);
    finished_.notify_all();
  }
}

int SpillFile::Append(const char* data, std::size_t length, uint64_t& at) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pwrite(fd_, data + done, length - done, static_cast<off_t>(end_ + done));
    if (n < 0 && errno == EINTR)
      continue;
    // A write that takes nothing would loop for ever: no room either.
    if (n <= 0)
      return n < 0 ? errno : ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  at = end_;
  end_ += length;
  return 0;
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
